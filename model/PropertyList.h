// Property lists (XML and binary) to and from Qt's dynamic values. The program's only
// door to libplist; nothing else sees its types.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <optional>
#include <utility>

namespace perspix {

// A dictionary that keeps its keys in the order they were added. QVariantMap sorts its
// keys; files that people read (projects, exports) use this form where the order matters.
struct PlistDict
{
    QList<std::pair<QString, QVariant>> entries;

    void insert(const QString& key, const QVariant& value) { entries.append({key, value}); }
    qsizetype size() const { return entries.size(); }
    // The value of the first entry with the key, or an invalid value.
    QVariant value(const QString& key) const;
    bool operator==(const PlistDict&) const = default;
};

class PropertyList
{
public:
    enum class DictForm {
        Map,     // dictionaries become QVariantMap (keys sorted)
        Ordered, // dictionaries become PlistDict (keys in file order)
    };

    // Decodes XML or binary property-list bytes:
    //   dict -> QVariantMap (or PlistDict), array -> QVariantList, string -> QString,
    //   integer -> qint64 (quint64 above the signed range), real -> double, bool -> bool,
    //   date -> QDateTime in UTC, data -> QByteArray, UID -> quint64.
    // Nothing, with a reason in error, when the bytes are not a property list.
    static std::optional<QVariant> decode(const QByteArray& bytes, QString* error = nullptr,
                                          DictForm form = DictForm::Map);

    // Encodes a value tree. Accepted: QVariantMap, QVariantHash (keys sorted), PlistDict,
    // QVariantList, QStringList, QString, QByteArray, bool, every integer type, double,
    // float, QDateTime. Nothing, with a reason in error, for any other type, for text
    // holding a NUL character, for dates that 32-bit seconds from 2001-01-01 cannot hold
    // (before 1933 or after 2068), or for trees nested deeper than kMaxDepth.
    static std::optional<QByteArray> toXml(const QVariant& value, QString* error = nullptr);
    static std::optional<QByteArray> toBinary(const QVariant& value, QString* error = nullptr);

    // Deeper trees are refused both ways, so a hostile file cannot exhaust the stack.
    static constexpr int kMaxDepth = 256;
};

} // namespace perspix

Q_DECLARE_METATYPE(perspix::PlistDict)
