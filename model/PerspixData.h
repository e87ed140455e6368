// One analysed file: runs the metadata readers over it once and then holds the result
// (general facts, extended tree, per-stream parameters, export keys, map location).
// Not for presenting anything: views and exporters read it.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "model/ExtTreeItem.h"
#include "model/FileFactEntry.h"
#include "model/ParameterRecord.h"

class QImage;

namespace taglink {
class TaglinkStayOpenProcess;
class Taglink;
} // namespace taglink

namespace perspix {

class oEXIV2;
class oMediaInfo;

// The general record: display facts under their general keys ("format", "filesize", ...,
// "coverData" as bytes or a QImage) and the general view's stream lines.
struct GeneralRecord
{
    QVariantMap values;
    ExtTreeList streams; // "streams"/"content"

    QString string(const QString& key) const { return values.value(key).toString(); }
    bool contains(const QString& key) const { return values.contains(key); }
    void insert(const QString& key, const QVariant& value) { values.insert(key, value); }
};

// What a reader branch builds besides the general record.
struct PreparedData
{
    ExtTreeList extended;
    SectionData data;
    ExportOptions exportOptions;
};

// The result record: "general", "extended", "data" and "exportOptions".
struct ResultRecord
{
    GeneralRecord general;
    ExtTreeList extended;
    SectionData data;
    ExportOptions exportOptions;
};

struct MapLocation
{
    double latitude = 0;
    double longitude = 0;
    bool operator==(const MapLocation&) const = default;
};

// One entry of the export record: a parameter's key, label and value.
struct ExportEntry
{
    QString option;
    QString name;
    QVariant value;
    bool operator==(const ExportEntry&) const = default;
};
// Section name to the list, per stream, of export entries; the file's path apart.
struct ExportRecord
{
    QMap<QString, QList<QList<ExportEntry>>> sections;
    QString fileName; // "_FileName"
    // The order in which outputs write the sections: "File" first, then as the extended
    // tree shows them, then any others by name. Sections missing here follow by name.
    QStringList sectionOrder;

    QStringList orderedSectionNames() const;
};

class PerspixData;
using PerspixDataPtr = std::shared_ptr<PerspixData>;

class PerspixData
{
public:
    static PerspixDataPtr dataAboutFile(const QString& path, const QVariantMap& options);
    // The cover that an analysis with deferSlowCovers left to make (the general record's
    // coverToMake); a null image when the file gives none. Safe on any thread.
    static QImage makeDeferredCover(const QString& path, const QString& what);
    static PerspixDataPtr dataAboutFile(const QString& path, const QVariantMap& options,
                                        taglink::TaglinkStayOpenProcess* exiftool);

    explicit PerspixData(const QString& path); // initWithFile
    // A file whose result record was built elsewhere (a stored or composed result).
    PerspixData(const QString& path, ResultRecord result);
    void setInitOptions(const QVariantMap* options);
    bool doProcessWithImages();

    // Fields.
    QString filename;
    qint64 duration = 0;
    bool useSIUnits = true;
    bool useSlowThumbProcessing = false;
    bool makeFilmFrames = false;
    bool deferSlowCovers = false;
    bool otherTracksInGeneral = false;
    bool computeFileHashes = false;
    bool skipExtAttributes = false;
    bool useExiftoolForVideo = false;
    bool useExiftoolForImages = false; // ExifTool's tags of an image beside Exiv2's
    bool skipCoverPictures = false;                      // no image is decoded to make a cover
    taglink::TaglinkStayOpenProcess* exiftool = nullptr; // not owned

    bool isImage() const { return m_isImage; }
    bool isVideo() const { return m_isVideo; }
    bool isAudio() const { return m_isAudio; }
    bool isUnknown() const { return m_isUnknown; }
    const std::optional<MapLocation>& mapLocation() const { return m_mapLocation; }
    const std::optional<ResultRecord>& dict() const { return m_dict; }

    // Accessors: nothing when there is no result record.
    const GeneralRecord* generalInfo() const;
    const ExtTreeList* extendedContent() const;
    const SectionData* data() const;
    std::optional<QString> format() const;
    std::optional<QString> formatProfile() const;

    // Export text, summary, export record and content search.
    std::optional<ExportRecord> computeExportInfoWithoutFilePrivate(bool skipPrivate) const;
    std::optional<QString> stringForExportText() const;
    std::optional<QString> stringForExportTextWithoutFilePrivate() const;
    std::optional<QString> stringForExportGeneral() const;
    ExtTreeList extendedContentHaving(const QString& text) const;
    bool isContentHas(const QString& text) const;

