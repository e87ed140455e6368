// The --privacy run of perspix-cli (see PrivacyRun.h).
#include "cli/PrivacyRun.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTimer>
#include <unistd.h>

#include "export/CommandLineExport.h"
#include "filelist/FilelistFiller.h"
#include "batch/CoreSetup.h"
#include "model/Log.h"
#include "model/Settings.h"
#include "privacy/PrivacyRemoval.h"

namespace perspix::cli {

namespace {

constexpr int kStallCheckMs = 250;
const QString kPrivacy = QStringLiteral("--privacy");
const QString kFormat = QStringLiteral("--format");
const QString kOutput = QStringLiteral("-o");

struct PrivacyParse
{
    privacy::Output::Format format = privacy::Output::Format::Text;
    QString outputFile;
    QStringList rest;
    QString error;
};

// Takes --privacy, --format and -o out of the arguments; the rest goes to the ordinary
// option parser.
PrivacyParse extractPrivacyOptions(const QStringList& arguments)
{
    PrivacyParse parse;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            parse.rest += arguments.mid(i);
            break;
        }
        if (argument == kPrivacy)
            continue;
        QString value;
        QString option;
        if (argument == kFormat || argument == kOutput) {
            option = argument;
            if (i + 1 >= arguments.size()) {
                parse.error = QStringLiteral("%1 needs a value").arg(argument);
                return parse;
            }
            value = arguments[++i];
        } else if (argument.startsWith(kFormat + QLatin1Char('='))) {
            option = kFormat;
            value = argument.mid(kFormat.size() + 1);
        } else {
            parse.rest.append(argument);
            continue;
        }
        if (option == kOutput) {
            parse.outputFile = value;
            continue;
        }
        const auto format = privacy::Output::formatFromName(value);
        if (!format) {
            parse.error =
                QStringLiteral("--privacy takes --format txt, csv, json or jsonl, not \"%1\"")
                    .arg(value);
            return parse;
        }
        parse.format = *format;
    }
    return parse;
}

} // namespace

bool isPrivacyRun(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == kPrivacy)
            return true;
    }
    return false;
}

QString privacyUsageText()
{
    return QStringLiteral(
        "\n"
        "Privacy report:\n"
        "  --privacy        report what each file gives away (location, device serial,\n"
        "                   people, time, software, thumbnails, origin, free text) and how\n"
        "                   to remove it; the counts per category follow at the end\n"
        "  --format FMT     with --privacy: txt (default), csv, json or jsonl\n"
        "  -o FILE          with --privacy: write the report to FILE\n"
        "  --strip privacy  copies without the report's high-level findings;\n"
        "                   --strip privacy-all also without the low-level ones (make and\n"
        "                   model, capture times, free text)\n");
}

int runPrivacy(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const PrivacyParse parse = extractPrivacyOptions(arguments);
    ParseOutcome parsed;
    if (parse.error.isEmpty())
        parsed = parseCommandLine(parse.rest);
    QString error = parse.error.isEmpty() ? parsed.error : parse.error;
    if (error.isEmpty() && parsed.action == ParseOutcome::Run &&
        (parsed.options.copy.mode != MediaCopyOptions::Mode::None ||
         !parsed.options.saveProject.isEmpty()))
        error = QStringLiteral("--privacy does not go with --strip, --strip-location, "
                               "--extract-attachments or --save-project");
    if (!error.isEmpty() || parsed.action != ParseOutcome::Run) {
        if (parsed.action == ParseOutcome::Help && error.isEmpty()) {
            out << usageText() << privacyUsageText();
            return kExitOk;
        }
        err << "perspix-cli: " << (error.isEmpty() ? parsed.error : error) << "\n\n"
            << usageText() << privacyUsageText();
        return kExitUsage;
    }

    setupCore();
    Settings::registerDefaults();
    // Images are read through ExifTool as well: it decodes the maker's notes that Exiv2
    // does not, and finds IPTC and XMP wherever the file keeps them.
    const QVariantMap options =
        privacy::PrivacyReader::withBothReaders(analysisOptions(parsed.options, Settings()));
    const bool showProgress = !parsed.options.quiet && isatty(STDERR_FILENO);

    if (parse.outputFile.isEmpty()) {
        privacy::Output output(out, parse.format);
        PrivacyRun run(parsed.options, options, output, err, showProgress);
        return run.exec();
    }
    QSaveFile file(parse.outputFile);
    if (!file.open(QIODevice::WriteOnly)) {
        err << "perspix-cli: cannot write " << parse.outputFile << ": " << file.errorString()
            << '\n';
        return kExitFailedFiles;
    }
    QTextStream stream(&file);
    privacy::Output output(stream, parse.format);
    PrivacyRun run(parsed.options, options, output, err, showProgress);
    int status = run.exec();
    stream.flush();
    if (!file.commit()) {
        err << "perspix-cli: cannot write " << parse.outputFile << ": " << file.errorString()
            << '\n';
        status = kExitFailedFiles;
    }
    return status;
}

