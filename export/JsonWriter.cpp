// JSON text from nested values (see JsonWriter.h).
#include "export/JsonWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/PropertyList.h"

namespace perspix {

namespace {

bool isRecordType(int type)
{
    return type == QMetaType::QVariantMap || type == QMetaType::QVariantHash ||
           type == qMetaTypeId<PlistDict>();
}

bool isListType(int type)
{
    return type == QMetaType::QVariantList || type == QMetaType::QStringList;
}

bool isNumberType(int type)
{
    switch (type) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// The shortest text that reads back as the same number.
template <typename Float> QString shortestText(Float value)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace

std::optional<QString> JsonWriter::stringWithObject(const QVariant& object, quint64 depth)
{
    m_errorTrace.clear();
    m_depth = depth;
    const int type = object.typeId();
    QString out;
    if (isRecordType(type) || isListType(type)) {
        if (writeValue(object, out))
            return out;
    }
    if (const auto proxy = proxyForJson(object)) {
        out.clear();
        m_depth = depth;
        if (writeValue(*proxy, out))
            return out;
        return std::nullopt;
    }
    if (m_errorTrace.isEmpty())
        addError(QStringLiteral("Not valid type for JSON"));
    return std::nullopt;
}

bool JsonWriter::writeValue(const QVariant& value, QString& out)
{
    const int type = value.typeId();
    if (!value.isValid() || type == QMetaType::Nullptr) {
        out += QLatin1String("null");
        return true;
    }
    if (type == QMetaType::QString) {
        writeString(value.toString(), out);
        return true;
    }
    if (isNumberType(type))
        return writeNumber(value, out);
    if (type == QMetaType::QVariantMap) {
        const QVariantMap& map = *static_cast<const QVariantMap*>(value.constData());
        QList<std::pair<QString, const QVariant*>> members;
        members.reserve(map.size());
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            members.append({it.key(), &it.value()});
        return writeRecord(members, out);
    }
    if (type == QMetaType::QVariantHash) {
        const QVariantHash& hash = *static_cast<const QVariantHash*>(value.constData());
        QList<std::pair<QString, const QVariant*>> members;
        members.reserve(hash.size());
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            members.append({it.key(), &it.value()});
        return writeRecord(members, out);
    }
    if (type == qMetaTypeId<PlistDict>()) {
        const auto& record = *static_cast<const PlistDict*>(value.constData());
        QList<std::pair<QString, const QVariant*>> members;
        members.reserve(record.entries.size());
        for (const auto& [key, member] : record.entries)
            members.append({key, &member});
        return writeRecord(members, out);
    }
    if (type == QMetaType::QVariantList)
        return writeList(*static_cast<const QVariantList*>(value.constData()), out);
    if (type == QMetaType::QStringList) {
        QVariantList list;
        for (const QString& s : *static_cast<const QStringList*>(value.constData()))
            list.append(s);
        return writeList(list, out);
    }
    if (const auto proxy = proxyForJson(value))
        return writeValue(*proxy, out);
    addError(QStringLiteral("JSON serialisation not supported for %1")
                 .arg(QString::fromLatin1(value.metaType().name())));
    return false;
}

bool JsonWriter::writeRecord(const QList<std::pair<QString, const QVariant*>>& unsortedMembers,
                             QString& out)
{
    if (++m_depth > m_maxDepth) {
        addError(QStringLiteral("Nested too deep"));
        return false;
    }
    QList<std::pair<QString, const QVariant*>> sorted;
    const auto* members = &unsortedMembers;
    if (m_sortKeys) {
        sorted = unsortedMembers;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        members = &sorted;
    }
    out += QLatin1Char('{');
    bool first = true;
    for (const auto& [key, member] : *members) {
        if (!first)
            out += QLatin1Char(',');
        first = false;
        if (m_humanReadable)
            writeIndent(m_depth, out);
        writeString(key, out);
        out += m_humanReadable ? QLatin1String(" : ") : QLatin1String(":");
        if (!writeValue(*member, out)) {
            addError(QStringLiteral("Unsupported value for key %1 in object").arg(key));
            return false;
        }
    }
    --m_depth;
    if (m_humanReadable && !members->isEmpty())
        writeIndent(m_depth, out);
    out += QLatin1Char('}');
    return true;
}

bool JsonWriter::writeList(const QVariantList& list, QString& out)
{
    if (++m_depth > m_maxDepth) {
        addError(QStringLiteral("Nested too deep"));
        return false;
    }
    out += QLatin1Char('[');
    bool first = true;
    for (const QVariant& element : list) {
        if (!first)
            out += QLatin1Char(',');
        first = false;
        if (m_humanReadable)
            writeIndent(m_depth, out);
        if (!writeValue(element, out))
            return false;
    }
    --m_depth;
    if (m_humanReadable && !list.isEmpty())
        writeIndent(m_depth, out);
    out += QLatin1Char(']');
    return true;
}

bool JsonWriter::writeNumber(const QVariant& value, QString& out)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        out += value.toBool() ? QLatin1String("true") : QLatin1String("false");
        return true;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (std::isnan(d)) {
            addError(QStringLiteral("NaN is not a valid number in JSON"));
            return false;
        }
        if (std::isinf(d)) {
            addError(QStringLiteral("Infinity is not a valid number in JSON"));
            return false;
        }
        out += value.typeId() == QMetaType::Float ? shortestText(value.toFloat()) : shortestText(d);
        return true;
    }
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        out += QString::number(value.toULongLong());
        return true;
    default:
        out += QString::number(value.toLongLong());
        return true;
    }
}

