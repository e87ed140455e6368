// The libmediainfo adapter: wide-character strings in and out of the library's plain C
// interface, the codec hints, the "/SI" pseudo-parameters, reports and covers.
#include "readers/mediainfo/oMediaInfo.h"

// The library's header needs size_t and wchar_t declared before it.
#include <cstddef>

#include <MediaInfoDLL/MediaInfoDLL_Static.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <array>
#include <atomic>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "model/Log.h"
#include "model/NativePath.h"
#include "model/Utilities.h"

namespace perspix {

namespace {

// The library's strings are UTF-32 wchar_t on Linux; each returned pointer lives only
// until the next call on the same handle, so it is copied at once. Nearly every text lies
// in the 16-bit plane and is copied unit by unit; anything else goes through Qt's decoder.
QString fromWide(const wchar_t* text)
{
    if (!text || !*text)
        return {};
    const std::size_t length = std::wcslen(text);
    QString result(qsizetype(length), Qt::Uninitialized);
    QChar* out = result.data();
    for (std::size_t i = 0; i < length; ++i) {
        const auto unit = static_cast<char32_t>(text[i]);
        if (unit >= 0xD800 && (unit < 0xE000 || unit > 0xFFFF))
            return QString::fromWCharArray(text, qsizetype(length));
        out[i] = QChar(static_cast<char16_t>(unit));
    }
    return result;
}

std::wstring toWide(const QString& text)
{
    return text.toStdWString();
}

// The library-wide report options ("Complete", "Inform") are shared by every handle, so
// reports that change them run one at a time.
std::mutex& reportOptionsLock()
{
    static std::mutex lock;
    return lock;
}

constexpr std::size_t kStreamKinds = 7;

using ParameterNames = std::array<QStringList, kStreamKinds>;

// Names, labels and report flags of the fixed parameters never change during a run: they
// are read once, by whichever thread first meets a stream of the kind.
struct FixedParameters
{
    std::once_flag once;
    std::atomic<bool> ready{false};
    std::vector<ParameterHead> heads;
};

std::array<FixedParameters, kStreamKinds>& fixedParameters()
{
    static std::array<FixedParameters, kStreamKinds> tables;
    return tables;
}

const QHash<QString, QString>& codecTable()
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("MPEG Audio Version 1 Layer 3"), QStringLiteral("MP3")},
        {QStringLiteral("DTS MA / Core"), QStringLiteral("DTS-HD MA")},
        {QStringLiteral("2 MPEG Video Version 2"), QStringLiteral("MPEG-2")},
        {QStringLiteral("MPEG Video Version 2"), QStringLiteral("MPEG-2")},
        {QStringLiteral("V_MPEG2 MPEG Video Version 2"), QStringLiteral("MPEG-2")},
        {QStringLiteral("MP42 MPEG-4 Visual"), QStringLiteral("MS MPEG-4")},
        {QStringLiteral("MP43 MPEG-4 Visual"), QStringLiteral("MS MPEG-4")},
    };
    return table;
}

const QString kSeparator = QStringLiteral(" / ");

// The library's list of parameters (its "Info_Parameters_CSV"), read once by setupLibrary.
QString& parametersCsv()
{
    static QString csv;
    return csv;
}

// A cover type comes from the file: it may not lead out of the target folder.
QString safeCoverStem(const QString& type)
{
    QString stem = type.trimmed();
    stem.replace(QLatin1Char('/'), QLatin1Char('_'));
    stem.remove(QChar(0));
    return stem.isEmpty() ? QStringLiteral("Cover") : stem;
}

QByteArray decodeBase64(const QString& text)
{
    const auto decoded = QByteArray::fromBase64Encoding(text.trimmed().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? decoded.decoded : QByteArray();
}

std::mutex g_preparedLock;
QString g_preparedPath;
QString g_preparedTextPath;

} // namespace

oMediaInfo::oMediaInfo() : m_handle((setupLibrary(), MediaInfo_New()))
{
    if (!m_handle) {
        logLine(QStringLiteral("Failed to create MI object"));
        return;
    }
    // A file that looks like part of a numbered sequence is read alone.
    OptionSet(QStringLiteral("File_TestContinuousFileNames"), QStringLiteral("0"));
}

