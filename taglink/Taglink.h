// Taglink: ExifTool's metadata of one file, reduced to an ordered key list and a map of
// small entries, plus one-shot ExifTool calls (text report, version, JSON with embedded
// data) and the export of files embedded in Matroska files. The only header the program
// includes from the library; no Qt here, text is UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "taglink/TaglinkLog.h"
#include "taglink/TaglinkStayOpenProcess.h"

namespace taglink {

// One tag as the analysis shows it.
struct TagEntry
{
    std::string value; // lists joined with ", ", numbers as written
    std::string label; // ExifTool's description of the tag
    std::string ifd;   // the section: the family-1 group, "Container" for "File"
    bool operator==(const TagEntry&) const = default;
};

struct TaglinkData
{
    // Tag keys in ExifTool's order; a key produced by several tags is listed once per tag.
    std::vector<std::string> exifKeys;
    // One entry per distinct key: the last tag listed under it.
    std::unordered_map<std::string, TagEntry> exifData;
    // The file type ExifTool names (the "File:File:Other::FileType" tag).
    std::optional<std::string> fileType;
    // Duration in seconds: the number of the last Duration tag that carries one.
    std::optional<double> durationSeconds;
};

class Taglink
{
public:
    // The key under which every tag named Duration is stored, whatever its groups.
    static constexpr const char* kDurationKey = "Duration";

    // The file's metadata through a running process; nothing (and a log line) without
    // a process or without a usable answer.
    static std::unique_ptr<Taglink> initWithFilename(const std::string& path,
                                                     TaglinkStayOpenProcess* exiftool);
    // Builds the metadata from tag records as imageInfo() returns them.
    static TaglinkData dataFromTagRecords(const std::vector<JsonObject>& records);

    const TaglinkData& data() const { return m_data; }

    // ExifTool's plain-text report of a file ("-G -H -a").
    static std::optional<std::string> exiftoolOutputForFile(const std::string& path);
    static std::optional<std::string> exiftoolVersion();
    // ExifTool's JSON answer with embedded data ("-b -a -j -G:0:1:2:4"), as bytes.
    static std::optional<std::string> exiftoolBinaryOutputForFile(const std::string& path);
    // Writes the files embedded in a Matroska file into the folder, each under its own
    // name reduced to one safe file name. True when ExifTool's answer was a non-empty
    // list; `files` (when given) receives the paths written.
    static bool saveEmbeddedFilesFromFile(const std::string& path, const std::string& folder,
                                          std::vector<std::string>* files,
                                          TaglinkStayOpenProcess* exiftool);

    // The outcome of copyFileWithoutLocation.
    struct LocationRemoval
    {
        enum class Status {
            Written,    // the copy stands at the target
            NotStarted, // ExifTool could not be started
            Failed,     // ExifTool reported an error or wrote no file; nothing at the target
        };
        Status status = Status::Failed;
        std::string error; // ExifTool's error text, or the reason the copy was not made
    };
    // Writes a copy of an MPEG-4 or QuickTime film at the target without the items that
    // say where it was made (keyed location items, user-data and item-list coordinates,
    // XMP GPS tags). Only metadata boxes are rewritten: the media data is copied as it
    // stands. The target must not exist; it is never overwritten, and no partial file is
    // ever left under its name.
    static LocationRemoval copyFileWithoutLocation(const std::string& source,
                                                   const std::string& target);
    // The same with the given ExifTool deletions ("-Keys:Make=", ...) instead of the
    // location's. The keyed item "location" is known to ExifTool as TaglinkPlainLocation.
    static LocationRemoval copyFileWithDeletions(const std::string& source,
                                                 const std::string& target,
                                                 const std::vector<std::string>& deletions);

    // A name taken from a file, made into one file name that stays inside its folder.
    static std::string safeFileName(const std::string& name);
    // The text of a tag value: lists joined with ", ", numbers as written.
    static std::string valueText(const JsonValue& value);

private:
    TaglinkData m_data;
};

} // namespace taglink