void JsonWriter::writeString(const QString& text, QString& out)
{
    const auto needsEscape = [](QChar c) { return c == u'"' || c == u'\\' || c.unicode() < 0x20; };
    out += QLatin1Char('"');
    if (std::none_of(text.cbegin(), text.cend(), needsEscape)) {
        out += text;
    } else {
        for (const QChar c : text) {
            switch (c.unicode()) {
            case u'"':
                out += QLatin1String("\\\"");
                break;
            case u'\\':
                out += QLatin1String("\\\\");
                break;
            case 0x08:
                out += QLatin1String("\\b");
                break;
            case 0x09:
                out += QLatin1String("\\t");
                break;
            case 0x0A:
                out += QLatin1String("\\n");
                break;
            case 0x0C:
                out += QLatin1String("\\f");
                break;
            case 0x0D:
                out += QLatin1String("\\r");
                break;
            default:
                if (c.unicode() < 0x20)
                    out += QString::asprintf("\\u%04x", unsigned(c.unicode()));
                else
                    out += c;
            }
        }
    }
    out += QLatin1Char('"');
}

void JsonWriter::writeIndent(quint64 depth, QString& out) const
{
    out += QLatin1Char('\n');
    out += QString(qsizetype(depth * 2), QLatin1Char(' '));
}

std::optional<QVariant> JsonWriter::proxyForJson(const QVariant& value)
{
    const QMetaType from = value.metaType();
    if (!from.isValid() || isRecordType(from.id()) || isListType(from.id()))
        return std::nullopt;
    for (const QMetaType to :
         {QMetaType::fromType<QVariantMap>(), QMetaType::fromType<QVariantList>()}) {
        // Only converters registered for a type count: Qt would otherwise turn any
        // container, even a string, into a list.
        if (QMetaType::hasRegisteredConverterFunction(from, to)) {
            QVariant converted = value;
            if (converted.convert(to))
                return converted;
        }
    }
    return std::nullopt;
}

void JsonWriter::addError(const QString& message)
{
    JsonError error{message, nullptr};
    if (!m_errorTrace.isEmpty())
        error.underlying = std::make_shared<const JsonError>(m_errorTrace.last());
    m_errorTrace.append(error);
}

} // namespace perspix
