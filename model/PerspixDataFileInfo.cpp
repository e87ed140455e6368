// The "File" section of every analysed file: file-system facts gathered into the general
// record and listed back as entries. Not for the readers' own metadata.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "model/FileHash.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/PerspixData.h"
#include "model/Utilities.h"

namespace perspix {

namespace {

QString localizedDate(const QDateTime& date)
{
    const QLocale locale;
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), QLocale::LongFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), Utilities::mediumTimeFormat(locale));
}

// "2024-01-05T15:04:05+01:00", or "...Z" where the local zone is UTC at that moment.
QString isoDate(const QDateTime& date)
{
    const QDateTime local = date.toLocalTime();
    QString text = QLocale::c().toString(local, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
    const int offset = local.offsetFromUtc();
    if (offset == 0)
        return text + QLatin1Char('Z');
    const int minutes = std::abs(offset) / 60;
    return text +
           QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

// The type's description in the user's language. Qt reads it from the MIME database's files
// at every call, which costs more than the rest of the file facts together; a run meets
// few types.
QString mimeComment(const QMimeType& type)
{
    static std::mutex lock;
    static QHash<QString, QString> comments;
    const QString key = type.name() + QLatin1Char('|') + QLocale().name();
    std::lock_guard guard(lock);
    const auto it = comments.constFind(key);
    if (it != comments.constEnd())
        return *it;
    return *comments.insert(key, type.comment());
}

QDateTime dateOf(const struct statx_timestamp& t)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000);
}

// A text kept as is, or a list of texts joined; nothing when no text is left.
std::optional<QString> joinedTexts(const QVariant& value, const QString& separator)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList texts;
    for (const QVariant& item : value.toList())
        if (item.typeId() == QMetaType::QString)
            texts.append(item.toString());
    if (texts.isEmpty())
        return std::nullopt;
    return texts.join(separator);
}

std::optional<QString> joinedDates(const QVariant& value)
{
    const QVariantList items =
        value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList{value};
    QStringList texts;
    for (const QVariant& item : items)
        if (item.typeId() == QMetaType::QDateTime && item.toDateTime().isValid())
            texts.append(localizedDate(item.toDateTime()));
    if (texts.isEmpty())
        return std::nullopt;
    return texts.join(QStringLiteral(",\n"));
}

const QString kListSeparator = QStringLiteral(",\n");

// The type by name and content; a pipe, socket or device by its kind alone, never opened.
QMimeType mimeTypeOf(const QByteArray& nativePath, unsigned mode)
{
    const QMimeDatabase db;
    if (S_ISDIR(mode))
        return db.mimeTypeForName(QStringLiteral("inode/directory"));
    if (S_ISFIFO(mode))
        return db.mimeTypeForName(QStringLiteral("inode/fifo"));
    if (S_ISSOCK(mode))
        return db.mimeTypeForName(QStringLiteral("inode/socket"));
    if (S_ISCHR(mode))
        return db.mimeTypeForName(QStringLiteral("inode/chardevice"));
    if (S_ISBLK(mode))
        return db.mimeTypeForName(QStringLiteral("inode/blockdevice"));
    // Opened here by its bytes: Qt's own opening would lose a name that is not UTF-8.
    const QString name = NativePath::decoded(nativePath);
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    }
    return db.mimeTypeForFileNameAndData(name, &file);
}

} // namespace