oMediaInfo::~oMediaInfo()
{
    if (m_handle) {
        MediaInfo_Close(m_handle);
        MediaInfo_Delete(m_handle);
    }
}

bool oMediaInfo::Open(const QString& path)
{
    if (!m_handle || path.isEmpty() || !NativePath::isRegularFile(path))
        return false;
    {
        std::lock_guard guard(g_preparedLock);
        if (!g_preparedPath.isEmpty() && g_preparedPath == path)
            return MediaInfo_Open(m_handle, toWide(g_preparedTextPath).c_str()) != 0;
    }
    // The library takes the path as text only.
    const NativePath::TextAlias alias(path);
    return !alias.path().isEmpty() && MediaInfo_Open(m_handle, toWide(alias.path()).c_str()) != 0;
}

void oMediaInfo::setPreparedTextPath(const QString& path, const QString& textPath)
{
    std::lock_guard guard(g_preparedLock);
    g_preparedPath = textPath.isEmpty() ? QString() : path;
    g_preparedTextPath = textPath;
}

QString oMediaInfo::Inform()
{
    if (!m_handle)
        return {};
    return fromWide(MediaInfo_Inform(m_handle, 0));
}

QString oMediaInfo::InformComplete()
{
    std::lock_guard guard(reportOptionsLock());
    OptionSet(QStringLiteral("Complete"), QStringLiteral("1"));
    QString report = Inform();
    OptionSet(QStringLiteral("Complete"), QStringLiteral("0"));
    return report;
}

QString oMediaInfo::OptionGet(const QString& name)
{
    return OptionSet(name, QString());
}

QString oMediaInfo::OptionSet(const QString& name, const QString& value)
{
    if (!m_handle)
        return {};
    return fromWide(MediaInfo_Option(m_handle, toWide(name).c_str(), toWide(value).c_str()));
}

std::size_t oMediaInfo::numberOfStreams(StreamKind kind)
{
    if (!m_handle)
        return 0;
    return MediaInfo_Count_Get(m_handle, static_cast<MediaInfo_stream_C>(kind),
                               static_cast<std::size_t>(-1));
}

std::size_t oMediaInfo::numberOfOptionsInStreamAtIndex(std::size_t stream, StreamKind kind)
{
    if (!m_handle)
        return 0;
    return MediaInfo_Count_Get(m_handle, static_cast<MediaInfo_stream_C>(kind), stream);
}

QString oMediaInfo::GetI(StreamKind kind, std::size_t stream, std::size_t parameter, InfoKind info)
{
    if (!m_handle)
        return {};
    return fromWide(MediaInfo_GetI(m_handle, static_cast<MediaInfo_stream_C>(kind), stream,
                                   parameter, static_cast<MediaInfo_info_C>(info)));
}

ParameterHead oMediaInfo::readParameterHead(StreamKind kind, std::size_t stream,
                                            std::size_t parameter)
{
    ParameterHead head;
    if (!m_handle)
        return head;
    const auto streamKind = static_cast<MediaInfo_stream_C>(kind);
    const wchar_t* options =
        MediaInfo_GetI(m_handle, streamKind, stream, parameter, MediaInfo_Info_Options);
    head.shown = options && options[0] == L'Y';
    head.name =
        fromWide(MediaInfo_GetI(m_handle, streamKind, stream, parameter, MediaInfo_Info_Name));
    head.label =
        fromWide(MediaInfo_GetI(m_handle, streamKind, stream, parameter, MediaInfo_Info_Name_Text));
    return head;
}

const ParameterNames& oMediaInfo::fixedParameterNames()
{
    // Read when the first stream is met rather than at start: the list costs as much as
    // reading a few dozen images, and a run over images alone never needs it.
    static const ParameterNames names = [] {
        ParameterNames list;
        const ParameterDictionary sections = dictionaryOfParameters(false);
        for (std::size_t k = 0; k < kStreamKinds; ++k)
            list[k] = sections.value(*streamKindToHumanString(int(k)));
        return list;
    }();
    return names;
}

