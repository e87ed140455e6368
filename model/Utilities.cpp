// Shared helpers (see Utilities.h).
#include "model/Utilities.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUuid>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "model/FileHash.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/PropertyList.h"

namespace perspix {

FileError FileError::posix(int errorNumber)
{
    return {kPosixErrorDomain, errorNumber, QString::fromLocal8Bit(std::strerror(errorNumber))};
}

FileError FileError::perspix(int code, const QString& description)
{
    return {kPerspixErrorDomain, code, description};
}

namespace {

void report(FileError* error, const FileError& what)
{
    if (error)
        *error = what;
}

struct Unit
{
    double divisor;
    const char* name;
};

// The value is compared before it is printed, so 999,999,999 bytes read "1000 MB".
QString sizeText(qint64 size, const Unit& unit)
{
    const double v = double(size) / unit.divisor;
    const char* format = v >= 100 ? "%.0f %s" : v >= 10 ? "%.1f %s" : "%.2f %s";
    return QString::asprintf(format, v, unit.name);
}

QString bytesText(qint64 size)
{
    return QString::asprintf("%lld bytes", static_cast<long long>(size));
}

QByteArray encoded(const QString& path)
{
    return NativePath::encoded(path);
}

// Any directory entry counts, a dangling symbolic link included: writing through one
// would create a file somewhere else.
bool somethingAt(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(encoded(path).constData(), &st) == 0 || errno != ENOENT;
}

// Splits "dir/name.ext" into "dir/name" and ".ext". A leading dot (".hidden") starts no
// extension, and neither does a trailing one.
std::pair<QString, QString> splitExtension(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1 || dot == path.size() - 1)
        return {path, QString()};
    return {path.left(dot), path.mid(dot)};
}

const QString kXdgComment = QStringLiteral("user.xdg.comment");
const QString kXdgOrigin = QStringLiteral("user.xdg.origin.url");
const QString kXdgReferrer = QStringLiteral("user.xdg.referrer.url");
const QString kDublinCoreCreator = QStringLiteral("user.dublincore.creator");
const QString kXdgTags = QStringLiteral("user.xdg.tags");

QStringList freedesktopNames(const QString& name)
{
    if (name == keys::kXattrFinderComment)
        return {kXdgComment};
    if (name == keys::kXattrWhereFroms)
        return {kXdgOrigin, kXdgReferrer};
    if (name == keys::kXattrAuthors)
        return {kDublinCoreCreator};
    if (name == keys::kXattrUserTags)
        return {kXdgTags};
    return {};
}

QString namespacedName(const QString& name)
{
    static const QLatin1String namespaces[] = {QLatin1String("user."), QLatin1String("trusted."),
                                               QLatin1String("security."),
                                               QLatin1String("system.")};
    for (const QLatin1String& ns : namespaces)
        if (name.startsWith(ns))
            return name;
    return QStringLiteral("user.") + name;
}

std::optional<QByteArray> readAttribute(const QString& attribute, const QString& path,
                                        FileError* error)
{
    const QByteArray file = encoded(path);
    const QByteArray name = attribute.toUtf8();
    // The value may change between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::getxattr(file.constData(), name.constData(), nullptr, 0);
        if (size < 0)
            break;
        QByteArray value(size, Qt::Uninitialized);
        const ssize_t got =
            ::getxattr(file.constData(), name.constData(), value.data(), size_t(value.size()));
        if (got >= 0) {
            value.truncate(got);
            return value;
        }
        if (errno != ERANGE)
            break;
    }
    report(error, FileError::posix(errno));
    return std::nullopt;
}

// The freedesktop value of a fact, when one of its attributes holds text.
std::optional<QVariant> freedesktopValue(const QString& name, const QString& path)
{
    QStringList texts;
    for (const QString& attribute : freedesktopNames(name)) {
        const auto bytes = readAttribute(attribute, path, nullptr);
        if (bytes && !bytes->isEmpty())
            texts.append(QString::fromUtf8(*bytes));
    }
    if (texts.isEmpty())
        return std::nullopt;
    if (name == keys::kXattrUserTags) {
        QVariantList tags;
        for (const QString& tag : texts.first().split(QLatin1Char(','))) {
            const QString trimmed = tag.trimmed();
            if (!trimmed.isEmpty())
                tags.append(trimmed);
        }
        return QVariant(tags);
    }
    if (texts.size() > 1)
        return QVariant(QVariantList(texts.cbegin(), texts.cend()));
    return QVariant(texts.first());
}

} // namespace

