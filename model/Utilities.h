// Stateless helpers shared across the program: size texts, unique names, temporary
// folders, CSV quoting, digests of text, regular-expression captures, MIME extensions and
// the file facts kept in extended attributes. Image helpers live with the image readers.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class QLocale;

namespace perspix {

// Error domains of FileError.
inline const QString kPosixErrorDomain = QStringLiteral("POSIX"); // code: errno
inline const QString kPerspixErrorDomain = QStringLiteral("PERSPIX_ERROR");

// Why a file operation failed.
struct FileError
{
    QString domain;
    int code = 0;
    QString description;

    static FileError posix(int errorNumber);
    static FileError perspix(int code, const QString& description);
};

class Utilities
{
public:
    // "1.50 MB", "999 bytes": decimal units (KB = 1000 bytes), "." as decimal point.
    static QString filesizeToMacHumanString(qint64 size);
    // "1.00 KiB": binary units (KiB = 1024 bytes).
    static QString filesizeToBase2HumanString(qint64 size);

    // The path itself when nothing is there, otherwise "name (1).ext", "name (2).ext", ...:
    // the first that is free. Nothing for an empty path or when every numbered name is
    // taken. A dangling symbolic link counts as taken.
    static std::optional<QString> uniqueFilename(const QString& path);
    static constexpr int kMaxUniqueNameTries = 9998;
    // Creates a new folder at a unique name for the path (and any missing parents) and
    // returns it; logs the reason and gives nothing on failure.
    static std::optional<QString> createUniqueFolder(const QString& path);
    // The folder of that name (any missing parents made) in the temporary folder, or of a
    // new unique name when the name is empty; an existing folder of ours is reused.
    // Nothing when it cannot be made, for a name that would leave the temporary folder,
    // or when the name is taken by anything but a folder owned by this user.
    static std::optional<QString> createTemporaryFolderWithName(const QString& name = {});

    // The text with every double quote doubled, inside double quotes.
    static QString csvEscapeAndQuote(const QString& text);
    // SHA-1 of the text's UTF-8 bytes as 40 lower-case hexadecimal digits.
    static QString sha1String(const QString& text);

    // Captures of the first case-insensitive match: whole match first, "" for a group that
    // did not take part. Nothing for an invalid pattern; an empty list for no match.
    static std::optional<QStringList> captureFirstComponentsMatchedByRegex(const QString& pattern,
                                                                           const QString& text);

    // Qt has long and short time formats only: the long one without its time-zone name is
    // the medium style (hours, minutes, seconds). Localised dates of files use it.
    static QString mediumTimeFormat(const QLocale& locale);

    // The preferred file-name extension of a MIME type ("image/jpeg" -> "jpg"), or nothing.
    static std::optional<QString> fileExtensionFromMimeType(const QString& mimeType);

    // File facts kept in extended attributes. Facts are named by their macOS attribute
    // names (the keys::kXattr... constants); on Linux each is kept under the freedesktop
    // names first and under the macOS name in the "user." namespace second:
    //   kMDItemFinderComment   user.xdg.comment
    //   kMDItemWhereFroms      user.xdg.origin.url, user.xdg.referrer.url
    //   kMDItemDownloadedDate  (none)
    //   kMDItemAuthors         user.dublincore.creator
    //   _kMDItemUserTags       user.xdg.tags (comma-separated)
    // Any other name is read as it stands when it carries a namespace ("user.", ...),
    // otherwise in the "user." namespace.

    // Every Linux attribute that keeps the fact, in the order they are read.
    static QStringList linuxAttributeNames(const QString& name);
    // The raw bytes of one attribute (name resolved as above, but never to the freedesktop
    // names), following symbolic links. Nothing when the attribute cannot be read.
    static std::optional<QByteArray> extendedAttributeData(const QString& name, const QString& path,
                                                           FileError* error = nullptr);
    // The fact's value: freedesktop text as a string (origin and referrer as a list of
    // both when both exist, tags as a list), else the macOS attribute decoded as a
    // property list. Logs "Failed to unserialize xattr <attribute>: <reason>" and gives
    // nothing when that does not decode.
    static std::optional<QVariant> extendedAttribute(const QString& name, const QString& path,
                                                     FileError* error = nullptr);
    // The names of the file's tags, without the colour number macOS appends to each.
    static QStringList tagNamesOnFileAtPath(const QString& path);
    // Removes every attribute that keeps the fact (following symbolic links). Removing
    // tags succeeds when none are left; any other fact fails with ENODATA when none of its
    // attributes existed.
    static bool removeExtendedAtrribute(const QString& name, const QString& path,
                                        FileError* error = nullptr);

    // Sets the file's modification date (following symbolic links) from a text of the form
    // "UTC 2012-03-04 05:06:07". A text of any other form fails with PERSPIX_ERROR 1,
    // "Failed to convert the date".
    static bool touchDate(const QString& date, const QString& path, FileError* error = nullptr);
};

// Appends the text unless it is empty.
void addStringIfNotEmpty(QStringList& list, const QString& text);

} // namespace perspix
