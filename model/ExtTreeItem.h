// A node of an analysed file's extended tree: a group (file section or stream) or one
// parameter line. Shared between threads once built; every field read and write is atomic
// with respect to the others.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <memory>
#include <mutex>
#include <optional>

#include "model/FileFactEntry.h"

namespace perspix {

// A value of which a part (italicLength characters from italicStart on) is shown in the
// italic variant of the font: a stream summary followed by " - " and the stream's title,
// or the "ƒ" before an aperture.
struct StyledText
{
    QString text;
    qsizetype italicStart = -1;  // -1: no italic part
    qsizetype italicLength = -1; // -1: to the end of the text

    bool operator==(const StyledText&) const = default;
};

class ExtTreeItem;
using ExtTreeItemPtr = std::shared_ptr<ExtTreeItem>;
using ExtTreeList = QList<ExtTreeItemPtr>;

class ExtTreeItem
{
public:
    static ExtTreeItemPtr itemWithKey(const QString& key, const QString& name,
                                      const QVariant& value);
    static ExtTreeItemPtr itemWithName(const QString& name, const QVariant& value);
    static ExtTreeItemPtr locationItemWithName(const QString& name, const QVariant& value);
    static ExtTreeItemPtr mediaStreamItemWithKey(const QString& key, const QString& name,
                                                 const QVariant& value, quint64 streamIndex);
    static ExtTreeItemPtr groupTreeWithKey(const QString& key, const QString& name,
                                           const ExtTreeList& children, quint64 streamIndex);

    // Same key, name, value, flags, stream index and children; no entry record.
    ExtTreeItemPtr newInstanceWithSameProperties() const;

    QString stringValue() const;
    QString extValue() const;
    QString description() const;
    // Identifier under which the outline remembers a group's expanded state; empty for
    // items that are not groups.
    QString treeIdentifier() const;

    QString key() const;
    void setKey(const QString& key);
    QString name() const;
    void setName(const QString& name);
    QVariant value() const;
    void setValue(const QVariant& value);
    bool isMediaStream() const;
    void setIsMediaStream(bool v);
    quint64 mediaStreamIndex() const;
    void setMediaStreamIndex(quint64 v);
    bool isGroupTree() const;
    void setIsGroupTree(bool v);
    bool isLocation() const;
    void setIsLocation(bool v);
    // Present for groups (even when empty), absent for parameter lines.
    std::optional<ExtTreeList> children() const;
    bool hasChildren() const;
    void setChildren(const std::optional<ExtTreeList>& children);
    std::optional<FileFactEntry> paramDictStore() const;
    void setParamDictStore(const std::optional<FileFactEntry>& entry);
    // True when the entry record marks the value as personal.
    bool isPrivateInfo() const;

private:
    mutable std::mutex m_lock;
    QString m_key;
    QString m_name;
    QVariant m_value;
    bool m_isMediaStream = false;
    quint64 m_mediaStreamIndex = 0;
    bool m_isGroupTree = false;
    bool m_isLocation = false;
    std::optional<ExtTreeList> m_children;
    std::optional<FileFactEntry> m_paramDictStore;
};

// Plain text of any shown value: styled text without its attributes, otherwise the value.
QString plainText(const QVariant& value);

} // namespace perspix

Q_DECLARE_METATYPE(perspix::StyledText)
Q_DECLARE_METATYPE(perspix::ExtTreeList)