QString Utilities::filesizeToMacHumanString(qint64 size)
{
    if (size >= 1000000000000LL || size < 0)
        return sizeText(size, {1e12, "TB"});
    if (size > 999999999)
        return sizeText(size, {1e9, "GB"});
    if (size > 999999)
        return sizeText(size, {1e6, "MB"});
    if (size > 999)
        return sizeText(size, {1e3, "KB"});
    return bytesText(size);
}

QString Utilities::filesizeToBase2HumanString(qint64 size)
{
    constexpr qint64 kKi = 1024;
    if (size >= kKi * kKi * kKi * kKi || size < 0)
        return sizeText(size, {double(kKi * kKi * kKi * kKi), "TiB"});
    if (size > kKi * kKi * kKi - 1)
        return sizeText(size, {double(kKi * kKi * kKi), "GiB"});
    if (size > kKi * kKi - 1)
        return sizeText(size, {double(kKi * kKi), "MiB"});
    if (size > kKi - 1)
        return sizeText(size, {double(kKi), "KiB"});
    return bytesText(size);
}

std::optional<QString> Utilities::uniqueFilename(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    if (!somethingAt(path))
        return path;
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const auto [stem, extension] = splitExtension(trimmed);
    for (int counter = 1; counter <= kMaxUniqueNameTries; ++counter) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(counter).arg(extension);
        if (!somethingAt(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<QString> Utilities::createUniqueFolder(const QString& path)
{
    if (path.isEmpty()) {
        logLine(QStringLiteral("Could not create a folder: no path given"));
        return std::nullopt;
    }
    const QString parent = QFileInfo(path).absolutePath();
    if (!NativePath::makePath(parent)) {
        logLine(QStringLiteral("Could not create the folder %1").arg(parent));
        return std::nullopt;
    }
    // Another process may take the name between the check and the creation: then the
    // next free name is tried.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const auto candidate = uniqueFilename(path);
        if (!candidate) {
            logLine(QStringLiteral("Could not create the folder %1: no free name").arg(path));
            return std::nullopt;
        }
        if (::mkdir(encoded(*candidate).constData(), 0777) == 0)
            return candidate;
        if (errno != EEXIST) {
            logLine(QStringLiteral("Could not create the folder %1: %2")
                        .arg(*candidate, FileError::posix(errno).description));
            return std::nullopt;
        }
    }
    logLine(QStringLiteral("Could not create the folder %1: no free name").arg(path));
    return std::nullopt;
}

std::optional<QString> Utilities::createTemporaryFolderWithName(const QString& name)
{
    const QString folderName =
        name.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : name;
    if (QDir::isAbsolutePath(folderName) ||
        folderName.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return std::nullopt;
    const QString path = QDir::cleanPath(QDir::tempPath() + QLatin1Char('/') + folderName);
    if (!QDir().mkpath(path))
        return std::nullopt;
    // The temporary folder is shared between users: a name taken by someone else's folder
    // or by a link must not be used.
    struct stat st
    {
    };
    if (::lstat(encoded(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid())
        return std::nullopt;
    return path;
}

QString Utilities::csvEscapeAndQuote(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString Utilities::sha1String(const QString& text)
{
    return FileHash::hashOfBytes(text.toUtf8(), FileHash::Algorithm::SHA1);
}

std::optional<QStringList> Utilities::captureFirstComponentsMatchedByRegex(const QString& pattern,
                                                                           const QString& text)
{
    if (text.isNull())
        return std::nullopt;
    const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption);
    if (!re.isValid())
        return std::nullopt;
    QStringList captures;
    const QRegularExpressionMatch match = re.match(text);
    if (!match.hasMatch())
        return captures;
    for (int i = 0; i <= re.captureCount(); ++i)
        captures.append(match.captured(i)); // a group that did not take part is ""
    return captures;
}

QString Utilities::mediumTimeFormat(const QLocale& locale)
{
    const QString longFormat = locale.timeFormat(QLocale::LongFormat);
    QString format;
    bool quoted = false;
    for (const QChar c : longFormat) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            format.append(c);
    }
    return format.simplified();
}

std::optional<QString> Utilities::fileExtensionFromMimeType(const QString& mimeType)
{
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    if (!type.isValid() || type.preferredSuffix().isEmpty())
        return std::nullopt;
    return type.preferredSuffix();
}

QStringList Utilities::linuxAttributeNames(const QString& name)
{
    QStringList names = freedesktopNames(name);
    names.append(namespacedName(name));
    return names;
}

std::optional<QByteArray> Utilities::extendedAttributeData(const QString& name, const QString& path,
                                                           FileError* error)
{
    if (name.isEmpty() || path.isEmpty()) {
        report(error, FileError::posix(EINVAL));
        return std::nullopt;
    }
    return readAttribute(namespacedName(name), path, error);
}

std::optional<QVariant> Utilities::extendedAttribute(const QString& name, const QString& path,
                                                     FileError* error)
{
    if (name.isEmpty() || path.isEmpty()) {
        report(error, FileError::posix(EINVAL));
        return std::nullopt;
    }
    if (auto value = freedesktopValue(name, path))
        return value;
    const QString attribute = namespacedName(name);
    const auto bytes = readAttribute(attribute, path, error);
    if (!bytes)
        return std::nullopt;
    QString reason;
    auto value = PropertyList::decode(*bytes, &reason);
    if (!value) {
        logLine(QStringLiteral("Failed to unserialize xattr %1: %2").arg(attribute, reason));
        report(error, FileError::perspix(2, reason));
        return std::nullopt;
    }
    return value;
}

QStringList Utilities::tagNamesOnFileAtPath(const QString& path)
{
    const auto value = extendedAttribute(keys::kXattrUserTags, path);
    if (!value)
        return {};
    QStringList names;
    // macOS keeps each tag as "name\ncolour number".
    const QVariantList tags =
        value->typeId() == QMetaType::QString ? QVariantList{*value} : value->toList();
    for (const QVariant& tag : tags)
        addStringIfNotEmpty(names, tag.toString().section(QLatin1Char('\n'), 0, 0));
    return names;
}

bool Utilities::removeExtendedAtrribute(const QString& name, const QString& path, FileError* error)
{
    if (name.isEmpty() || path.isEmpty()) {
        report(error, FileError::posix(EINVAL));
        return false;
    }
    const QByteArray file = encoded(path);
    bool removedAny = false;
    for (const QString& attribute : linuxAttributeNames(name)) {
        if (::removexattr(file.constData(), attribute.toUtf8().constData()) == 0) {
            removedAny = true;
        } else if (errno != ENODATA) {
            report(error, FileError::posix(errno));
            return false;
        }
    }
    // Clearing tags is done once none are left, whether or not there were any.
    if (!removedAny && name != keys::kXattrUserTags) {
        report(error, FileError::posix(ENODATA));
        return false;
    }
    return true;
}

bool Utilities::touchDate(const QString& date, const QString& path, FileError* error)
{
    if (date.isNull() || path.isEmpty()) {
        report(error, FileError::posix(EINVAL));
        return false;
    }
    static const QRegularExpression form(
        QStringLiteral("^UTC (\\d{4}-\\d{2}-\\d{2}) (\\d{2}:\\d{2}:\\d{2})$"));
    const QRegularExpressionMatch match = form.match(date);
    // Date and time are read apart: read as one local time, a UTC time inside a daylight
    // saving gap of the local zone would not exist.
    const QDate day = match.hasMatch()
                          ? QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"))
                          : QDate();
    const QTime time = match.hasMatch()
                           ? QTime::fromString(match.captured(2), QStringLiteral("HH:mm:ss"))
                           : QTime();
    if (!day.isValid() || !time.isValid()) {
        report(error, FileError::perspix(1, QStringLiteral("Failed to convert the date")));
        return false;
    }
    const qint64 seconds = QDateTime(day, time, Qt::UTC).toSecsSinceEpoch();
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(seconds);
    if (::utimensat(AT_FDCWD, encoded(path).constData(), times, 0) != 0) {
        report(error, FileError::posix(errno));
        return false;
    }
    return true;
}

void addStringIfNotEmpty(QStringList& list, const QString& text)
{
    if (!text.isEmpty())
        list.append(text);
}

} // namespace perspix
