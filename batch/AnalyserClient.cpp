// The program's side of a perspix-analyser helper: start, requests, watching, reaping.
#include "batch/AnalyserClient.h"

#include <QCborArray>
#include <QCborValue>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "batch/AnalyserChannel.h"
#include "batch/ResultCoding.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "taglink/ChildProcess.h"
#include "taglink/TaglinkStayOpenProcess.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PERSPIX_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PERSPIX_SANITIZED 1
#endif
#endif

namespace perspix {

namespace {

using Clock = std::chrono::steady_clock;
// How often a request under way looks at the stop flag.
constexpr auto kPollStep = std::chrono::milliseconds(50);
// How long a helper whose input was closed, or whose output ended, may take to exit.
constexpr auto kExitGrace = std::chrono::seconds(3);
constexpr qint64 kGiB = qint64(1) << 30;
constexpr qint64 kMiB = qint64(1) << 20;

// The option that tells the helper that ExifTool requests can be answered.
const QString kExiftoolRelayOption = QStringLiteral("analyserExiftoolRelay");
// The text path of a file whose name is no text, for a reader that takes text only: the
// helper may not make the alias itself.
const QString kTextPathOption = QStringLiteral("analyserTextPath");

QString lowerFirst(QString text)
{
    if (!text.isEmpty() && !(text.size() > 1 && text.at(1).isUpper()))
        text[0] = text.at(0).toLower();
    return text;
}

bool isExecutable(const QString& path)
{
    return !path.isEmpty() && ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

} // namespace

struct AnalyserClient::Exchange
{
    analyser::Kind kind;
    QByteArray payload;
    taglink::TaglinkStayOpenProcess* exiftool = nullptr;
    const std::atomic<bool>* stop = nullptr;
    // Out.
    std::optional<analyser::Message> answer;
    QString failure;
    bool cancelled = false;
};

AnalyserClient::AnalyserClient(Limits limits) : m_limits(limits) {}

AnalyserClient::~AnalyserClient()
{
    if (!m_pid)
        return;
    ::close(m_toHelper);
    m_toHelper = -1;
    reapHelper();
}

QString AnalyserClient::programPath()
{
    static const QString path = [] {
        const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        if (!self.isEmpty()) {
            const QString installed = QFileInfo(self).absolutePath() + QLatin1Char('/') +
                                      QStringLiteral(PERSPIX_ANALYSER_FROM_BINDIR);
            if (isExecutable(installed))
                return QDir::cleanPath(installed);
        }
        return QStringLiteral(PERSPIX_BUILD_ANALYSER);
    }();
    return path;
}

QString AnalyserClient::stoppedText(int status)
{
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* description = sigdescr_np(sig);
        return QStringLiteral("the reader stopped on this file (signal %1: %2)")
            .arg(sig)
            .arg(lowerFirst(QString::fromLocal8Bit(description ? description : "unknown")));
    }
    return QStringLiteral("the reader stopped on this file (exit status %1)")
        .arg(WIFEXITED(status) ? WEXITSTATUS(status) : status);
}

QString AnalyserClient::timeoutText(double seconds)
{
    return QStringLiteral("analysis stopped after %1 s").arg(QString::number(seconds));
}

QString AnalyserClient::memoryText(qint64 bytes)
{
    if (bytes % kGiB == 0)
        return QStringLiteral("the file needed more than %1 GiB").arg(bytes / kGiB);
    if (bytes % kMiB == 0)
        return QStringLiteral("the file needed more than %1 MiB").arg(bytes / kMiB);
    return QStringLiteral("the file needed more than %1 bytes").arg(bytes);
}

bool AnalyserClient::ensureStarted(QString* failure)
{
    if (m_pid) {
        // A helper that ended while it had no file (killed from outside) is replaced
        // without failing the next one.
        int status = 0;
        pid_t r;
        do
            r = ::waitpid(m_pid, &status, WNOHANG);
        while (r < 0 && errno == EINTR);
        if (r == 0)
            return true;
        logLine(QStringLiteral("perspix-analyser %1 ended between files: %2")
                    .arg(m_pid)
                    .arg(stoppedText(status)));
        forget();
    }
    return start(failure);
}

bool AnalyserClient::start(QString* failure)
{
    const QString program = programPath();
    if (!isExecutable(program)) {
        *failure = QStringLiteral("the analyser %1 cannot be run").arg(program);
        return false;
    }
    taglink::Pipe toHelper;
    taglink::Pipe fromHelper;
    if (!toHelper.open() || !fromHelper.open()) {
        *failure = QStringLiteral("the analyser cannot be started: %1")
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Everything the child needs is made before fork: between fork and exec it makes
    // system calls only.
    const QByteArray programBytes = QFile::encodeName(program);
    char* const argv[] = {const_cast<char*>(programBytes.constData()), nullptr};
    const pid_t parent = ::getpid();
    rlimit limit{};
    bool limitMemory = m_limits.memoryBytes > 0;
#ifdef PERSPIX_SANITIZED
    // The sanitizers reserve terabytes of address space at start.
    limitMemory = false;
#endif
    if (limitMemory)
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(m_limits.memoryBytes);
    // A reader that crashes leaves no core file with the memory of someone's media behind.
    const rlimit noCore{0, 0};
    const int inFd = toHelper.read.get();
    const int outFd = fromHelper.write.get();

    const pid_t pid = ::fork();
    if (pid < 0) {
        *failure = QStringLiteral("the analyser cannot be started: %1")
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction deflt
        {
        };
        deflt.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &deflt, nullptr);
        // The helper ends with the thread that started it, also when the program dies
        // without closing it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        if (::dup2(inFd, STDIN_FILENO) < 0 || ::dup2(outFd, STDOUT_FILENO) < 0)
            ::_exit(127);
        // The helper gets the two ends of its channel and standard error, nothing else of
        // the program's (no database, no window-system connection).
        ::close_range(3, ~0U, 0);
        ::setrlimit(RLIMIT_CORE, &noCore);
        if (limitMemory)
            ::setrlimit(RLIMIT_AS, &limit);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    m_pid = pid;
    m_toHelper = toHelper.write.release();
    m_fromHelper = fromHelper.read.release();
    taglink::setNonBlocking(m_fromHelper);
    return true;
}

void AnalyserClient::forget()
{
    if (m_toHelper >= 0)
        ::close(m_toHelper);
    if (m_fromHelper >= 0)
        ::close(m_fromHelper);
    m_toHelper = m_fromHelper = -1;
    m_pid = 0;
}

int AnalyserClient::killHelper()
{
    int status = 0;
    if (m_pid) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    forget();
    return status;
}

int AnalyserClient::reapHelper()
{
    int status = 0;
    const auto deadline = Clock::now() + kExitGrace;
    for (;;) {
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid || (r < 0 && errno != EINTR)) {
            forget();
            return status;
        }
        if (Clock::now() >= deadline)
            return killHelper();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool AnalyserClient::run(Exchange& exchange)
{
    if (!ensureStarted(&exchange.failure))
        return false;
    bool memoryExhausted = false;
    const auto ended = [&] {
        const int status = reapHelper();
        exchange.failure = memoryExhausted ? memoryText(m_limits.memoryBytes) : stoppedText(status);
        return false;
    };
    if (!analyser::writeMessage(m_toHelper, exchange.kind, exchange.payload))
        return ended();

    const bool limited = m_limits.timeoutSeconds > 0;
    auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(limited ? m_limits.timeoutSeconds : 0));
    QByteArray buffer;
    char chunk[65536];
    for (;;) {
        auto wait = kPollStep;
        if (limited) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                killHelper();
                exchange.failure = timeoutText(m_limits.timeoutSeconds);
                return false;
            }
            wait = std::min(wait, left + std::chrono::milliseconds(1));
        }
        pollfd p{m_fromHelper, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(wait.count()));
        if (exchange.stop && exchange.stop->load()) {
            killHelper();
            exchange.cancelled = true;
            return false;
        }
        if (ready <= 0)
            continue;
        bool atEnd = false;
        for (;;) {
            const ssize_t n = ::read(m_fromHelper, chunk, sizeof chunk);
            if (n > 0) {
                buffer.append(chunk, n);
                continue;
            }
            if (n == 0)
                atEnd = true;
            else if (errno == EINTR)
                continue;
            break;
        }
        bool broken = false;
        while (std::optional<analyser::Message> message = analyser::takeMessage(buffer, &broken)) {
            switch (message->kind) {
            case analyser::Kind::Log:
                logLine(QString::fromUtf8(message->payload));
                break;
            case analyser::Kind::OutOfMemory:
                memoryExhausted = true;
                break;
            case analyser::Kind::ExiftoolRequest: {
                // The time ExifTool takes counts against ExifTool's own limit only.
                const auto asked = Clock::now();
                QByteArray path;
                QByteArray options;
                std::optional<std::string> answer;
                taglink::TaglinkStayOpenProcess::Failure failure =
                    taglink::TaglinkStayOpenProcess::Failure::Died;
                if (exchange.exiftool && analyser::decodePair(message->payload, &path, &options)) {
                    answer =
                        exchange.exiftool->answerRelayed(path.toStdString(), options.toStdString());
                    failure = exchange.exiftool->lastFailure();
                }
                const QByteArray reply =
                    QCborArray{answer.has_value(),
                               answer ? QByteArray::fromStdString(*answer) : QByteArray(),
                               static_cast<int>(failure)}
                        .toCborValue()
                        .toCbor();
                if (!analyser::writeMessage(m_toHelper, analyser::Kind::ExiftoolAnswer, reply))
                    return ended();
                deadline += Clock::now() - asked;
                break;
            }
            case analyser::Kind::Result:
            case analyser::Kind::NoResult:
            case analyser::Kind::Cover:
                exchange.answer = std::move(message);
                return true;
            default:
                broken = true;
                break;
            }
            if (broken)
                break;
        }
        if (broken) {
            killHelper();
            exchange.failure = QStringLiteral("the reader stopped on this file (its answer "
                                              "could not be read)");
            return false;
        }
        if (atEnd)
            return ended();
    }
}

