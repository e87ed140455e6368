// One perspix-analyser helper process, owned by the thread that uses it: started at the
// first request, reused for the files after it, started anew after it died. Only the file
// in hand fails when the helper dies, takes longer than the time limit or needs more memory
// than its limit; the outcome then says which. ExifTool requests of the helper are answered
// with the caller's own ExifTool process. Not for use by two threads at once.
#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>
#include <atomic>
#include <optional>
#include <sys/types.h>

#include "model/PerspixData.h"

namespace taglink {
class TaglinkStayOpenProcess;
}

namespace perspix {

class AnalyserClient
{
public:
    struct Limits
    {
        double timeoutSeconds = 60;           // per file; 0 or less: none
        qint64 memoryBytes = qint64(4) << 30; // address space of the helper; 0: none
    };

    struct Outcome
    {
        PerspixDataPtr data;
        // Why the helper gave no result, for a fault of the helper (it died, took too long,
        // ran out of memory); empty when it answered, with or without a result.
        QString failure;
        bool cancelled = false; // the stop flag ended the request; the file was not read
    };

    explicit AnalyserClient(Limits limits);
    // Closes the helper's input, so that it ends, and reaps it.
    ~AnalyserClient();
    AnalyserClient(const AnalyserClient&) = delete;
    AnalyserClient& operator=(const AnalyserClient&) = delete;

    // The helper program: libexec/perspix next to the running program's folder when there
    // is one (an installed tree), else the build tree's own copy.
    static QString programPath();

    // `stop`, when given and set (from any thread), ends the request at once.
    Outcome analyse(const QString& path, const QVariantMap& options,
                    taglink::TaglinkStayOpenProcess* exiftool,
                    const std::atomic<bool>* stop = nullptr);
    // PerspixData::makeDeferredCover in the helper; a null image when it gives none or fails.
    QImage makeCover(const QString& path, const QString& what,
                     const std::atomic<bool>* stop = nullptr);

    // The running helper, or 0.
    pid_t processId() const { return m_pid; }

    // The texts of the failures.
    static QString stoppedText(int status); // a wait status of a helper that ended
    static QString timeoutText(double seconds);
    static QString memoryText(qint64 bytes);

private:
    struct Exchange;
    bool ensureStarted(QString* failure);
    bool start(QString* failure);
    // Kills and reaps the helper; returns its wait status.
    int killHelper();
    // Waits for the helper that closed its output to end; its wait status.
    int reapHelper();
    void forget();
    bool run(Exchange& exchange);

    Limits m_limits;
    pid_t m_pid = 0;
    int m_toHelper = -1;
    int m_fromHelper = -1;
};

} // namespace perspix