ParameterHead oMediaInfo::parameterHead(StreamKind kind, std::size_t stream, std::size_t parameter)
{
    const auto k = static_cast<std::size_t>(kind);
    if (k >= kStreamKinds || parameter >= std::size_t(fixedParameterNames()[k].size()))
        return readParameterHead(kind, stream, parameter);
    FixedParameters& fixed = fixedParameters()[k];
    const std::size_t fixedCount = std::size_t(fixedParameterNames()[k].size());
    // Filled from the first stream of the kind that holds the whole fixed list, and kept
    // only when its names are the library's list, in order.
    if (!fixed.ready.load(std::memory_order_acquire) &&
        numberOfOptionsInStreamAtIndex(stream, kind) >= fixedCount) {
        std::call_once(fixed.once, [&] {
            std::vector<ParameterHead> heads;
            heads.reserve(fixedCount);
            for (std::size_t p = 0; p < fixedCount; ++p) {
                heads.push_back(readParameterHead(kind, stream, p));
                if (heads.back().name != fixedParameterNames()[k].at(qsizetype(p)))
                    return;
            }
            fixed.heads = std::move(heads);
            fixed.ready.store(true, std::memory_order_release);
        });
    }
    if (fixed.ready.load(std::memory_order_acquire))
        return fixed.heads[parameter];
    return readParameterHead(kind, stream, parameter);
}

QString oMediaInfo::GetFromStream(StreamKind kind, std::size_t stream, const QString& parameter)
{
    if (parameter == QLatin1String("FileSize/String/SI")) {
        const QString size = GetFromStream(kind, stream, QStringLiteral("FileSize"));
        return size.isEmpty() ? QString() : Utilities::filesizeToMacHumanString(size.toLongLong());
    }
    if (parameter == QLatin1String("StreamSize/String/SI"))
        return sizeWithProportion(kind, stream, QStringLiteral("StreamSize"),
                                  QStringLiteral("StreamSize_Proportion"));
    if (parameter == QLatin1String("Source_StreamSize/String/SI"))
        return sizeWithProportion(kind, stream, QStringLiteral("Source_StreamSize"),
                                  QStringLiteral("Source_StreamSize_Proportion"));
    if (!m_handle)
        return {};
    return fromWide(MediaInfo_Get(m_handle, static_cast<MediaInfo_stream_C>(kind), stream,
                                  toWide(parameter).c_str(), MediaInfo_Info_Text,
                                  MediaInfo_Info_Name));
}

QString oMediaInfo::sizeWithProportion(StreamKind kind, std::size_t stream, const QString& sizeName,
                                       const QString& proportionName)
{
    const QString size = GetFromStream(kind, stream, sizeName);
    if (size.isEmpty())
        return {};
    const QString sizeText = Utilities::filesizeToMacHumanString(size.toLongLong());
    const QString proportion = GetFromStream(kind, stream, proportionName);
    // Streams whose share the library does not know still show their size.
    if (proportion.isEmpty())
        return sizeText;
    const float percent = proportion.toFloat() * 100.0f;
    return QString::asprintf("%s (%.1f%%)", qUtf8Printable(sizeText), double(percent));
}

QString oMediaInfo::GetGeneral(std::size_t stream, const QString& parameter)
{
    return GetFromStream(StreamKind::General, stream, parameter);
}

QString oMediaInfo::GetVideo(std::size_t stream, const QString& parameter)
{
    return GetFromStream(StreamKind::Video, stream, parameter);
}

QString oMediaInfo::GetAudio(std::size_t stream, const QString& parameter)
{
    return GetFromStream(StreamKind::Audio, stream, parameter);
}

QString oMediaInfo::GetText(std::size_t stream, const QString& parameter)
{
    return GetFromStream(StreamKind::Text, stream, parameter);
}

QString oMediaInfo::GetMenu(std::size_t stream, const QString& parameter)
{
    return GetFromStream(StreamKind::Menu, stream, parameter);
}