AnalyserClient::Outcome AnalyserClient::analyse(const QString& path, const QVariantMap& options,
                                                taglink::TaglinkStayOpenProcess* exiftool,
                                                const std::atomic<bool>* stop)
{
    QVariantMap sent = options;
    if (exiftool)
        sent.insert(kExiftoolRelayOption, true);
    std::optional<NativePath::TextAlias> alias;
    if (!NativePath::isText(path)) {
        alias.emplace(path);
        sent.insert(kTextPathOption, alias->path());
    }
    Exchange exchange{analyser::Kind::Analyse,
                      analyser::encodeAnalyse(path, sent),
                      exiftool,
                      stop,
                      std::nullopt,
                      QString(),
                      false};
    Outcome outcome;
    if (!run(exchange)) {
        outcome.failure = exchange.failure;
        outcome.cancelled = exchange.cancelled;
        return outcome;
    }
    if (exchange.answer->kind != analyser::Kind::Result)
        return outcome;
    QByteArray value;
    QByteArray cover;
    if (analyser::decodePair(exchange.answer->payload, &value, &cover)) {
        outcome.data = ResultCoding::decode(
            value, cover.isEmpty() ? std::nullopt : ResultCoding::decodeCover(cover));
    }
    if (outcome.data)
        outcome.data->filename = path;
    else
        outcome.failure = QStringLiteral("the reader's answer could not be read");
    return outcome;
}

QImage AnalyserClient::makeCover(const QString& path, const QString& what,
                                 const std::atomic<bool>* stop)
{
    Exchange exchange{analyser::Kind::MakeCover,
                      analyser::encodePair(analyser::encodePath(path), what.toUtf8()),
                      nullptr,
                      stop,
                      std::nullopt,
                      QString(),
                      false};
    if (!run(exchange)) {
        if (!exchange.cancelled)
            logLine(QStringLiteral("The cover of %1 was not made: %2").arg(path, exchange.failure));
        return {};
    }
    if (exchange.answer->kind != analyser::Kind::Cover || exchange.answer->payload.isEmpty())
        return {};
    const std::optional<QVariant> image =
        ResultCoding::decodeVariant(QCborValue::fromCbor(exchange.answer->payload));
    return image ? image->value<QImage>() : QImage();
}

} // namespace perspix
