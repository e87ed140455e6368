// OpenSSL EVP digests over files read through one fixed buffer.
#include "model/FileHash.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "model/NativePath.h"

namespace perspix {

namespace {

const EVP_MD* digestOf(FileHash::Algorithm algorithm)
{
    switch (algorithm) {
    case FileHash::Algorithm::MD5:
        return EVP_md5();
    case FileHash::Algorithm::SHA1:
        return EVP_sha1();
    case FileHash::Algorithm::SHA512:
        return EVP_sha512();
    }
    return nullptr;
}

struct ContextFree
{
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

QString hexText(const unsigned char* bytes, unsigned int length)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(length)).toHex());
}

// Starts one running digest per algorithm; nothing when OpenSSL refuses one.
std::optional<std::vector<Context>> startDigests(const QList<FileHash::Algorithm>& algorithms)
{
    std::vector<Context> contexts;
    for (const FileHash::Algorithm a : algorithms) {
        Context ctx(EVP_MD_CTX_new());
        if (!ctx || EVP_DigestInit_ex(ctx.get(), digestOf(a), nullptr) != 1)
            return std::nullopt;
        contexts.push_back(std::move(ctx));
    }
    return contexts;
}

std::optional<QStringList> finishDigests(std::vector<Context>& contexts)
{
    QStringList texts;
    for (Context& ctx : contexts) {
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(ctx.get(), out, &length) != 1)
            return std::nullopt;
        texts.append(hexText(out, length));
    }
    return texts;
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

std::optional<QStringList> FileHash::hashesOfFileAtPath(const QString& path,
                                                        const QList<Algorithm>& algorithms)
{
    if (path.isEmpty() || algorithms.isEmpty())
        return std::nullopt;
    // Not blocking on open keeps a named pipe from stalling the caller; anything but a
    // regular file (folder, pipe, device) has no contents to digest.
    FileDescriptor fd(::open(NativePath::encoded(path).constData(),
                             O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    auto contexts = startDigests(algorithms);
    if (!contexts)
        return std::nullopt;
    const auto buffer = std::make_unique<unsigned char[]>(kBufferSize);
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.get(), size_t(kBufferSize));
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        for (Context& ctx : *contexts)
            if (EVP_DigestUpdate(ctx.get(), buffer.get(), size_t(n)) != 1)
                return std::nullopt;
    }
    return finishDigests(*contexts);
}

std::optional<QString> FileHash::hashOfFileAtPath(const QString& path, Algorithm algorithm)
{
    const auto texts = hashesOfFileAtPath(path, {algorithm});
    if (!texts)
        return std::nullopt;
    return texts->first();
}

std::optional<QString> FileHash::md5HashOfFileAtPath(const QString& path)
{
    return hashOfFileAtPath(path, Algorithm::MD5);
}

std::optional<QString> FileHash::sha1HashOfFileAtPath(const QString& path)
{
    return hashOfFileAtPath(path, Algorithm::SHA1);
}

std::optional<FileHash::Md5AndSha1> FileHash::md5AndSha1OfFileAtPath(const QString& path)
{
    const auto texts = hashesOfFileAtPath(path, {Algorithm::MD5, Algorithm::SHA1});
    if (!texts)
        return std::nullopt;
    return Md5AndSha1{texts->at(0), texts->at(1)};
}

QString FileHash::hashOfBytes(const QByteArray& bytes, Algorithm algorithm)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), out, &length, digestOf(algorithm),
                   nullptr) != 1)
        return {};
    return hexText(out, length);
}

} // namespace perspix
