// CBOR form of analysed files (see ResultCoding.h). Every value that is not a string, a
// boolean or bytes is an array [type code, payload...], so that integers, reals and the
// program's own types come back as the types they were.
#include "batch/ResultCoding.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QColorSpace>
#include <QDataStream>
#include <QIODevice>
#include <QImage>
#include <cstring>

#include "model/Keys.h"
#include "model/PropertyList.h"

namespace perspix {

namespace {

enum Code : int {
    kInt = 1,
    kUInt,
    kLongLong,
    kULongLong,
    kDouble,
    kFloat,
    kStringList,
    kList,
    kMap,
    kHash,
    kStyled,
    kTree,
    kPlistDict,
    kNull,
    kStream, // any other built-in type through QDataStream
    kImage,
};

constexpr int kFormat = 2;
constexpr auto kStreamVersion = QDataStream::Qt_6_0;

std::optional<QCborArray> encodeTree(const ExtTreeList& items);
std::optional<ExtTreeList> decodeTree(const QCborArray& array);

std::optional<QCborValue> encodeEntry(const FileFactEntry& entry)
{
    const auto value = ResultCoding::encodeVariant(entry.value);
    if (!value)
        return std::nullopt;
    const int flags = (entry.skipInExtended ? 1 : 0) | (entry.skipInExport ? 2 : 0) |
                      (entry.skipInComparison ? 4 : 0) | (entry.isPrivateInfo ? 8 : 0);
    return QCborArray{entry.key, entry.label, *value, entry.ifd, entry.group, flags};
}

std::optional<FileFactEntry> decodeEntry(const QCborArray& array)
{
    if (array.size() != 6)
        return std::nullopt;
    const auto value = ResultCoding::decodeVariant(array[2]);
    if (!value)
        return std::nullopt;
    FileFactEntry entry;
    entry.key = array[0].toString();
    entry.label = array[1].toString();
    entry.value = *value;
    entry.ifd = array[3].toString();
    entry.group = array[4].toString();
    const qint64 flags = array[5].toInteger();
    entry.skipInExtended = flags & 1;
    entry.skipInExport = flags & 2;
    entry.skipInComparison = flags & 4;
    entry.isPrivateInfo = flags & 8;
    return entry;
}

std::optional<QCborArray> encodeTree(const ExtTreeList& items)
{
    QCborArray array;
    for (const ExtTreeItemPtr& item : items) {
        if (!item)
            return std::nullopt;
        const auto value = ResultCoding::encodeVariant(item->value());
        if (!value)
            return std::nullopt;
        const int flags = (item->isMediaStream() ? 1 : 0) | (item->isGroupTree() ? 2 : 0) |
                          (item->isLocation() ? 4 : 0);
        QCborValue children = QCborValue::Null;
        if (const auto list = item->children()) {
            const auto coded = encodeTree(*list);
            if (!coded)
                return std::nullopt;
            children = *coded;
        }
        QCborValue entry = QCborValue::Null;
        if (const auto store = item->paramDictStore()) {
            const auto coded = encodeEntry(*store);
            if (!coded)
                return std::nullopt;
            entry = *coded;
        }
        array.append(QCborArray{item->key(), item->name(), *value, flags,
                                qint64(item->mediaStreamIndex()), children, entry});
    }
    return array;
}

std::optional<ExtTreeList> decodeTree(const QCborArray& array)
{
    ExtTreeList items;
    items.reserve(array.size());
    for (const QCborValue& element : array) {
        const QCborArray fields = element.toArray();
        if (fields.size() != 7)
            return std::nullopt;
        const auto value = ResultCoding::decodeVariant(fields[2]);
        if (!value)
            return std::nullopt;
        auto item = std::make_shared<ExtTreeItem>();
        item->setKey(fields[0].toString());
        item->setName(fields[1].toString());
        item->setValue(*value);
        const qint64 flags = fields[3].toInteger();
        item->setIsMediaStream(flags & 1);
        item->setIsGroupTree(flags & 2);
        item->setIsLocation(flags & 4);
        item->setMediaStreamIndex(quint64(fields[4].toInteger()));
        if (fields[5].isArray()) {
            const auto children = decodeTree(fields[5].toArray());
            if (!children)
                return std::nullopt;
            item->setChildren(*children);
        }
        if (fields[6].isArray()) {
            const auto entry = decodeEntry(fields[6].toArray());
            if (!entry)
                return std::nullopt;
            item->setParamDictStore(*entry);
        }
        items.append(item);
    }
    return items;
}

std::optional<QCborValue> encodeVariantMap(const QVariantMap& map)
{
    QCborArray pairs;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const auto value = ResultCoding::encodeVariant(it.value());
        if (!value)
            return std::nullopt;
        pairs.append(it.key());
        pairs.append(*value);
    }
    return pairs;
}

std::optional<QVariantMap> decodeVariantMap(const QCborArray& pairs)
{
    QVariantMap map;
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
        const auto value = ResultCoding::decodeVariant(pairs[i + 1]);
        if (!value)
            return std::nullopt;
        map.insert(pairs[i].toString(), *value);
    }
    return map;
}