    // Previews and covers.
    bool hasPreviews() const;
    bool hasCover() const;

    std::optional<MapLocation> findMapLocation() const;
    // Latitude and longitude of a signed ISO 6709 text ("+48.8577+002.2950+035.000/");
    // the altitude is ignored.
    static std::optional<MapLocation> locationFromIso6709(const QString& value);

    // File-system facts: adds them to a general record, and lists them back as entries.
    void getFileInfo(GeneralRecord& general) const;
    QList<FileFactEntry> prepareFileStream(const GeneralRecord& general) const;
    // Turns the file-fact entries into the "File" section of prepared data.
    static void addFileSection(const QList<FileFactEntry>& entries, PreparedData& prepared);

    // Reader branches: each opens the file with its reader and builds the general record
    // and prepared data. False when the reader cannot open the file (the image branch also
    // answers false for a file that is not an image).
    bool runImageBranch(std::optional<GeneralRecord>& general,
                        std::optional<PreparedData>& prepared);
    bool runExiftoolBranch(std::optional<GeneralRecord>& general,
                           std::optional<PreparedData>& prepared);
    bool runMediainfoBranch(std::optional<GeneralRecord>& general,
                            std::optional<PreparedData>& prepared);
    // For what is no regular file (a pipe, socket or device): the file-system facts alone,
    // without opening it. False when nothing is at the path.
    bool runFileFactsBranch(std::optional<GeneralRecord>& general,
                            std::optional<PreparedData>& prepared);

    // ExifTool branch: the general record (sets `duration`) and the sections of a file's
    // Taglink data, "File" first.
    GeneralRecord prepareExiftoolGeneral(const taglink::Taglink& taglink);
    PreparedData prepareExiftoolData(const taglink::Taglink& taglink,
                                     const GeneralRecord& general) const;
    // An image's ExifTool tags as sections of their own (kExiftoolSectionPrefix + group),
    // for the data only: neither the tree nor the export lists them.
    void addExiftoolImageSections(PreparedData& prepared) const;

    // A film without a cover of its own, when the options ask for frames: its frame under
    // "frameThumbnail", at most the picture's largest edge (0 when unknown) and 256 pixels.
    void addFilmFrame(GeneralRecord& general, qint64 pictureEdge) const;

    // Kind flags, set by the reader branches.
    void setIsImage(bool v) { m_isImage = v; }
    void markVideo() { m_isVideo = true; }
    void markAudio() { m_isAudio = true; }
    // A result read back from the result store: its kinds and location as analysed.
    void restoreState(bool isImage, bool isVideo, bool isAudio, bool isUnknown,
                      const std::optional<MapLocation>& location)
    {
        m_isImage = isImage;
        m_isVideo = isVideo;
        m_isAudio = isAudio;
        m_isUnknown = isUnknown;
        m_mapLocation = location;
    }

private:
    static void convertFromDataArray(const ExtTreeList& items, QStringList& lines,
                                     bool skipFilePrivate);
    static ExtTreeList extTree(const ExtTreeList& items, const QString& text);
    static bool isContentArray(const ExtTreeList& items, const QString& text);

    // The MediaInfo branch: the general record with its stream lines, then the prepared
    // data, both from an opened adapter.
    GeneralRecord prepareMediainfoGeneral(oMediaInfo& mi);
    void dataFillGeneralStreamsFrom(oMediaInfo& mi, GeneralRecord& general);
    PreparedData prepareMediainfoData(oMediaInfo& mi, const GeneralRecord& general) const;
    static void addStreamItemsToData(ParameterMap& parameters, QStringList& exportKeys,
                                     ExtTreeList& children, const QString& key,
                                     const QString& label, const QString& value);

    // Image branch: the general record, its summary lines, the prepared data and one
    // section's split into tree items, parameters and export keys.
    GeneralRecord prepareExiv2General(const oEXIV2& adapter) const;
    void dataFillImageGeneralStreams(const oEXIV2& adapter, GeneralRecord& general) const;
    std::optional<PreparedData> prepareExiv2Data(const oEXIV2& adapter,
                                                 const GeneralRecord& general) const;
    static void splitIfdItems(const QList<FileFactEntry>& entries, const QString& ifd,
                              ExtTreeList& treeItems, ParameterMap& dataItems,
                              QStringList& exportItems);

    bool m_isImage = false;
    bool m_isVideo = false;
    bool m_isAudio = false;
    bool m_isUnknown = false;
    std::optional<MapLocation> m_mapLocation;
    std::optional<ResultRecord> m_dict;
};

} // namespace perspix
