// Writes nested lists, keyed records, strings, numbers, booleans and null as JSON text
// (RFC 8259), compact or indented. Reading JSON is not its business.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace perspix {

struct JsonError
{
    QString message;
    std::shared_ptr<const JsonError> underlying; // the error reported before this one
};

// Accepted values: QVariantMap, QVariantHash and PlistDict (records, members in their
// own order unless keys are sorted); QVariantList and QStringList; QString; booleans;
// integers and floating-point numbers; std::nullptr_t or an empty QVariant (null). Any
// other type with a converter to QVariantMap or QVariantList registered with QMetaType
// is written through that conversion.
class JsonWriter
{
public:
    quint64 maxDepth() const { return m_maxDepth; }
    void setMaxDepth(quint64 depth) { m_maxDepth = depth; }
    bool humanReadable() const { return m_humanReadable; }
    void setHumanReadable(bool on) { m_humanReadable = on; }
    bool sortKeys() const { return m_sortKeys; }
    void setSortKeys(bool on) { m_sortKeys = on; }

    // The JSON text of a record or a list, or nothing when it cannot be written; the
    // reasons are then in errorTrace(). `depth` is the nesting of the container that will
    // hold the text, for an element of a list written piece by piece.
    std::optional<QString> stringWithObject(const QVariant& object, quint64 depth = 0);
    const QList<JsonError>& errorTrace() const { return m_errorTrace; }
    // One string as a JSON string literal, quotes included.
    static QString quotedString(const QString& text)
    {
        QString out;
        writeString(text, out);
        return out;
    }

private:
    bool writeValue(const QVariant& value, QString& out);
    bool writeRecord(const QList<std::pair<QString, const QVariant*>>& members, QString& out);
    bool writeList(const QVariantList& list, QString& out);
    bool writeNumber(const QVariant& value, QString& out);
    static void writeString(const QString& text, QString& out);
    void writeIndent(quint64 depth, QString& out) const;
    static std::optional<QVariant> proxyForJson(const QVariant& value);
    void addError(const QString& message);

    quint64 m_maxDepth = 512;
    bool m_humanReadable = false;
    bool m_sortKeys = false;
    quint64 m_depth = 0;
    QList<JsonError> m_errorTrace;
};

} // namespace perspix