PrivacyRun::PrivacyRun(const CliOptions& options, const QVariantMap& analysisOptions,
                       privacy::Output& output, QTextStream& err, bool showProgress)
    : m_options(options), m_analysisOptions(analysisOptions), m_output(output), m_err(err),
      m_progress(err, showProgress)
{
}

PrivacyRun::~PrivacyRun()
{
    m_cacher.setDelegate(nullptr);
    m_cacher.cancelThreadsAndWait();
}

int PrivacyRun::exec()
{
    QStringList paths = m_options.paths;
    if (CommandLineExport::isProjectArgument(paths)) {
        QStringList messages;
        std::optional<QStringList> documents;
        {
            LogCapture log; // the project's own log lines explain what was wrong with it
            documents = CommandLineExport::openProject(paths.first(), &messages);
            for (const QString& line : log.lines())
                m_err << "Perspix: " << line << '\n';
        }
        for (const QString& message : messages)
            m_err << "perspix-cli: " << message << '\n';
        m_err.flush();
        if (!documents)
            return kExitFailedFiles;
        paths = *documents;
    }
    m_items = FilelistFiller::fillerWithPaths(paths).filelist();
    for (const FilelistItemPtr& item : m_items)
        ++m_paths[item->filename()].entries;

    m_output.begin();
    if (!m_items.isEmpty()) {
        m_cacher.setMTMode(m_options.threads);
        m_cacher.setDelegate(this);
        const QVariantMap analysisOptions = m_analysisOptions;
        m_cacher.setOptionsProvider([analysisOptions] { return analysisOptions; });
        m_progress.begin(m_items.size());
        m_cacher.processFiles(m_items);
        QTimer stallCheck;
        QObject::connect(&stallCheck, &QTimer::timeout, [this] { checkStalled(); });
        stallCheck.start(kStallCheckMs);
        if (!m_done)
            m_loop.exec();
        stallCheck.stop();
        m_cacher.cancelThreadsAndWait();
        m_progress.end();
    }
    m_output.end();
    m_err.flush();
    return m_failed > 0 ? kExitFailedFiles : kExitOk;
}

void PrivacyRun::dataCacherNewObjectReady(const CacherResult& result)
{
    const auto it = m_paths.find(result.filename);
    if (it == m_paths.end() || it->answered >= it->entries)
        return;
    ++it->answered;
    ++m_answered;
    if (result.data)
        it->data = result.data;
    else if (PerspixDataPtr cached = m_cacher.dataFromCacheForFile(result.filename))
        it->data = cached;
    writeReady();
    finishIfDone();
}

void PrivacyRun::writeReady()
{
    bool wrote = false;
    while (m_next < m_items.size()) {
        const FilelistItemPtr& item = m_items[m_next];
        const QString path = item->filename();
        const auto it = m_paths.find(path);
        if (it == m_paths.end() || it->answered == 0)
            break;
        if (!wrote) {
            m_progress.clear();
            m_progress.flushLog();
            wrote = true;
        }
        if (!it->data) {
            ++m_failed;
            m_err << "perspix-cli: failed to analyse " << path << '\n';
            m_err.flush();
        }
        // A file that could not be analysed is still listed, as not read whole.
        m_output.add(privacy::Report::ofFile(path, it->data.get()), item->prefixedPath());
        ++it->written;
        ++m_next;
        if (it->written >= it->entries && it->answered >= it->entries) {
            m_cacher.removeFileFromCache(path);
            m_paths.erase(it);
        }
    }
    m_progress.update(m_answered, m_failed, wrote);
}

void PrivacyRun::finishIfDone()
{
    if (m_done || m_next < m_items.size())
        return;
    m_done = true;
    m_loop.quit();
}

// Should an answer never come, the run still ends once no worker is left; the files
// without an answer count as failed.
void PrivacyRun::checkStalled()
{
    if (m_done || m_cacher.runningWorkers() > 0)
        return;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    if (m_done || m_cacher.runningWorkers() > 0 || m_cacher.queuedEntries() > 0)
        return;
    for (PathState& state : m_paths) {
        if (state.answered < state.entries) {
            m_answered += state.entries - state.answered;
            state.answered = state.entries;
        }
    }
    writeReady();
    finishIfDone();
}

} // namespace perspix::cli