QString oMediaInfo::myCodecHint(StreamKind kind, std::size_t stream)
{
    QStringList description;
    const auto addIfNotEmpty = [&description](const QString& text) {
        if (!text.isEmpty())
            description.append(text);
    };
    const QString format = GetFromStream(kind, stream, QStringLiteral("Format"));
    if (kind == StreamKind::Video) {
        if (format == QLatin1String("MPEG-4 Visual")) {
            const QString hint = GetFromStream(kind, stream, QStringLiteral("CodecID/Hint"));
            if (!hint.isEmpty() && hint != QLatin1String("Microsoft"))
                return hint;
        }
        addIfNotEmpty(GetFromStream(kind, stream, QStringLiteral("CodecID")));
        description.append(format);
        addIfNotEmpty(GetFromStream(kind, stream, QStringLiteral("Format_Version")));
    } else {
        description.append(format);
        addIfNotEmpty(GetFromStream(kind, stream, QStringLiteral("Format_Version")));
        addIfNotEmpty(GetFromStream(kind, stream, QStringLiteral("Format_Profile")));
    }
    return codecTable().value(description.join(QLatin1Char(' ')));
}

void oMediaInfo::setupLibrary()
{
    // The library turns wide-character paths into bytes through the character-type locale
    // ("C.UTF-8", set by the core's set-up). Its options are process-wide: they are set by
    // the first use, before any handle exists, so that runs without films never load it.
    // They go through a handle of their own: the interface keeps the reply to a call
    // without a handle for good, while a handle's replies go with it.
    static std::once_flag once;
    std::call_once(once, [] {
        void* handle = MediaInfo_New();
        if (!handle)
            return;
        MediaInfo_Option(handle, L"Language", toWide(labelTranslationText()).c_str());
        MediaInfo_Option(handle, L"cover_data", L"base64");
        // The parameter list is read here, before any file is: answering it rewrites tables
        // of the library's that a file being read on another thread looks up.
        parametersCsv() = fromWide(MediaInfo_Option(handle, L"Info_Parameters_CSV", L""));
        MediaInfo_Delete(handle);
    });
}

QString oMediaInfo::labelTranslationText()
{
    QString text = QStringLiteral("AttachmentCount;Number of attachments\n");
    for (int n = 1; n <= 10; ++n)
        text += QStringLiteral("Attachment_%1;Attachment #%1\n").arg(n);
    text += QStringLiteral("PixelCropBottom;Pixel Crop Bottom\n"
                           "PixelCropLeft;Pixel Crop Left\n"
                           "PixelCropRight;Pixel Crop Right\n"
                           "PixelCropTop;Pixel Crop Top\n");
    return text;
}

QString oMediaInfo::libVersion()
{
    setupLibrary();
    void* handle = MediaInfo_New();
    if (!handle)
        return {};
    const QString version = fromWide(MediaInfo_Option(handle, L"info_version", L""));
    MediaInfo_Delete(handle);
    return version;
}

std::optional<QString> oMediaInfo::streamKindToHumanString(int kind)
{
    switch (static_cast<StreamKind>(kind)) {
    case StreamKind::General:
        return QStringLiteral("Container");
    case StreamKind::Video:
        return QStringLiteral("Video");
    case StreamKind::Audio:
        return QStringLiteral("Audio");
    case StreamKind::Text:
        return QStringLiteral("Subtitles");
    case StreamKind::Other:
        return QStringLiteral("Other");
    case StreamKind::Image:
        return QStringLiteral("Image");
    case StreamKind::Menu:
        return QStringLiteral("Menu/Chapters");
    }
    return std::nullopt;
}

StreamKind oMediaInfo::streamStringToKind(const QString& name)
{
    static const QHash<QString, StreamKind> kinds = {
        {QStringLiteral("General"), StreamKind::General},
        {QStringLiteral("Video"), StreamKind::Video},
        {QStringLiteral("Audio"), StreamKind::Audio},
        {QStringLiteral("Text"), StreamKind::Text},
        {QStringLiteral("Other"), StreamKind::Other},
        {QStringLiteral("Image"), StreamKind::Image},
        {QStringLiteral("Menu"), StreamKind::Menu},
    };
    return kinds.value(name, StreamKind::General);
}

QString oMediaInfo::formatDurationUpToSeconds(qint64 milliseconds)
{
    if (milliseconds < 1)
        return {};
    const qint64 seconds = milliseconds / 1000 + (milliseconds % 1000 != 0 ? 1 : 0);
    return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>(seconds % 3600 / 60),
                             static_cast<long long>(seconds % 60));
}

std::optional<QString> oMediaInfo::InformCompleteOnFile(const QString& path)
{
    oMediaInfo mi;
    if (!mi.Open(path))
        return std::nullopt;
    return mi.InformComplete();
}

