// Record keys and section names that are exported, stored or compared by text. Defined
// once here and used by name everywhere else.
#pragma once

#include <QString>

namespace perspix::keys {

// Result record of one analysed file.
inline const QString kGeneral = QStringLiteral("general");
inline const QString kExtended = QStringLiteral("extended");
inline const QString kData = QStringLiteral("data");
inline const QString kExportOptions = QStringLiteral("exportOptions");

// Entry and parameter records.
inline const QString kName = QStringLiteral("name");
inline const QString kValue = QStringLiteral("value");
inline const QString kLabel = QStringLiteral("label");
inline const QString kKey = QStringLiteral("key");
inline const QString kDict = QStringLiteral("dict");
inline const QString kSkipInComparison = QStringLiteral("skipInComparison");
inline const QString kSkipInExtended = QStringLiteral("skipInExtended");
inline const QString kSkipInExport = QStringLiteral("skipInExport");
inline const QString kIsPrivateInfo = QStringLiteral("isPrivateInfo");

// Location record.
inline const QString kLatitude = QStringLiteral("latitude");
inline const QString kLongitude = QStringLiteral("longitude");

// Analysis options.
inline const QString kOptUseSIUnits = QStringLiteral("useSIUnits");
inline const QString kOptUseSlowThumbProcessing = QStringLiteral("useSlowThumbProcessing");
inline const QString kOptDisplayOtherTracksInGeneral =
    QStringLiteral("displayOtherTracksInGeneral");
inline const QString kOptComputeFileHashes = QStringLiteral("computeFileHashes");
inline const QString kOptSkipExtAttributes = QStringLiteral("skipExtAttributes");
inline const QString kOptVideoUtility = QStringLiteral("videoUtility");
// Seconds one ExifTool request may take before ExifTool is stopped and the file fails.
inline const QString kOptExiftoolTimeout = QStringLiteral("exiftoolTimeout");
// For front ends that show no pictures: no image is decoded to make a cover.
inline const QString kOptSkipCoverPictures = QStringLiteral("skipCoverPictures");
// Films without a cover get a frame (with useSlowThumbProcessing): only where a window shows
// it, since decoding a frame costs more than the rest of a film's analysis.
inline const QString kOptMakeFilmFrames = QStringLiteral("makeFilmFrames");
// Covers that only a full decode gives (a picture without a large enough preview, a film's
// frame) are left to be made when the file is shown: a window shows a few of its files.
inline const QString kOptDeferSlowCovers = QStringLiteral("deferSlowCovers");
inline const QString kVideoUtilityExiftool = QStringLiteral("exiftool");
// Images are read through ExifTool as well, for what Exiv2 does not decode (maker notes of
// many makers, IPTC after the image): the tags go to sections named kExiftoolSectionPrefix
// and the group, which the privacy report reads and no export shows.
inline const QString kOptReadImagesWithExiftool = QStringLiteral("readImagesWithExiftool");
inline const QString kExiftoolSectionPrefix = QStringLiteral("ExifTool ");
// With readImagesWithExiftool: "status" is "read", or "failed" when ExifTool gave no answer.
inline const QString kSectionExiftoolReading = QStringLiteral("ExifTool reading");
inline const QString kExiftoolReadingStatus = QStringLiteral("status");

// General record.
inline const QString kFormat = QStringLiteral("format");
inline const QString kFormatProfile = QStringLiteral("formatProfile");
inline const QString kDuration = QStringLiteral("duration");
inline const QString kBitrate = QStringLiteral("bitrate");
inline const QString kImageSize = QStringLiteral("imageSize");
inline const QString kImageSizeMP = QStringLiteral("imageSizeMP");
inline const QString kThumbCount = QStringLiteral("thumbCount");
inline const QString kCoverData = QStringLiteral("coverData");
// A frame of a film without a cover (QImage); shown like a cover, never saved as one.
inline const QString kFrameThumbnail = QStringLiteral("frameThumbnail");
// The cover left to make when the file is shown (deferSlowCovers): "image", or "film:" and
// the frame's largest edge.
inline const QString kCoverToMake = QStringLiteral("coverToMake");
inline const QString kStreams = QStringLiteral("streams");
inline const QString kContent = QStringLiteral("content");
inline const QString kGeneralLatitude = QStringLiteral("Latitude");
inline const QString kGeneralLongitude = QStringLiteral("Longitude");
inline const QString kUnknownFormat = QStringLiteral("Unknown Format");

// File-system facts in the general record.
inline const QString kFilesize = QStringLiteral("filesize");
inline const QString kFilesizeInBytes = QStringLiteral("filesizeinbytes");
inline const QString kLocalizedModificationDate = QStringLiteral("localizedModificationDate");
inline const QString kLocalizedCreationDate = QStringLiteral("localizedCreationDate");
inline const QString kModificationDate = QStringLiteral("modificationDate");
inline const QString kCreationDate = QStringLiteral("creationDate");
inline const QString kFileKind = QStringLiteral("fileKind");
inline const QString kFileUTI = QStringLiteral("fileUTI");
inline const QString kFinderComment = QStringLiteral("finderComment");
inline const QString kFileLabelName = QStringLiteral("fileLabelName");
inline const QString kFileFrom = QStringLiteral("fileFrom");
inline const QString kFileAuthors = QStringLiteral("fileAuthors");
inline const QString kFileFromDate = QStringLiteral("fileFromDate");
inline const QString kFileTagNames = QStringLiteral("fileTagNames");
inline const QString kMd5 = QStringLiteral("md5");
inline const QString kSha1 = QStringLiteral("sha1");

// File-fact entry keys (the "File" section).
inline const QString kFileName = QStringLiteral("FileName");
inline const QString kFileSize = QStringLiteral("FileSize");
inline const QString kFileSizeAndBytes = QStringLiteral("FileSizeAndBytes");
inline const QString kFileSizeInBytesKey = QStringLiteral("FileSizeInBytes");
inline const QString kFileKindKey = QStringLiteral("FileKind");
inline const QString kFileUTIKey = QStringLiteral("FileUTI");
inline const QString kFileLocation = QStringLiteral("FileLocation");
inline const QString kLocalizedCreationDateKey = QStringLiteral("LocalizedCreationDate");
inline const QString kCreationDateKey = QStringLiteral("CreationDate");
inline const QString kLocalizedModificationDateKey = QStringLiteral("LocalizedModificationDate");
inline const QString kModificationDateKey = QStringLiteral("ModificationDate");
inline const QString kFileFinderComment = QStringLiteral("FileFinderComment");
inline const QString kFileLabel = QStringLiteral("FileLabel");
inline const QString kFileTags = QStringLiteral("FileTags");
inline const QString kFileFromKey = QStringLiteral("FileFrom");
inline const QString kFileAuthorsKey = QStringLiteral("FileAuthors");
inline const QString kFileFromDateKey = QStringLiteral("FileFromDate");
inline const QString kMD5Hash = QStringLiteral("MD5Hash");
inline const QString kSHA1Hash = QStringLiteral("SHA1Hash");

// Export record.
inline const QString kFileNameExport = QStringLiteral("_FileName");
inline const QString kOption = QStringLiteral("option");

// Section names.
inline const QString kSectionFile = QStringLiteral("File");
inline const QString kSectionContainer = QStringLiteral("Container");
inline const QString kSectionVideo = QStringLiteral("Video");
inline const QString kSectionAudio = QStringLiteral("Audio");
inline const QString kSectionSubtitles = QStringLiteral("Subtitles");
inline const QString kSectionOther = QStringLiteral("Other");
inline const QString kSectionImage = QStringLiteral("Image");
inline const QString kSectionMenu = QStringLiteral("Menu/Chapters");

// Extended attributes (file facts kept by the file system).
inline const QString kXattrFinderComment =
    QStringLiteral("com.apple.metadata:kMDItemFinderComment");
inline const QString kXattrWhereFroms = QStringLiteral("com.apple.metadata:kMDItemWhereFroms");
inline const QString kXattrDownloadedDate =
    QStringLiteral("com.apple.metadata:kMDItemDownloadedDate");
inline const QString kXattrAuthors = QStringLiteral("com.apple.metadata:kMDItemAuthors");
inline const QString kXattrUserTags = QStringLiteral("com.apple.metadata:_kMDItemUserTags");

} // namespace perspix::keys
