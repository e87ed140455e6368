// Saves what is embedded in each listed media file (image previews, cover pictures,
// Matroska attachments) into a folder of its own below a chosen folder, and removes that
// folder again when nothing was written. Shows nothing: the window chooses the folder and
// shows the progress.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "model/BackgroundRun.h"
#include "model/FileRecord.h"

namespace taglink {
class TaglinkStayOpenProcess;
}

namespace perspix {

// What one record gave.
struct AttachmentsOutcome
{
    QString source;      // the record's "filename"
    QString folder;      // the folder made for it; empty when it was removed or not made
    QStringList written; // the files written into it
    bool failed = false; // the folder could not be made (logged)
};

class AttachmentsExtractor
{
public:
    // Make it on the thread that runs the window's event loop (start() reports there).
    AttachmentsExtractor();
    ~AttachmentsExtractor();
    AttachmentsExtractor(const AttachmentsExtractor&) = delete;
    AttachmentsExtractor& operator=(const AttachmentsExtractor&) = delete;

    void setArrayWithData(const FileRecordList& records) { m_data = records; }

    // Called on the run's thread before and after each record, also for records that give
    // nothing.
    std::function<void()> willProcessTheFileBlock;
    std::function<void()> didProcessTheFileBlock;
    // Called on the run's thread with each record's outcome, before didProcessTheFileBlock.
    std::function<void(const AttachmentsOutcome&)> fileProcessedBlock;

    // One run over the records into the folder on the calling thread, with one ExifTool
    // process for the whole run. Always true: failures are logged per record.
    bool doProcessInFolderUrl(const QString& folder);
    // The same on a thread of its own; `finished` follows on this object's thread. False
    // when a run is still going.
    bool startInFolder(const QString& folder, std::function<void()> finished);
    // From any thread: the run (started or direct) stops after the file in hand and still
    // closes its ExifTool. An extractor serves one run: startInFolder clears the flag.
    void cancel() { m_run.cancel(); }
    bool isCancelled() const { return m_run.isCancelled(); }
    bool isRunning() const { return m_run.isRunning(); }
    void wait() { m_run.wait(); }

    // The steps of a run, for callers that hand over the records one at a time: begin
    // starts the ExifTool process, end closes it. Every call on the same thread.
    void beginRun();
    AttachmentsOutcome processRecord(const FileRecord& record, const QString& folder);
    void endRun();

private:
    void processAll(const QString& folder);

    FileRecordList m_data;
    std::unique_ptr<taglink::TaglinkStayOpenProcess> m_exiftool;
    BackgroundRun m_run;
};

} // namespace perspix