QCborArray tagged(Code code, const QCborValue& payload)
{
    return QCborArray{int(code), payload};
}

// A picture as its pixels, compressed: exact, and without an image codec (whose warnings
// about colour profiles would reach the user) on the way in or out.
QCborArray encodeImage(const QImage& image)
{
    QByteArray pixels;
    const qsizetype lineBytes = image.bytesPerLine();
    pixels.reserve(lineBytes * image.height());
    for (int y = 0; y < image.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(image.constScanLine(y)), lineBytes);
    QCborArray colors;
    for (QRgb rgb : image.colorTable())
        colors.append(qint64(rgb));
    return QCborArray{int(kImage),
                      int(image.format()),
                      image.width(),
                      image.height(),
                      qCompress(pixels, 1),
                      colors,
                      image.dotsPerMeterX(),
                      image.dotsPerMeterY(),
                      image.devicePixelRatio(),
                      image.colorSpace().isValid() ? image.colorSpace().iccProfile()
                                                   : QByteArray()};
}

std::optional<QImage> decodeImage(const QCborArray& array)
{
    if (array.size() != 10)
        return std::nullopt;
    const auto format = QImage::Format(array[1].toInteger());
    const auto width = int(array[2].toInteger());
    const auto height = int(array[3].toInteger());
    QImage image;
    if (width > 0 && height > 0) {
        image = QImage(width, height, format);
        if (image.isNull())
            return std::nullopt;
    }
    const QByteArray pixels = qUncompress(array[4].toByteArray());
    const qsizetype lineBytes = image.bytesPerLine();
    if (pixels.size() != lineBytes * image.height())
        return std::nullopt;
    for (int y = 0; y < image.height(); ++y)
        memcpy(image.scanLine(y), pixels.constData() + y * lineBytes, size_t(lineBytes));
    QList<QRgb> colors;
    for (const QCborValue& rgb : array[5].toArray())
        colors.append(QRgb(rgb.toInteger()));
    if (!colors.isEmpty())
        image.setColorTable(colors);
    image.setDotsPerMeterX(int(array[6].toInteger()));
    image.setDotsPerMeterY(int(array[7].toInteger()));
    image.setDevicePixelRatio(array[8].toDouble());
    if (!array[9].toByteArray().isEmpty())
        image.setColorSpace(QColorSpace::fromIccProfile(array[9].toByteArray()));
    return image;
}

// Reads a coded result straight from its bytes, without first building the whole CBOR
// tree: a result read back from the store is otherwise built twice over, which made a
// store hit cost a third of a millisecond. Values of the rarer kinds go through
// decodeVariant; anything not of the form encode writes answers nothing, and the caller
// then reads the bytes the slow way.
class StreamDecoder
{
public:
    // generalOnly: the general record alone, its extended tree, sections and export keys
    // left unread (they come last). exportOnly: the sections and export keys, with the
    // extended tree's groups but not what they hold, and without the general record.
    StreamDecoder(const QByteArray& bytes, bool generalOnly = false, bool exportOnly = false)
        : m_reader(bytes), m_generalOnly(generalOnly), m_exportOnly(exportOnly)
    {
    }

