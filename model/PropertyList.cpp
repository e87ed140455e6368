// libplist adapter: converts between libplist nodes and Qt values. libplist signals
// failure only by a null result, so every call is checked here.
#include "model/PropertyList.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <plist/plist.h>

namespace perspix {

QVariant PlistDict::value(const QString& key) const
{
    for (const auto& [k, v] : entries)
        if (k == key)
            return v;
    return {};
}

namespace {

struct NodeFree
{
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeFree>;

// Property-list dates count seconds from the start of 2001 (UTC).
QDateTime referenceDate()
{
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// libplist 2.2 keeps every integer in one unsigned 64-bit field: a negative number comes
// back as its two's complement. Only its own writer still knows which of the two a value
// above the signed range is, so that rare case asks it.
QVariant integerValue(plist_t node)
{
    uint64_t raw = 0;
    plist_get_uint_val(node, &raw);
    if (raw <= uint64_t(std::numeric_limits<qint64>::max()))
        return QVariant::fromValue(qint64(raw));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    bool negative = false;
    if (xml) {
        negative = QByteArray(xml, qsizetype(length)).contains("<integer>-");
        plist_to_xml_free(xml);
    }
    if (negative)
        return QVariant::fromValue(qint64(raw));
    return QVariant::fromValue(quint64(raw));
}

std::optional<QVariant> toVariant(plist_t node, int depth, PropertyList::DictForm form,
                                  QString* error)
{
    if (depth > PropertyList::kMaxDepth) {
        setError(error, QStringLiteral("property list nested too deeply"));
        return std::nullopt;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return QVariant(b != 0);
    }
    case PLIST_UINT:
        return integerValue(node);
    case PLIST_UID: {
        uint64_t v = 0;
        plist_get_uid_val(node, &v);
        return QVariant::fromValue(quint64(v));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return QVariant(d);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return QVariant(QString::fromUtf8(text, text ? qsizetype(length) : 0));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        return QVariant(QByteArray(bytes, bytes ? qsizetype(length) : 0));
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QVariant(referenceDate().addMSecs(qint64(sec) * 1000 + usec / 1000));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        list.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            auto item = toVariant(plist_array_get_item(node, i), depth + 1, form, error);
            if (!item)
                return std::nullopt;
            list.append(std::move(*item));
        }
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        PlistDict ordered;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it) {
            setError(error, QStringLiteral("unreadable dictionary"));
            return std::nullopt;
        }
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value) {
                std::free(key);
                break;
            }
            const QString name = QString::fromUtf8(key);
            std::free(key);
            auto item = toVariant(value, depth + 1, form, error);
            if (!item) {
                std::free(it);
                return std::nullopt;
            }
            if (form == PropertyList::DictForm::Ordered)
                ordered.insert(name, std::move(*item));
            else
                map.insert(name, std::move(*item));
        }
        std::free(it);
        if (form == PropertyList::DictForm::Ordered)
            return QVariant::fromValue(ordered);
        return QVariant(map);
    }
    case PLIST_KEY:
    case PLIST_NONE:
        break;
    }
    setError(error, QStringLiteral("unknown value type in property list"));
    return std::nullopt;
}

// Text reaches libplist as a C string: a NUL inside would silently cut it.
std::optional<QByteArray> cText(const QString& text, QString* error)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains('\0')) {
        setError(error, QStringLiteral("text holds a NUL character"));
        return std::nullopt;
    }
    return bytes;
}

// libplist 2.2 writes any integer node made by plist_new_uint as signed, so a value above
// the signed range would read back negative. Its XML reader marks such numbers as
// unsigned; a node made that way is written correctly in both formats.
Node largeUnsignedNode(quint64 value)
{
    const QByteArray xml =
        "<plist version=\"1.0\"><integer>" + QByteArray::number(value) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &node);
    return Node(node);
}

Node fromVariant(const QVariant& value, int depth, QString* error);

bool addDictItem(plist_t dict, const QString& key, const QVariant& value, int depth, QString* error)
{
    const auto name = cText(key, error);
    if (!name)
        return false;
    Node item = fromVariant(value, depth + 1, error);
    if (!item)
        return false;
    plist_dict_set_item(dict, name->constData(), item.release());
    return true;
}

