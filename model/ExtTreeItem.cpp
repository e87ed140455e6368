// Extended-tree nodes: constructors, text forms and guarded field access.
#include "model/ExtTreeItem.h"

namespace perspix {

QString plainText(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<StyledText>())
        return value.value<StyledText>().text;
    return value.toString();
}

ExtTreeItemPtr ExtTreeItem::itemWithKey(const QString& key, const QString& name,
                                        const QVariant& value)
{
    auto item = std::make_shared<ExtTreeItem>();
    item->m_key = key;
    item->m_name = name;
    item->m_value = value;
    return item;
}

ExtTreeItemPtr ExtTreeItem::itemWithName(const QString& name, const QVariant& value)
{
    auto item = std::make_shared<ExtTreeItem>();
    item->m_name = name;
    item->m_value = value;
    return item;
}

ExtTreeItemPtr ExtTreeItem::locationItemWithName(const QString& name, const QVariant& value)
{
    auto item = itemWithName(name, value);
    item->m_isLocation = true;
    return item;
}

ExtTreeItemPtr ExtTreeItem::mediaStreamItemWithKey(const QString& key, const QString& name,
                                                   const QVariant& value, quint64 streamIndex)
{
    auto item = itemWithKey(key, name, value);
    item->m_isMediaStream = true;
    item->m_mediaStreamIndex = streamIndex;
    return item;
}

ExtTreeItemPtr ExtTreeItem::groupTreeWithKey(const QString& key, const QString& name,
                                             const ExtTreeList& children, quint64 streamIndex)
{
    auto item = std::make_shared<ExtTreeItem>();
    item->m_key = key;
    item->m_name = name;
    item->m_isGroupTree = true;
    item->m_children = children;
    item->m_mediaStreamIndex = streamIndex;
    return item;
}

ExtTreeItemPtr ExtTreeItem::newInstanceWithSameProperties() const
{
    auto copy = std::make_shared<ExtTreeItem>();
    std::lock_guard guard(m_lock);
    copy->m_key = m_key;
    copy->m_name = m_name;
    copy->m_value = m_value;
    copy->m_isMediaStream = m_isMediaStream;
    copy->m_mediaStreamIndex = m_mediaStreamIndex;
    copy->m_isGroupTree = m_isGroupTree;
    copy->m_children = m_children;
    copy->m_isLocation = m_isLocation;
    return copy;
}

QString ExtTreeItem::stringValue() const
{
    return plainText(value());
}

QString ExtTreeItem::extValue() const
{
    const QVariant v = value();
    if (!v.isValid())
        return name();
    return QStringLiteral("%1: %2").arg(name(), plainText(v));
}

QString ExtTreeItem::description() const
{
    const auto kids = children();
    return QStringLiteral("<ExtTreeItem %1> key:%2, name:%3, value:%4, children:%5")
        .arg(QString::asprintf("%p", static_cast<const void*>(this)), key(), name(), stringValue())
        .arg(kids ? kids->size() : 0);
}

QString ExtTreeItem::treeIdentifier() const
{
    std::lock_guard guard(m_lock);
    if (!m_isGroupTree)
        return {};
    if (m_mediaStreamIndex == 0)
        return m_key;
    return m_key + QString::number(m_mediaStreamIndex);
}

#define PERSPIX_GUARDED_FIELD(Type, getter, setter, member)                                   \
    Type ExtTreeItem::getter() const                                                           \
    {                                                                                          \
        std::lock_guard guard(m_lock);                                                         \
        return member;                                                                         \
    }                                                                                          \
    void ExtTreeItem::setter(const Type& v)                                                    \
    {                                                                                          \
        std::lock_guard guard(m_lock);                                                         \
        member = v;                                                                            \
    }

PERSPIX_GUARDED_FIELD(QString, key, setKey, m_key)
PERSPIX_GUARDED_FIELD(QString, name, setName, m_name)
PERSPIX_GUARDED_FIELD(QVariant, value, setValue, m_value)
PERSPIX_GUARDED_FIELD(std::optional<ExtTreeList>, children, setChildren, m_children)
PERSPIX_GUARDED_FIELD(std::optional<FileFactEntry>, paramDictStore, setParamDictStore,
                      m_paramDictStore)
#undef PERSPIX_GUARDED_FIELD

#define PERSPIX_GUARDED_PLAIN(Type, getter, setter, member)                                   \
    Type ExtTreeItem::getter() const                                                           \
    {                                                                                          \
        std::lock_guard guard(m_lock);                                                         \
        return member;                                                                         \
    }                                                                                          \
    void ExtTreeItem::setter(Type v)                                                           \
    {                                                                                          \
        std::lock_guard guard(m_lock);                                                         \
        member = v;                                                                            \
    }

PERSPIX_GUARDED_PLAIN(bool, isMediaStream, setIsMediaStream, m_isMediaStream)
PERSPIX_GUARDED_PLAIN(quint64, mediaStreamIndex, setMediaStreamIndex, m_mediaStreamIndex)
PERSPIX_GUARDED_PLAIN(bool, isGroupTree, setIsGroupTree, m_isGroupTree)
PERSPIX_GUARDED_PLAIN(bool, isLocation, setIsLocation, m_isLocation)
#undef PERSPIX_GUARDED_PLAIN

bool ExtTreeItem::hasChildren() const
{
    std::lock_guard guard(m_lock);
    return m_children.has_value();
}

bool ExtTreeItem::isPrivateInfo() const
{
    std::lock_guard guard(m_lock);
    return m_paramDictStore && m_paramDictStore->isPrivateInfo;
}

} // namespace perspix