    std::optional<PerspixDataPtr> result(const std::optional<QVariant>& cover);

private:
    bool string(QString& out)
    {
        if (!m_reader.isString())
            return false;
        out.clear();
        auto chunk = m_reader.readString();
        while (chunk.status == QCborStreamReader::Ok) {
            out += chunk.data;
            chunk = m_reader.readString();
        }
        return chunk.status == QCborStreamReader::EndOfString;
    }
    bool bytes(QByteArray& out)
    {
        if (!m_reader.isByteArray())
            return false;
        out.clear();
        auto chunk = m_reader.readByteArray();
        while (chunk.status == QCborStreamReader::Ok) {
            out += chunk.data;
            chunk = m_reader.readByteArray();
        }
        return chunk.status == QCborStreamReader::EndOfString;
    }
    bool integer(qint64& out)
    {
        if (!m_reader.isInteger())
            return false;
        out = m_reader.toInteger();
        return m_reader.next();
    }
    bool number(double& out)
    {
        if (m_reader.isInteger())
            out = double(m_reader.toInteger());
        else if (m_reader.isDouble())
            out = m_reader.toDouble();
        else if (m_reader.isFloat())
            out = double(m_reader.toFloat());
        else if (m_reader.isFloat16())
            out = double(float(m_reader.toFloat16()));
        else
            return false;
        return m_reader.next();
    }
    // Enters an array, of the given length when one is asked for.
    bool enterArray(qint64 length = -1)
    {
        if (!m_reader.isArray())
            return false;
        if (length >= 0 && (!m_reader.isLengthKnown() || qint64(m_reader.length()) != length))
            return false;
        return m_reader.enterContainer();
    }
    bool leave() { return m_reader.leaveContainer(); }

    std::optional<QVariant> variant();
    std::optional<ExtTreeList> tree(bool groupsOnly = false);
    std::optional<FileFactEntry> entry();
    bool record(ResultRecord& result);
    bool sectionsAndKeys(ResultRecord& result);

    QCborStreamReader m_reader;
    bool m_generalOnly;
    bool m_exportOnly;
};

std::optional<QVariant> StreamDecoder::variant()
{
    if (m_reader.isString()) {
        QString text;
        return string(text) ? std::optional<QVariant>(QVariant(text)) : std::nullopt;
    }
    if (m_reader.isBool()) {
        const bool value = m_reader.toBool();
        return m_reader.next() ? std::optional<QVariant>(QVariant(value)) : std::nullopt;
    }
    if (m_reader.isByteArray()) {
        QByteArray data;
        return bytes(data) ? std::optional<QVariant>(QVariant(data)) : std::nullopt;
    }
    if (m_reader.isUndefined())
        return m_reader.next() ? std::optional<QVariant>(QVariant()) : std::nullopt;
    if (!m_reader.isArray() || !m_reader.enterContainer())
        return std::nullopt;
    if (!m_reader.hasNext() || !m_reader.isInteger())
        return std::nullopt;
    const qint64 code = m_reader.toInteger();
    if (!m_reader.next() || !m_reader.hasNext())
        return std::nullopt;
    std::optional<QVariant> value;
    qint64 whole = 0;
    double real = 0;
    switch (code) {
    case kNull:
        value = QVariant::fromValue(nullptr);
        break;
    case kInt:
        if (integer(whole))
            value = QVariant(int(whole));
        break;
    case kUInt:
        if (integer(whole))
            value = QVariant(uint(whole));
        break;
    case kLongLong:
        if (integer(whole))
            value = QVariant(qlonglong(whole));
        break;
    case kULongLong:
        if (integer(whole))
            value = QVariant(qulonglong(whole));
        break;
    case kDouble:
        if (number(real))
            value = QVariant(real);
        break;
    case kFloat:
        if (number(real))
            value = QVariant(float(real));
        break;
    case kStringList: {
        QStringList list;
        if (enterArray()) {
            bool ok = true;
            while (ok && m_reader.hasNext()) {
                QString text;
                ok = string(text);
                list.append(text);
            }
            if (ok && leave())
                value = QVariant(list);
        }
        break;
    }
    default: {
        // The rarer kinds: the rest of the array as a value of its own.
        QCborArray array{code};
        while (m_reader.hasNext())
            array.append(QCborValue::fromCbor(m_reader));
        if (m_reader.lastError() != QCborError::NoError || !leave())
            return std::nullopt;
        return ResultCoding::decodeVariant(array);
    }
    }
    if (!value)
        return std::nullopt;
    // The payload of a kind read above is all there is; whatever follows is passed over.
    while (m_reader.hasNext())
        if (!m_reader.next())
            return std::nullopt;
    return leave() ? value : std::nullopt;
}