std::optional<QString> oMediaInfo::InformTraceOnFile(const QString& path)
{
    std::lock_guard guard(reportOptionsLock());
    oMediaInfo mi;
    // "Inform" is library-wide: switch the trace off again, or every later report of any
    // handle would be a trace too.
    mi.OptionSet(QStringLiteral("Inform"), QStringLiteral("Details;1"));
    std::optional<QString> report;
    if (mi.Open(path))
        report = mi.Inform();
    mi.OptionSet(QStringLiteral("Inform"), QStringLiteral("Details;0"));
    return report;
}

ParameterDictionary oMediaInfo::dictionaryOfParameters()
{
    return dictionaryOfParameters(true);
}

ParameterDictionary oMediaInfo::dictionaryOfParameters(bool withPseudoParameters)
{
    setupLibrary();
    const QString& csv = parametersCsv();
    ParameterDictionary sections;
    QStringList* current = nullptr;
    StreamKind currentKind = StreamKind::General;
    // The library ends these lines with LF; CR is accepted as well.
    static const QRegularExpression lineBreak(QStringLiteral("[\r\n]"));
    for (const QString& line : csv.split(lineBreak, Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char(';'));
        const QString name = fields.first().trimmed();
        if (fields.size() == 1) {
            currentKind = streamStringToKind(name);
            const QString section = *streamKindToHumanString(int(currentKind));
            sections.insert(section, QStringList());
            current = &sections[section];
            continue;
        }
        if (!current)
            continue;
        if (withPseudoParameters && currentKind == StreamKind::General &&
            name == QLatin1String("FileSize/String"))
            current->append(QStringLiteral("FileSize/String/SI"));
        if (withPseudoParameters && (name == QLatin1String("StreamSize/String") ||
                                     name == QLatin1String("Source_StreamSize/String")))
            current->append(name + QStringLiteral("/SI"));
        current->append(name);
    }
    return sections;
}

bool oMediaInfo::saveCoversOfFile(const QString& path, const QString& folder, QStringList* files)
{
    oMediaInfo mi;
    if (!mi.Open(path))
        return false;

    struct Picture
    {
        QString name;
        QString base64;
    };
    QList<Picture> pictures;
    const QString coverData = mi.GetGeneral(0, QStringLiteral("Cover_Data"));
    if (!coverData.isEmpty()) {
        const QStringList data = coverData.split(kSeparator);
        const QStringList types = mi.GetGeneral(0, QStringLiteral("Cover_Type")).split(kSeparator);
        const QStringList mimes = mi.GetGeneral(0, QStringLiteral("Cover_Mime")).split(kSeparator);
        const bool described = types.size() == data.size() && mimes.size() == data.size();
        for (qsizetype i = 0; i < data.size(); ++i) {
            const QString name =
                described ? QStringLiteral("%1.%2").arg(
                                safeCoverStem(types.at(i)),
                                Utilities::fileExtensionFromMimeType(mimes.at(i).trimmed())
                                    .value_or(QStringLiteral("jpg")))
                          : QStringLiteral("Cover.jpg");
            pictures.append({name, data.at(i)});
        }
    }
    const QStringList thumbnails =
        mi.GetGeneral(0, QStringLiteral("Thumbnail_Data")).split(kSeparator, Qt::SkipEmptyParts);
    for (const QString& thumbnail : thumbnails)
        pictures.append({QStringLiteral("Cover.jpg"), thumbnail});

    QStringList written;
    const QDir target(folder);
    for (const Picture& picture : pictures) {
        const QByteArray bytes = decodeBase64(picture.base64);
        if (bytes.isEmpty())
            continue;
        const auto filePath = Utilities::uniqueFilename(target.filePath(picture.name));
        if (!filePath)
            continue;
        // NewOnly: a file that appeared since the name was chosen is never overwritten.
        QFile file;
        if (!NativePath::open(file, *filePath, QIODevice::WriteOnly | QIODevice::NewOnly))
            continue;
        const bool ok = file.write(bytes) == bytes.size();
        file.close();
        if (ok)
            written.append(*filePath);
        else
            NativePath::remove(*filePath);
    }
    if (files)
        *files = written;
    return true;
}

} // namespace perspix