Node fromVariant(const QVariant& value, int depth, QString* error)
{
    if (depth > PropertyList::kMaxDepth) {
        setError(error, QStringLiteral("value tree nested too deeply"));
        return nullptr;
    }
    const int type = value.typeId();
    if (type == qMetaTypeId<PlistDict>()) {
        Node dict(plist_new_dict());
        for (const auto& [k, v] : value.value<PlistDict>().entries)
            if (!addDictItem(dict.get(), k, v, depth, error))
                return nullptr;
        return dict;
    }
    switch (type) {
    case QMetaType::QVariantMap: {
        Node dict(plist_new_dict());
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            if (!addDictItem(dict.get(), it.key(), it.value(), depth, error))
                return nullptr;
        return dict;
    }
    case QMetaType::QVariantHash: {
        Node dict(plist_new_dict());
        const QVariantHash hash = value.toHash();
        QStringList names = hash.keys();
        names.sort();
        for (const QString& k : names)
            if (!addDictItem(dict.get(), k, hash.value(k), depth, error))
                return nullptr;
        return dict;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        Node array(plist_new_array());
        const QVariantList list = value.toList();
        for (const QVariant& v : list) {
            Node item = fromVariant(v, depth + 1, error);
            if (!item)
                return nullptr;
            plist_array_append_item(array.get(), item.release());
        }
        return array;
    }
    case QMetaType::QString: {
        const auto text = cText(value.toString(), error);
        if (!text)
            return nullptr;
        return Node(plist_new_string(text->constData()));
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return Node(plist_new_data(bytes.constData(), uint64_t(bytes.size())));
    }
    case QMetaType::Bool:
        return Node(plist_new_bool(value.toBool() ? 1 : 0));
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
        return Node(plist_new_uint(uint64_t(value.toLongLong())));
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const quint64 v = value.toULongLong();
        if (v > quint64(std::numeric_limits<qint64>::max()))
            return largeUnsignedNode(v);
        return Node(plist_new_uint(v));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return Node(plist_new_real(value.toDouble()));
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid()) {
            setError(error, QStringLiteral("invalid date"));
            return nullptr;
        }
        const qint64 ms = referenceDate().msecsTo(date);
        const qint64 sec = qint64(std::floor(double(ms) / 1000.0));
        if (sec < std::numeric_limits<int32_t>::min() ||
            sec > std::numeric_limits<int32_t>::max()) {
            setError(
                error,
                QStringLiteral("date out of range: %1").arg(date.toUTC().toString(Qt::ISODate)));
            return nullptr;
        }
        return Node(plist_new_date(int32_t(sec), int32_t((ms - sec * 1000) * 1000)));
    }
    default:
        break;
    }
    setError(error, QStringLiteral("a value of type %1 cannot be stored in a property list")
                        .arg(QString::fromLatin1(value.typeName() ? value.typeName() : "none")));
    return nullptr;
}

enum class Format { Xml, Binary };

std::optional<QByteArray> encode(const QVariant& value, Format format, QString* error)
{
    Node root = fromVariant(value, 0, error);
    if (!root)
        return std::nullopt;
    char* out = nullptr;
    uint32_t length = 0;
    if (format == Format::Xml)
        plist_to_xml(root.get(), &out, &length);
    else
        plist_to_bin(root.get(), &out, &length);
    if (!out) {
        setError(error, QStringLiteral("the property list could not be written"));
        return std::nullopt;
    }
    QByteArray bytes(out, qsizetype(length));
    if (format == Format::Xml)
        plist_to_xml_free(out);
    else
        plist_to_bin_free(out);
    return bytes;
}

} // namespace

std::optional<QVariant> PropertyList::decode(const QByteArray& bytes, QString* error, DictForm form)
{
    if (bytes.isEmpty()) {
        setError(error, QStringLiteral("no data"));
        return std::nullopt;
    }
    if (quint64(bytes.size()) > std::numeric_limits<uint32_t>::max()) {
        setError(error, QStringLiteral("data too large for a property list"));
        return std::nullopt;
    }
    plist_t raw = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &raw);
    Node root(raw);
    if (!root) {
        setError(error, bytes.startsWith("bplist00")
                            ? QStringLiteral("damaged binary property list")
                            : QStringLiteral("not a property list"));
        return std::nullopt;
    }
    return toVariant(root.get(), 0, form, error);
}

std::optional<QByteArray> PropertyList::toXml(const QVariant& value, QString* error)
{
    return encode(value, Format::Xml, error);
}

std::optional<QByteArray> PropertyList::toBinary(const QVariant& value, QString* error)
{
    return encode(value, Format::Binary, error);
}

} // namespace perspix