std::optional<FileFactEntry> StreamDecoder::entry()
{
    FileFactEntry entry;
    qint64 flags = 0;
    if (!enterArray(6) || !string(entry.key) || !string(entry.label))
        return std::nullopt;
    const auto value = variant();
    if (!value || !string(entry.ifd) || !string(entry.group) || !integer(flags) || !leave())
        return std::nullopt;
    entry.value = *value;
    entry.skipInExtended = flags & 1;
    entry.skipInExport = flags & 2;
    entry.skipInComparison = flags & 4;
    entry.isPrivateInfo = flags & 8;
    return entry;
}

std::optional<ExtTreeList> StreamDecoder::tree(bool groupsOnly)
{
    ExtTreeList items;
    if (m_reader.isArray() && m_reader.isLengthKnown())
        items.reserve(qsizetype(m_reader.length()));
    if (!enterArray())
        return std::nullopt;
    while (m_reader.hasNext()) {
        QString key;
        QString name;
        qint64 flags = 0;
        qint64 index = 0;
        if (!enterArray(7) || !string(key) || !string(name))
            return std::nullopt;
        const auto value = variant();
        if (!value || !integer(flags) || !integer(index))
            return std::nullopt;
        auto item = std::make_shared<ExtTreeItem>();
        item->setKey(key);
        item->setName(name);
        item->setValue(*value);
        item->setIsMediaStream(flags & 1);
        item->setIsGroupTree(flags & 2);
        item->setIsLocation(flags & 4);
        item->setMediaStreamIndex(quint64(index));
        if (m_reader.isArray() && !groupsOnly) {
            const auto children = tree();
            if (!children)
                return std::nullopt;
            item->setChildren(*children);
        } else if (!m_reader.next()) {
            return std::nullopt;
        }
        if (m_reader.isArray() && !groupsOnly) {
            const auto store = entry();
            if (!store)
                return std::nullopt;
            item->setParamDictStore(*store);
        } else if (!m_reader.next()) {
            return std::nullopt;
        }
        if (!leave())
            return std::nullopt;
        items.append(item);
    }
    return leave() ? std::optional<ExtTreeList>(items) : std::nullopt;
}

bool StreamDecoder::record(ResultRecord& result)
{
    if (!enterArray(5))
        return false;
    if (m_exportOnly) {
        if (!m_reader.isArray() || !m_reader.next() || !m_reader.isArray() || !m_reader.next())
            return false;
        auto groups = tree(true);
        if (!groups)
            return false;
        result.extended = std::move(*groups);
        return sectionsAndKeys(result);
    }
    if (!enterArray())
        return false;
    while (m_reader.hasNext()) {
        QString key;
        if (!string(key))
            return false;
        if (!m_reader.hasNext())
            break;
        const auto value = variant();
        if (!value)
            return false;
        result.general.values.insert(key, *value);
    }
    if (!leave())
        return false;
    auto streams = tree();
    if (!streams)
        return false;
    result.general.streams = std::move(*streams);
    if (m_generalOnly)
        return true;
    auto extended = tree();
    if (!extended)
        return false;
    result.extended = std::move(*extended);
    return sectionsAndKeys(result);
}

bool StreamDecoder::sectionsAndKeys(ResultRecord& result)
{
    if (!enterArray())
        return false;
    while (m_reader.hasNext()) {
        QString section;
        if (!string(section))
            return false;
        if (!m_reader.hasNext())
            break;
        QList<ParameterMap> list;
        if (!enterArray())
            return false;
        while (m_reader.hasNext()) {
            ParameterMap stream;
            if (m_reader.isArray() && m_reader.isLengthKnown())
                stream.reserve(qsizetype(m_reader.length()) / 2);
            if (!enterArray())
                return false;
            while (m_reader.hasNext()) {
                QString key;
                if (!string(key))
                    return false;
                if (!m_reader.hasNext())
                    break;
                ParameterRecord parameter;
                qint64 flags = 0;
                if (!enterArray(3) || !string(parameter.name))
                    return false;
                const auto value = variant();
                if (!value || !integer(flags) || !leave())
                    return false;
                parameter.value = *value;
                parameter.skipInComparison = flags & 1;
                parameter.isPrivateInfo = flags & 2;
                stream.insert(key, parameter);
            }
            if (!leave())
                return false;
            list.append(stream);
        }
        if (!leave())
            return false;
        result.data.insert(section, list);
    }
    if (!leave())
        return false;

    if (!enterArray())
        return false;
    while (m_reader.hasNext()) {
        QString section;
        if (!string(section))
            return false;
        if (!m_reader.hasNext())
            break;
        QList<QStringList> list;
        if (!enterArray())
            return false;
        while (m_reader.hasNext()) {
            QStringList keysOfStream;
            if (!enterArray())
                return false;
            while (m_reader.hasNext()) {
                QString key;
                if (!string(key))
                    return false;
                keysOfStream.append(key);
            }
            if (!leave())
                return false;
            list.append(keysOfStream);
        }
        if (!leave())
            return false;
        result.exportOptions.insert(section, list);
    }
    return leave() && leave();
}

