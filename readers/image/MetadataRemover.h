// Strips metadata from copies of a list of analysed files: every file is copied into a
// chosen folder under its shown path, and only the copy is changed (image metadata parts
// through the Exiv2 adapter, the location of MPEG-4 and QuickTime films through ExifTool).
// Source files are only ever read. The sheet that chooses the parts and the folder is the
// window's; this class does the work and reports each file.
#pragma once

#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>

#include "model/BackgroundRun.h"
#include "model/FileRecord.h"
#include "privacy/PrivacyRemoval.h"
#include "privacy/PrivacyReport.h"
#include "readers/image/oEXIV2.h"

namespace perspix {

class MetadataRemover;

class MetadataRemoverDelegate
{
public:
    virtual ~MetadataRemoverDelegate() = default;
    // result: kResultFinished when a run ended, kResultCancelled when the window's folder
    // chooser was cancelled.
    virtual void metadataRemoverDidFinish(MetadataRemover* remover, int result) = 0;
};

// What became of one file record.
struct MetadataRemovalOutcome
{
    enum class Kind {
        Stripped,        // an image copy without the chosen parts
        LocationRemoved, // a film copy written without its location
        Copied,          // a copy of a file that has nothing to strip
        Failed,          // no copy (the reason is logged)
    };
    QString source;   // the record's "filename"
    QString copyPath; // the written copy; empty when Failed
    Kind kind = Kind::Failed;
};

class MetadataRemover
{
public:
    static constexpr int kResultFinished = 0;
    static constexpr int kResultCancelled = 1;

    // Make it on the thread that runs the window's event loop (start() reports there).
    MetadataRemover();
    ~MetadataRemover();
    MetadataRemover(const MetadataRemover&) = delete;
    MetadataRemover& operator=(const MetadataRemover&) = delete;

    void setArrayWithData(const FileRecordList& records) { m_data = records; }
    const FileRecordList& arrayWithData() const { return m_data; }
    // Entries "exif", "makernote", "gps", "iptc", "xmp": every part is cleared first, then
    // each entry that is present and true sets its part.
    void setMetadataParts(const QVariantMap& parts);
    void setMetadata(const oEXIV2Metadata& parts) { m_metadata = parts; }
    const oEXIV2Metadata& metadata() const { return m_metadata; }
    // Instead of the parts: copies without the privacy report's findings at this level.
    void setPrivacyStrip(privacy::Strip strip) { m_privacyStrip = strip; }
    privacy::Strip privacyStrip() const { return m_privacyStrip; }
    void setDelegate(MetadataRemoverDelegate* delegate) { m_delegate = delegate; }

    // Called on the run's thread before and after each record.
    std::function<void()> willProcessTheFileBlock;
    std::function<void()> didProcessTheFileBlock;
    // Called on the run's thread with each record's outcome, before didProcessTheFileBlock.
    std::function<void(const MetadataRemovalOutcome&)> fileProcessedBlock;

    // Processes every record into the folder on the calling thread, then tells the delegate
    // kResultFinished. Always true: each file's failure is logged and the run goes on.
    bool doProcessInFolderUrl(const QString& folder);
    // The same on a thread of its own; the delegate hears of the end on this object's
    // thread. False when a run is still going.
    bool startInFolder(const QString& folder);
    // From any thread: the run (started or direct) stops after the file in hand; the
    // delegate is still told. A remover serves one run: startInFolder clears the flag.
    void cancel() { m_run.cancel(); }
    bool isCancelled() const { return m_run.isCancelled(); }
    bool isRunning() const { return m_run.isRunning(); }
    void wait() { m_run.wait(); }

    // One record into the folder (the step that doProcessInFolderUrl repeats).
    MetadataRemovalOutcome processRecord(const FileRecord& record, const QString& folder);

    // Erases the chosen parts from an image file (a copy) through a symbolic link in a
    // private temporary folder, named like the file.
    bool removeImageMetadataFromFile(const QString& path) const;
    // Writes the film without its location at the target, which must not exist yet. The
    // copy keeps the source's container type, so a QuickTime movie stays one.
    static bool removeLocationFromMPEG4VideoFile(const QString& source, const QString& target,
                                                 bool isQuickTime);

private:
    void processAll(const QString& folder);
    // Reads the copy back; a copy that still shows a position is removed (false).
    bool copyShowsNoPosition(const FileRecord& record, const QString& copy);

    FileRecordList m_data;
    oEXIV2Metadata m_metadata;
    privacy::Strip m_privacyStrip = privacy::Strip::None;
    std::unique_ptr<privacy::PrivacyReader> m_privacyReader; // made on the run's thread
    MetadataRemoverDelegate* m_delegate = nullptr;
    BackgroundRun m_run;
};

} // namespace perspix
