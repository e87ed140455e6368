// Digests (MD5, SHA-1, SHA-512) of whole files and of byte buffers as lower-case
// hexadecimal text. The program's only door to OpenSSL. Stateless; safe on any thread.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace perspix {

class FileHash
{
public:
    enum class Algorithm { MD5, SHA1, SHA512 };

    struct Md5AndSha1
    {
        QString md5;
        QString sha1;
    };

    // 32 hexadecimal digits, or nothing when the path is not a readable regular file.
    static std::optional<QString> md5HashOfFileAtPath(const QString& path);
    // 40 hexadecimal digits, or nothing.
    static std::optional<QString> sha1HashOfFileAtPath(const QString& path);
    // Both digests from one pass over the file.
    static std::optional<Md5AndSha1> md5AndSha1OfFileAtPath(const QString& path);

    static std::optional<QString> hashOfFileAtPath(const QString& path, Algorithm algorithm);
    // Every requested digest from one pass over the file, in the order asked for.
    static std::optional<QStringList> hashesOfFileAtPath(const QString& path,
                                                         const QList<Algorithm>& algorithms);

    static QString hashOfBytes(const QByteArray& bytes, Algorithm algorithm);

    // Files are streamed through one buffer of this size; memory does not grow with them.
    // Each read is a system call: at 4 KiB per read the calls alone cost about 0.4 s per
    // GiB on a virtual machine, more than the SHA-1 digest itself.
    static constexpr qsizetype kBufferSize = 64 * 1024;
};

} // namespace perspix
