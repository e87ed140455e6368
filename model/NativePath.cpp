// Byte-exact path conversion (see NativePath.h).
#include "model/NativePath.h"

#include <QDir>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace perspix {

namespace {

constexpr char16_t kKeptByteBase = 0xDC00;

bool isKeptByte(char16_t unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

// Length of the well-formed UTF-8 sequence at the start of the bytes, or 0.
int sequenceLength(const unsigned char* s, qsizetype available)
{
    const unsigned char c = s[0];
    int count;
    char32_t cp;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        count = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        count = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        count = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (available < count)
        return 0;
    for (int k = 1; k < count; ++k) {
        if ((s[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[k] & 0x3F);
    }
    if ((count == 3 && cp < 0x800) || (count == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return count;
}

// The working folder as the shell names it ($PWD, links kept) when that still is the
// folder this process works in; otherwise the folder's physical path.
QByteArray workingFolder()
{
    const QByteArray logical = qgetenv("PWD");
    struct stat named;
    struct stat here;
    if (logical.startsWith('/') && ::stat(logical.constData(), &named) == 0 &&
        ::stat(".", &here) == 0 && named.st_dev == here.st_dev && named.st_ino == here.st_ino)
        return logical;
    QByteArray physical(4096, '\0');
    while (!::getcwd(physical.data(), size_t(physical.size()))) {
        if (errno != ERANGE)
            return QFile::encodeName(QDir::currentPath());
        physical.resize(physical.size() * 2);
    }
    physical.truncate(qsizetype(qstrlen(physical.constData())));
    return physical;
}

} // namespace

QString NativePath::decoded(const QByteArray& bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString path;
    path.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        // Runs of valid text go through Qt's decoder; each stray byte is kept as it is.
        qsizetype end = i;
        int length;
        while (end < n && (length = sequenceLength(s + end, n - end)) > 0)
            end += length;
        if (end > i)
            path += QString::fromUtf8(bytes.constData() + i, end - i);
        if (end < n)
            path += QChar(char16_t(kKeptByteBase + s[end++]));
        i = end;
    }
    return path;
}

QByteArray NativePath::encoded(const QString& path)
{
    const qsizetype n = path.size();
    const char16_t* units = reinterpret_cast<const char16_t*>(path.utf16());
    QByteArray bytes;
    bytes.reserve(n);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (!isKeptByte(units[i]))
            continue;
        bytes += QStringView(units + runStart, i - runStart).toUtf8();
        bytes += char(units[i] - kKeptByteBase);
        runStart = i + 1;
    }
    bytes += QStringView(units + runStart, n - runStart).toUtf8();
    return bytes;
}

QString NativePath::shown(const QString& path)
{
    QString text = path;
    for (QChar& c : text)
        if (isKeptByte(c.unicode()))
            c = QChar(QChar::ReplacementCharacter);
    return text;
}

bool NativePath::isRegularFile(const QString& path)
{
    struct stat st;
    return ::stat(encoded(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString NativePath::absolute(const QString& path)
{
    if (path.isEmpty())
        return path;
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    return QDir::cleanPath(decoded(workingFolder()) + QLatin1Char('/') + path);
}

bool NativePath::open(QFile& file, const QString& path, QIODevice::OpenMode mode)
{
    // Non-blocking: opening a pipe that slipped in would otherwise wait for a writer.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (mode & QIODevice::WriteOnly) {
        flags |= (mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY;
        flags |= O_CREAT;
        if (mode & QIODevice::NewOnly)
            flags |= O_EXCL;
        else if (!(mode & QIODevice::Append) && !(mode & QIODevice::ExistingOnly))
            flags |= O_TRUNC;
        if (mode & QIODevice::Append)
            flags |= O_APPEND;
    } else {
        flags |= O_RDONLY;
    }
    const int fd = ::open(encoded(path).constData(), flags, 0666);
    if (fd < 0)
        return false;
    const QIODevice::OpenMode kept =
        mode & (QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered);
    if (!file.open(fd, kept, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool NativePath::remove(const QString& path)
{
    return ::unlink(encoded(path).constData()) == 0;
}

bool NativePath::exists(const QString& path)
{
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) == 0;
}

bool NativePath::makePath(const QString& path)
{
    std::error_code error;
    const std::filesystem::path native(encoded(path).toStdString());
    std::filesystem::create_directories(native, error);
    return std::filesystem::is_directory(native, error);
}

bool NativePath::copy(const QString& from, const QString& to, QString* error)
{
    const auto fail = [error](int number) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(number));
        return false;
    };
    const int in = ::open(encoded(from).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in < 0)
        return fail(errno);
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int number = S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(in);
        return fail(number);
    }
    const QByteArray target = encoded(to);
    const int out = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                           st.st_mode & 07777);
    if (out < 0) {
        const int number = errno;
        ::close(in);
        return fail(number);
    }
    int number = 0;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            number = errno;
            break;
        }
        for (ssize_t done = 0; done < n && !number;) {
            const ssize_t w = ::write(out, buffer.data() + done, size_t(n - done));
            if (w < 0 && errno != EINTR)
                number = errno;
            else if (w > 0)
                done += w;
        }
        if (number)
            break;
    }
    ::close(in);
    // The mode asked for at creation is narrowed by the umask; the copy keeps the source's.
    if (!number && ::fchmod(out, st.st_mode & 07777) != 0)
        number = errno;
    if (::close(out) != 0 && !number)
        number = errno;
    if (number) {
        ::unlink(target.constData());
        return fail(number);
    }
    return true;
}

bool NativePath::isText(const QString& path)
{
    for (const QChar c : path)
        if (isKeptByte(c.unicode()))
            return false;
    return true;
}

QUrl NativePath::url(const QString& path)
{
    if (isText(path))
        return QUrl::fromLocalFile(path);
    // QUrl keeps a percent-encoded byte that is not part of UTF-8 text as it is.
    QUrl url;
    url.setScheme(QStringLiteral("file"));
    url.setPath(QString::fromLatin1(encoded(path).toPercentEncoding("/")), QUrl::TolerantMode);
    return url;
}

QString NativePath::ofUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    const QString text = url.toLocalFile();
    if (!text.contains(QChar(QChar::ReplacementCharacter)))
        return text;
    return decoded(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString NativePath::ofShown(const QString& path)
{
    if (!path.contains(QChar(QChar::ReplacementCharacter)) || exists(path))
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return path;
    const QString parent = slash == 0 ? QStringLiteral("/") : ofShown(path.left(slash));
    const QString name = path.mid(slash + 1);
    DIR* dir = ::opendir(encoded(parent).constData());
    if (!dir)
        return path;
    QString found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray bytes(entry->d_name);
        const QString candidate = decoded(bytes);
        if (shown(candidate) == name || QString::fromUtf8(bytes) == name) {
            found = candidate;
            ++matches;
        }
    }
    ::closedir(dir);
    if (matches != 1)
        return path;
    return (parent.endsWith(QLatin1Char('/')) ? parent : parent + QLatin1Char('/')) + found;
}

NativePath::TextAlias::TextAlias(const QString& path)
{
    if (isText(path)) {
        m_path = path;
        return;
    }
    QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/perspix-name-XXXXXX";
    if (!::mkdtemp(folder.data()))
        return;
    m_folder = folder;
    QString name = shown(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    if (name.isEmpty())
        name = QStringLiteral("file");
    const QString target = absolute(path);
    m_link = m_folder + '/' + name.toUtf8();
    if (::symlink(encoded(target).constData(), m_link.constData()) != 0) {
        m_link.clear();
        return;
    }
    m_path = QString::fromUtf8(m_link);
}

NativePath::TextAlias::~TextAlias()
{
    if (!m_link.isEmpty())
        ::unlink(m_link.constData());
    if (!m_folder.isEmpty())
        ::rmdir(m_folder.constData());
}

} // namespace perspix
