// File paths as the core carries them: QString, with every byte of a name that is not
// valid UTF-8 kept as one code unit U+DC80..U+DCFF, so that the path reaches the file system
// again with the very bytes it had. Qt's own conversions would turn such bytes into U+FFFD.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QUrl>
#include <string>

namespace perspix {

class NativePath
{
public:
    // The bytes of a path as the file system gave them, as a path of the core.
    static QString decoded(const QByteArray& bytes);
    static QString decoded(const char* bytes) { return decoded(QByteArray(bytes)); }
    // The bytes to hand to the file system, the same as decoded() was given.
    static QByteArray encoded(const QString& path);
    static std::string encodedString(const QString& path) { return encoded(path).toStdString(); }
    // The path as text to show or export: each kept byte becomes U+FFFD, as file managers
    // show such names.
    static QString shown(const QString& path);
    // True when the path names a regular file, following symbolic links. Other kinds
    // (pipes, sockets, devices) can block or never end when read, so no reader opens them.
    static bool isRegularFile(const QString& path);
    // The path made absolute against the working folder, without resolving symbolic links;
    // "." and ".." components are folded as the window folds them.
    static QString absolute(const QString& path);
    // Opens the file by its bytes (QFile would lose a name that is not UTF-8). Read-only;
    // write-only creates the file, truncating it, or, with NewOnly, only when it is new.
    // The file then has no name of its own: remove it with remove().
    static bool open(QFile& file, const QString& path, QIODevice::OpenMode mode);
    static bool remove(const QString& path);
    // True when anything, a dangling link included, stands at the path.
    static bool exists(const QString& path);
    // Makes the folder and its missing parents; true when the folder is there.
    static bool makePath(const QString& path);
    // Copies a regular file to a new name with its permissions; never overwrites, and
    // leaves nothing under the new name when the copy fails (the reason in `error`).
    static bool copy(const QString& from, const QString& to, QString* error = nullptr);
    // True when the path's bytes are valid UTF-8, so that libraries taking text reach it.
    static bool isText(const QString& path);

    // File URLs that carry every byte of the path percent-encoded (QUrl::fromLocalFile and
    // toLocalFile go through text and would turn a stray byte into U+FFFD). ofUrl() gives an
    // empty path for a URL that is not a local file.
    static QUrl url(const QString& path);
    static QString ofUrl(const QUrl& url);
    // A path as Qt's widgets hand it back, names decoded with U+FFFD for stray bytes: the
    // path on disk it stands for, when one entry of each folder matches; else the path.
    static QString ofShown(const QString& path);

    // For a library that takes a path only as text: a symbolic link to the path under a
    // text name (the shown name, same extension), in a private folder removed with the
    // alias. A path that already is text is used as it is.
    class TextAlias
    {
    public:
        explicit TextAlias(const QString& path);
        ~TextAlias();
        TextAlias(const TextAlias&) = delete;
        TextAlias& operator=(const TextAlias&) = delete;
        // The path to hand to the library (empty when no alias could be made).
        const QString& path() const { return m_path; }

    private:
        QString m_path;
        QByteArray m_folder;
        QByteArray m_link;
    };
};

} // namespace perspix