void PerspixData::getFileInfo(GeneralRecord& general) const
{
    // Everything but the name and folder is the link target's.
    const QByteArray nativeName = NativePath::encoded(filename);
    QByteArray nativePath = nativeName;
    if (char* resolved = ::realpath(nativeName.constData(), nullptr)) {
        nativePath = resolved;
        std::free(resolved);
    }
    const QString path = NativePath::decoded(nativePath);

    struct statx st
    {
    };
    if (::statx(AT_FDCWD, nativePath.constData(), AT_STATX_SYNC_AS_STAT,
                STATX_BASIC_STATS | STATX_BTIME, &st) != 0) {
        logLine(QStringLiteral("Failed to read the file facts of %1: %2")
                    .arg(filename, QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }

    const auto size = qint64(st.stx_size);
    general.insert(keys::kFilesize, useSIUnits ? Utilities::filesizeToMacHumanString(size)
                                               : Utilities::filesizeToBase2HumanString(size));
    general.insert(keys::kFilesizeInBytes, QString::number(quint64(st.stx_size)));

    // File systems without a birth time report none: the modification time stands in.
    const QDateTime modified = dateOf(st.stx_mtime);
    const QDateTime created = (st.stx_mask & STATX_BTIME) ? dateOf(st.stx_btime) : modified;
    general.insert(keys::kLocalizedModificationDate, localizedDate(modified));
    general.insert(keys::kLocalizedCreationDate, localizedDate(created));
    general.insert(keys::kModificationDate, isoDate(modified));
    general.insert(keys::kCreationDate, isoDate(created));

    const bool regular = S_ISREG(st.stx_mode);
    const QMimeType type = mimeTypeOf(nativePath, st.stx_mode);
    if (type.isValid()) {
        general.insert(keys::kFileKind, mimeComment(type));
        general.insert(keys::kFileUTI, type.name());
    }

    if (!skipExtAttributes) {
        if (const auto comment = Utilities::extendedAttribute(keys::kXattrFinderComment, path))
            general.insert(keys::kFinderComment, *comment);
        if (const auto from = Utilities::extendedAttribute(keys::kXattrWhereFroms, path))
            if (const auto text = joinedTexts(*from, kListSeparator))
                general.insert(keys::kFileFrom, *text);
        if (const auto authors = Utilities::extendedAttribute(keys::kXattrAuthors, path))
            if (const auto text = joinedTexts(*authors, kListSeparator))
                general.insert(keys::kFileAuthors, *text);
        if (const auto dates = Utilities::extendedAttribute(keys::kXattrDownloadedDate, path))
            if (const auto text = joinedDates(*dates))
                general.insert(keys::kFileFromDate, *text);
        const QStringList tags = Utilities::tagNamesOnFileAtPath(path);
        if (!tags.isEmpty())
            general.insert(keys::kFileTagNames, tags.join(QStringLiteral(", ")));
    }

    if (computeFileHashes && regular) {
        if (const auto digests = FileHash::md5AndSha1OfFileAtPath(path)) {
            general.insert(keys::kMd5, digests->md5);
            general.insert(keys::kSha1, digests->sha1);
        }
    }
}

QList<FileFactEntry> PerspixData::prepareFileStream(const GeneralRecord& general) const
{
    enum Flags {
        kNone = 0,
        kSkipInExtended = 1,
        kSkipInExport = 2,
        kSkipInComparison = 4,
        kIsPrivateInfo = 8,
    };
    QList<FileFactEntry> entries;
    const auto add = [&entries](const QString& key, const QString& label, const QVariant& value,
                                int flags) {
        FileFactEntry e = FileFactEntry::make(key, label, value);
        e.skipInExtended = flags & kSkipInExtended;
        e.skipInExport = flags & kSkipInExport;
        e.skipInComparison = flags & kSkipInComparison;
        e.isPrivateInfo = flags & kIsPrivateInfo;
        entries.append(e);
    };
    // A fact missing from the general record has no entry: the facts of a file that could
    // not be read are left out rather than shown empty.
    const auto addPresent = [&](const QString& key, const char* label, const QString& generalKey,
                                int flags) {
        if (general.contains(generalKey))
            add(key, QString::fromLatin1(label), general.values.value(generalKey), flags);
    };

    const qsizetype slash = filename.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0    ? QString()
                           : slash == 0 ? QStringLiteral("/")
                                        : filename.left(slash);
    // Shown names: bytes of a name that is not UTF-8 appear as U+FFFD.
    add(keys::kFileName, QStringLiteral("Name"), NativePath::shown(filename.mid(slash + 1)), kNone);

    addPresent(keys::kFileSize, "Size", keys::kFilesize, kSkipInExtended | kSkipInComparison);
    if (general.contains(keys::kFilesizeInBytes)) {
        // Shown once: the size text, with the exact count unless the text already is it.
        const QString bytes = general.string(keys::kFilesizeInBytes) + QStringLiteral(" bytes");
        const QString size = general.string(keys::kFilesize);
        add(keys::kFileSizeAndBytes, QStringLiteral("Size"),
            size == bytes ? bytes : QStringLiteral("%1 (%2)").arg(size, bytes), kSkipInExport);
    }
    addPresent(keys::kFileSizeInBytesKey, "Size", keys::kFilesizeInBytes,
               kSkipInExtended | kSkipInComparison);
    addPresent(keys::kFileKindKey, "Kind", keys::kFileKind, kIsPrivateInfo);
    addPresent(keys::kFileUTIKey, "MIME type", keys::kFileUTI, kIsPrivateInfo);
    add(keys::kFileLocation, QStringLiteral("Location"), NativePath::shown(folder), kIsPrivateInfo);

    addPresent(keys::kLocalizedCreationDateKey, "Created", keys::kLocalizedCreationDate,
               kSkipInExport);
    addPresent(keys::kCreationDateKey, "Created", keys::kCreationDate,
               kSkipInExtended | kSkipInComparison);
    addPresent(keys::kLocalizedModificationDateKey, "Modified", keys::kLocalizedModificationDate,
               kSkipInExport);
    addPresent(keys::kModificationDateKey, "Modified", keys::kModificationDate,
               kSkipInExtended | kSkipInComparison);

    addPresent(keys::kFileFinderComment, "Comment", keys::kFinderComment, kIsPrivateInfo);
    addPresent(keys::kFileLabel, "Label", keys::kFileLabelName, kIsPrivateInfo);
    addPresent(keys::kFileTags, "Tags", keys::kFileTagNames, kIsPrivateInfo);
    addPresent(keys::kFileFromKey, "Downloaded From", keys::kFileFrom, kIsPrivateInfo);
    addPresent(keys::kFileAuthorsKey, "Authors", keys::kFileAuthors, kIsPrivateInfo);
    addPresent(keys::kFileFromDateKey, "Downloaded Date", keys::kFileFromDate, kIsPrivateInfo);

    addPresent(keys::kMD5Hash, "MD5 hash", keys::kMd5, kNone);
    addPresent(keys::kSHA1Hash, "SHA1 hash", keys::kSha1, kNone);
    return entries;
}

void PerspixData::addFileSection(const QList<FileFactEntry>& entries, PreparedData& prepared)
{
    ParameterMap parameters;
    QStringList exportKeys;
    ExtTreeList children;
    for (const FileFactEntry& entry : entries) {
        ParameterRecord record{entry.label, entry.value, entry.skipInComparison,
                               entry.isPrivateInfo};
        parameters.insert(entry.key, record);
        if (!entry.skipInExport)
            exportKeys.append(entry.key);
        if (!entry.skipInExtended) {
            auto item = ExtTreeItem::itemWithKey(entry.key, entry.label, entry.value);
            item->setParamDictStore(entry);
            children.append(item);
        }
    }
    prepared.data.insert(keys::kSectionFile, {parameters});
    prepared.exportOptions.insert(keys::kSectionFile, {exportKeys});
    prepared.extended.append(
        ExtTreeItem::groupTreeWithKey(keys::kSectionFile, keys::kSectionFile, children, 0));
}

} // namespace perspix
