// Throughput of Taglink's JSON reader on a large ExifTool answer (the corpus's
// "-j -l -G:0:1:2:4 -D -a" answer repeated to 10 MB): document building, tokens alone,
// and Qt's JSON reader on the same bytes as the peer.
// Usage: JsonReaderBench [corpus folder]   (default: the repository's tests/data)
#include <QCoreApplication>
#include <QDirIterator>
#include <QJsonDocument>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "batch/CoreSetup.h"
#include "taglink/AuxiliaryPrograms.h"
#include "taglink/JSON/Json5ParserHandler.h"
#include "taglink/JSON/JsonStreamParser.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kTargetBytes = 10 * 1000 * 1000;
constexpr int kRounds = 7;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Timing
{
    double wall;
    double cpu; // this thread's processor time: what the machine's other load does not change
};

template <typename F> Timing bestOf(F run)
{
    Timing best{1e9, 1e9};
    for (int i = 0; i < kRounds; ++i) {
        const auto start = Clock::now();
        const double cpuStart = threadCpuSeconds();
        run();
        best.cpu = std::min(best.cpu, threadCpuSeconds() - cpuStart);
        best.wall = std::min(best.wall, seconds(Clock::now() - start));
    }
    return best;
}

// Counts tokens without building anything.
class TokenCounter : public taglink::JsonStreamParserDelegate
{
public:
    std::size_t count = 0;
    void parserFoundObjectStart() override { ++count; }
    void parserFoundObjectKey(std::string_view) override { ++count; }
    void parserFoundObjectEnd() override { ++count; }
    void parserFoundArrayStart() override { ++count; }
    void parserFoundArrayEnd() override { ++count; }
    void parserFoundBoolean(bool) override { ++count; }
    void parserFoundNull() override { ++count; }
    void parserFoundNumber(taglink::JsonNumber) override { ++count; }
    void parserFoundString(std::string_view) override { ++count; }
    void parserFoundError(const taglink::JsonError& e) override
    {
        std::fprintf(stderr, "error: %s\n", e.message.c_str());
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    perspix::setupCore();
    const QString corpus =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QCoreApplication::applicationDirPath() + QStringLiteral("/../../../tests/data");
    QStringList files;
    QDirIterator it(corpus, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.removeIf([](const QString& f) { return f.endsWith(QLatin1String(".md")); });
    if (files.isEmpty()) {
        std::fprintf(stderr, "no files under %s\n", qPrintable(corpus));
        return 1;
    }
    QProcess exiftool;
    exiftool.start(QString::fromStdString(taglink::auxiliaryProgram("exiftool/exiftool")),
                   QStringList{QStringLiteral("-j"), QStringLiteral("-l"),
                               QStringLiteral("-G:0:1:2:4"), QStringLiteral("-D"),
                               QStringLiteral("-a")} +
                       files);
    exiftool.waitForFinished(-1);
    const QByteArray answer = exiftool.readAllStandardOutput().trimmed();
    if (!answer.startsWith('[') || !answer.endsWith(']')) {
        std::fprintf(stderr, "unexpected ExifTool answer\n");
        return 1;
    }
    // The records of the answer, repeated into one list of at least 10 MB.
    const QByteArray records = answer.mid(1, answer.size() - 2).trimmed();
    std::string big = "[";
    while (big.size() < kTargetBytes) {
        if (big.size() > 1)
            big += ",\n";
        big.append(records.constData(), static_cast<std::size_t>(records.size()));
    }
    big += "]\n";
    const double mb = static_cast<double>(big.size()) / 1e6;

    std::size_t keys = 0;
    const Timing build = bestOf([&] {
        taglink::Json5ParserHandler handler;
        taglink::JsonStreamParser parser(&handler);
        if (parser.parse(big) != taglink::JsonParserStatus::Complete)
            std::fprintf(stderr, "parse failed\n");
        keys = handler.keysOrder().size();
    });
    std::size_t tokens = 0;
    const Timing tokenise = bestOf([&] {
        TokenCounter counter;
        taglink::JsonStreamParser parser(&counter);
        parser.parse(big);
        tokens = counter.count;
    });
    const QByteArray bigBytes(big.data(), static_cast<qsizetype>(big.size()));
    const Timing qt = bestOf([&] {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(bigBytes, &error);
        if (error.error != QJsonParseError::NoError)
            std::fprintf(stderr, "Qt: %s\n", qPrintable(error.errorString()));
    });

    std::printf("JSON reader, ExifTool answer of %.1f MB (%lld corpus files, %zu tag keys, "
                "%zu tokens), best of %d; MB/s by processor time (by wall time)\n",
                mb, static_cast<long long>(files.size()), keys, tokens, kRounds);
    std::printf("  Json5ParserHandler (document + key order): %7.1f MB/s (%7.1f)  target >= 200\n",
                mb / build.cpu, mb / build.wall);
    std::printf("  JsonStreamParser events only:              %7.1f MB/s (%7.1f)\n",
                mb / tokenise.cpu, mb / tokenise.wall);
    std::printf("  peer QJsonDocument::fromJson:              %7.1f MB/s (%7.1f)\n", mb / qt.cpu,
                mb / qt.wall);
    std::printf("  ratio document building / Qt:              %7.2f\n", qt.cpu / build.cpu);
    return 0;
}