std::optional<PerspixDataPtr> StreamDecoder::result(const std::optional<QVariant>& cover)
{
    if (!m_reader.isMap() || !m_reader.enterContainer())
        return std::nullopt;
    qint64 format = -1;
    QString filename;
    qint64 duration = 0;
    qint64 options = 0;
    qint64 kinds = 0;
    std::optional<MapLocation> location;
    std::optional<ResultRecord> result;
    while (m_reader.hasNext()) {
        QString key;
        if (!string(key) || !m_reader.hasNext())
            return std::nullopt;
        bool ok = true;
        if (key == QLatin1String("v")) {
            ok = integer(format);
        } else if (key == QLatin1String("f")) {
            ok = string(filename);
        } else if (key == QLatin1String("d")) {
            ok = integer(duration);
        } else if (key == QLatin1String("o")) {
            ok = integer(options);
        } else if (key == QLatin1String("k")) {
            ok = integer(kinds);
        } else if (key == QLatin1String("m")) {
            MapLocation at;
            ok = enterArray(2) && number(at.latitude) && number(at.longitude) && leave();
            location = at;
        } else if (key == QLatin1String("r")) {
            result.emplace();
            ok = record(*result);
            if (ok && m_generalOnly)
                break;
        } else {
            ok = m_reader.next();
        }
        if (!ok)
            return std::nullopt;
    }
    if (!m_generalOnly && (!leave() || m_reader.lastError() != QCborError::NoError))
        return std::nullopt;
    if (m_generalOnly && m_reader.lastError() != QCborError::NoError)
        return std::nullopt;
    if (format != kFormat)
        return PerspixDataPtr();
    if (result && cover)
        result->general.values.insert(keys::kCoverData, *cover);
    auto data = result ? std::make_shared<PerspixData>(filename, std::move(*result))
                       : std::make_shared<PerspixData>(filename);
    data->duration = duration;
    data->useSIUnits = options & 1;
    data->useSlowThumbProcessing = options & 2;
    data->otherTracksInGeneral = options & 4;
    data->computeFileHashes = options & 8;
    data->skipExtAttributes = options & 16;
    data->useExiftoolForVideo = options & 32;
    data->restoreState(kinds & 1, kinds & 2, kinds & 4, kinds & 8, location);
    return data;
}

} // namespace

std::optional<QCborValue> ResultCoding::encodeVariant(const QVariant& value)
{
    if (!value.isValid())
        return QCborValue(QCborValue::Undefined);
    const int type = value.typeId();
    switch (type) {
    case QMetaType::QString:
        return QCborValue(value.toString());
    case QMetaType::Bool:
        return QCborValue(value.toBool());
    case QMetaType::QByteArray:
        return QCborValue(value.toByteArray());
    case QMetaType::Nullptr:
        return tagged(kNull, QCborValue());
    case QMetaType::Int:
        return tagged(kInt, value.toInt());
    case QMetaType::UInt:
        return tagged(kUInt, qint64(value.toUInt()));
    case QMetaType::LongLong:
        return tagged(kLongLong, value.toLongLong());
    case QMetaType::ULongLong:
        // CBOR integers here are signed 64-bit: the bits go as they are.
        return tagged(kULongLong, qint64(value.toULongLong()));
    case QMetaType::Double:
        return tagged(kDouble, value.toDouble());
    case QMetaType::Float:
        return tagged(kFloat, double(value.toFloat()));
    case QMetaType::QStringList:
        return tagged(kStringList, QCborArray::fromStringList(value.toStringList()));
    case QMetaType::QVariantList: {
        QCborArray array;
        for (const QVariant& element : value.toList()) {
            const auto coded = encodeVariant(element);
            if (!coded)
                return std::nullopt;
            array.append(*coded);
        }
        return tagged(kList, array);
    }
    case QMetaType::QVariantMap: {
        const auto pairs = encodeVariantMap(value.toMap());
        return pairs ? std::optional<QCborValue>(tagged(kMap, *pairs)) : std::nullopt;
    }
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            map.insert(it.key(), it.value());
        const auto pairs = encodeVariantMap(map);
        return pairs ? std::optional<QCborValue>(tagged(kHash, *pairs)) : std::nullopt;
    }
    default:
        break;
    }
    if (type == qMetaTypeId<StyledText>()) {
        const auto styled = value.value<StyledText>();
        return QCborArray{int(kStyled), styled.text, styled.italicStart, styled.italicLength};
    }
    if (type == qMetaTypeId<ExtTreeList>()) {
        const auto tree = encodeTree(value.value<ExtTreeList>());
        return tree ? std::optional<QCborValue>(tagged(kTree, *tree)) : std::nullopt;
    }
    if (type == qMetaTypeId<PlistDict>()) {
        QCborArray pairs;
        for (const auto& [key, member] : value.value<PlistDict>().entries) {
            const auto coded = encodeVariant(member);
            if (!coded)
                return std::nullopt;
            pairs.append(key);
            pairs.append(*coded);
        }
        return tagged(kPlistDict, pairs);
    }
    if (type == QMetaType::QImage)
        return encodeImage(value.value<QImage>());
    if (type >= QMetaType::User)
        return std::nullopt; // a type of ours without a form here
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(kStreamVersion);
    stream << value;
    if (stream.status() != QDataStream::Ok)
        return std::nullopt;
    return tagged(kStream, bytes);
}

std::optional<QVariant> ResultCoding::decodeVariant(const QCborValue& value)
{
    if (value.isUndefined())
        return QVariant();
    if (value.isString())
        return QVariant(value.toString());
    if (value.isBool())
        return QVariant(value.toBool());
    if (value.isByteArray())
        return QVariant(value.toByteArray());
    if (!value.isArray())
        return std::nullopt;
    const QCborArray array = value.toArray();
    if (array.size() < 2)
        return std::nullopt;
    const QCborValue payload = array[1];
    switch (array[0].toInteger()) {
    case kNull:
        return QVariant::fromValue(nullptr);
    case kInt:
        return QVariant(int(payload.toInteger()));
    case kUInt:
        return QVariant(uint(payload.toInteger()));
    case kLongLong:
        return QVariant(qlonglong(payload.toInteger()));
    case kULongLong:
        return QVariant(qulonglong(payload.toInteger()));
    case kDouble:
        return QVariant(payload.toDouble());
    case kFloat:
        return QVariant(float(payload.toDouble()));
    case kStringList: {
        QStringList list;
        for (const QCborValue& element : payload.toArray())
            list.append(element.toString());
        return QVariant(list);
    }
    case kList: {
        QVariantList list;
        for (const QCborValue& element : payload.toArray()) {
            const auto decoded = decodeVariant(element);
            if (!decoded)
                return std::nullopt;
            list.append(*decoded);
        }
        return QVariant(list);
    }
    case kMap: {
        const auto map = decodeVariantMap(payload.toArray());
        return map ? std::optional<QVariant>(QVariant(*map)) : std::nullopt;
    }
    case kHash: {
        const auto map = decodeVariantMap(payload.toArray());
        if (!map)
            return std::nullopt;
        QVariantHash hash;
        for (auto it = map->cbegin(); it != map->cend(); ++it)
            hash.insert(it.key(), it.value());
        return QVariant(hash);
    }
    case kStyled: {
        if (array.size() != 4)
            return std::nullopt;
        return QVariant::fromValue(
            StyledText{array[1].toString(), array[2].toInteger(), array[3].toInteger()});
    }
    case kTree: {
        const auto tree = decodeTree(payload.toArray());
        return tree ? std::optional<QVariant>(QVariant::fromValue(*tree)) : std::nullopt;
    }
    case kPlistDict: {
        PlistDict dict;
        const QCborArray pairs = payload.toArray();
        for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
            const auto member = decodeVariant(pairs[i + 1]);
            if (!member)
                return std::nullopt;
            dict.insert(pairs[i].toString(), *member);
        }
        return QVariant::fromValue(dict);
    }
    case kImage: {
        const auto image = decodeImage(array);
        return image ? std::optional<QVariant>(QVariant(*image)) : std::nullopt;
    }
    case kStream: {
        QByteArray bytes = payload.toByteArray();
        QDataStream stream(&bytes, QIODevice::ReadOnly);
        stream.setVersion(kStreamVersion);
        QVariant decoded;
        stream >> decoded;
        if (stream.status() != QDataStream::Ok)
            return std::nullopt;
        return decoded;
    }
    default:
        return std::nullopt;
    }
}

std::optional<ResultCoding::Coded> ResultCoding::encode(const PerspixData& data)
{
    QCborMap top;
    top.insert(QStringLiteral("v"), kFormat);
    top.insert(QStringLiteral("f"), data.filename);
    top.insert(QStringLiteral("d"), data.duration);
    const int options = (data.useSIUnits ? 1 : 0) | (data.useSlowThumbProcessing ? 2 : 0) |
                        (data.otherTracksInGeneral ? 4 : 0) | (data.computeFileHashes ? 8 : 0) |
                        (data.skipExtAttributes ? 16 : 0) | (data.useExiftoolForVideo ? 32 : 0);
    top.insert(QStringLiteral("o"), options);
    const int kinds = (data.isImage() ? 1 : 0) | (data.isVideo() ? 2 : 0) |
                      (data.isAudio() ? 4 : 0) | (data.isUnknown() ? 8 : 0);
    top.insert(QStringLiteral("k"), kinds);
    if (const auto& location = data.mapLocation())
        top.insert(QStringLiteral("m"), QCborArray{location->latitude, location->longitude});
    Coded coded;
    if (const auto& result = data.dict()) {
        QVariantMap general = result->general.values;
        if (const auto it = general.constFind(keys::kCoverData); it != general.constEnd()) {
            const auto cover = encodeVariant(*it);
            if (!cover)
                return std::nullopt;
            coded.cover = cover->toCbor();
            general.remove(keys::kCoverData);
        }
        const auto values = encodeVariantMap(general);
        const auto streams = encodeTree(result->general.streams);
        const auto extended = encodeTree(result->extended);
        if (!values || !streams || !extended)
            return std::nullopt;
        QCborArray sections;
        for (auto it = result->data.cbegin(); it != result->data.cend(); ++it) {
            QCborArray list;
            for (const ParameterMap& stream : it.value()) {
                QCborArray parameters;
                // In key order: the same result always gives the same bytes.
                QStringList keysOfStream = stream.keys();
                keysOfStream.sort();
                for (const QString& key : keysOfStream) {
                    const ParameterRecord& p = stream[key];
                    const auto value = encodeVariant(p.value);
                    if (!value)
                        return std::nullopt;
                    parameters.append(key);
                    parameters.append(QCborArray{
                        p.name, *value, (p.skipInComparison ? 1 : 0) | (p.isPrivateInfo ? 2 : 0)});
                }
                list.append(parameters);
            }
            sections.append(it.key());
            sections.append(list);
        }
        QCborArray exportOptions;
        for (auto it = result->exportOptions.cbegin(); it != result->exportOptions.cend(); ++it) {
            QCborArray list;
            for (const QStringList& keysOfStream : it.value())
                list.append(QCborArray::fromStringList(keysOfStream));
            exportOptions.append(it.key());
            exportOptions.append(list);
        }
        top.insert(QStringLiteral("r"),
                   QCborArray{*values, *streams, *extended, sections, exportOptions});
    }
    coded.value = QCborValue(top).toCbor();
    return coded;
}

std::optional<QVariant> ResultCoding::decodeCover(const QByteArray& cover)
{
    return decodeVariant(QCborValue::fromCbor(cover));
}

PerspixDataPtr ResultCoding::decodeForExport(const QByteArray& value)
{
    if (const std::optional<PerspixDataPtr> read = StreamDecoder(value, false, true).result({}))
        return *read;
    return decode(value, {});
}

PerspixDataPtr ResultCoding::decodeGeneral(const QByteArray& value)
{
    if (const std::optional<PerspixDataPtr> read = StreamDecoder(value, true).result({}))
        return *read;
    // A value the stream reader does not take is read whole, and its general record kept.
    const PerspixDataPtr whole = decode(value, {});
    if (!whole || !whole->dict())
        return whole;
    ResultRecord general;
    general.general = whole->dict()->general;
    auto data = std::make_shared<PerspixData>(whole->filename, std::move(general));
    data->duration = whole->duration;
    data->restoreState(whole->isImage(), whole->isVideo(), whole->isAudio(), whole->isUnknown(),
                       whole->mapLocation());
    return data;
}

PerspixDataPtr ResultCoding::decode(const QByteArray& value, const std::optional<QVariant>& cover)
{
    if (const std::optional<PerspixDataPtr> read = StreamDecoder(value).result(cover))
        return *read;
    QCborParserError error;
    const QCborValue parsed = QCborValue::fromCbor(value, &error);
    if (error.error != QCborError::NoError || !parsed.isMap())
        return nullptr;
    const QCborMap top = parsed.toMap();
    if (top.value(QStringLiteral("v")).toInteger() != kFormat)
        return nullptr;
    const QString filename = top.value(QStringLiteral("f")).toString();
    std::optional<ResultRecord> result;
    if (top.contains(QStringLiteral("r"))) {
        const QCborArray r = top.value(QStringLiteral("r")).toArray();
        if (r.size() != 5)
            return nullptr;
        const auto values = decodeVariantMap(r[0].toArray());
        const auto streams = decodeTree(r[1].toArray());
        const auto extended = decodeTree(r[2].toArray());
        if (!values || !streams || !extended)
            return nullptr;
        result.emplace();
        result->general.values = *values;
        result->general.streams = *streams;
        result->extended = *extended;
        if (cover)
            result->general.values.insert(keys::kCoverData, *cover);
        const QCborArray sections = r[3].toArray();
        for (qsizetype i = 0; i + 1 < sections.size(); i += 2) {
            QList<ParameterMap> list;
            for (const QCborValue& streamValue : sections[i + 1].toArray()) {
                const QCborArray parameters = streamValue.toArray();
                ParameterMap stream;
                stream.reserve(parameters.size() / 2);
                for (qsizetype p = 0; p + 1 < parameters.size(); p += 2) {
                    const QCborArray fields = parameters[p + 1].toArray();
                    const auto v = decodeVariant(fields[1]);
                    if (fields.size() != 3 || !v)
                        return nullptr;
                    const qint64 flags = fields[2].toInteger();
                    stream.insert(parameters[p].toString(),
                                  ParameterRecord{fields[0].toString(), *v, bool(flags & 1),
                                                  bool(flags & 2)});
                }
                list.append(stream);
            }
            result->data.insert(sections[i].toString(), list);
        }
        const QCborArray exportOptions = r[4].toArray();
        for (qsizetype i = 0; i + 1 < exportOptions.size(); i += 2) {
            QList<QStringList> list;
            for (const QCborValue& keysOfStream : exportOptions[i + 1].toArray()) {
                QStringList keysList;
                for (const QCborValue& key : keysOfStream.toArray())
                    keysList.append(key.toString());
                list.append(keysList);
            }
            result->exportOptions.insert(exportOptions[i].toString(), list);
        }
    }
    auto data = result ? std::make_shared<PerspixData>(filename, std::move(*result))
                       : std::make_shared<PerspixData>(filename);
    data->duration = top.value(QStringLiteral("d")).toInteger();
    const qint64 options = top.value(QStringLiteral("o")).toInteger();
    data->useSIUnits = options & 1;
    data->useSlowThumbProcessing = options & 2;
    data->otherTracksInGeneral = options & 4;
    data->computeFileHashes = options & 8;
    data->skipExtAttributes = options & 16;
    data->useExiftoolForVideo = options & 32;
    const qint64 kinds = top.value(QStringLiteral("k")).toInteger();
    std::optional<MapLocation> location;
    if (top.contains(QStringLiteral("m"))) {
        const QCborArray m = top.value(QStringLiteral("m")).toArray();
        location = MapLocation{m[0].toDouble(), m[1].toDouble()};
    }
    data->restoreState(kinds & 1, kinds & 2, kinds & 4, kinds & 8, location);
    return data;
}

} // namespace perspix
