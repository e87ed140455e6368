// The privacy rules table and its lookup (see PrivacyRules.h).
#include "privacy/PrivacyRules.h"

#include <QHash>
#include <map>

namespace perspix::privacy {

namespace {

using C = Category;
using R = Reader;
using L = Level;
using X = Removal;

// ExifTool deletions for films, by what they take out. Deleting a tag without a group takes
// it out of every group that has it (keys, user data, item list).
constexpr const char* kFilmLocation =
    "-Keys:GPSCoordinates= -Keys:LocationName= -Keys:LocationBody= -Keys:LocationNote= "
    "-Keys:LocationRole= -Keys:LocationDate= -Keys:LocationAccuracyHorizontal= "
    "-Keys:TaglinkPlainLocation= -UserData:GPSCoordinates= -UserData:LocationInformation= "
    "-ItemList:GPSCoordinates= -XMP:GPS*= -XMP:Location*= -XMP:City= -XMP:State= -XMP:Country=";
constexpr const char* kFilmSerial = "-SerialNumber= -BodySerialNumber= -LensSerialNumber=";
constexpr const char* kFilmMake = "-Make=";
constexpr const char* kFilmModel = "-Model=";
constexpr const char* kFilmPeople =
    "-Artist= -Author= -AlbumArtist= -Composer= -Copyright= -Director= -Producer= "
    "-Publisher= -EncodedBy= -Performer= -Performers= -Conductor= -Lyricist= -XMP-dc:Creator= "
    "-XMP-dc:Rights= -Owner=";
constexpr const char* kFilmTime =
    "-Keys:CreationDate= -UserData:DateTimeOriginal= -ItemList:ContentCreateDate= "
    "-XMP:DateTimeOriginal= -XMP:CreateDate=";
// The movie and track headers cannot lose their dates, only have them set to zero.
constexpr const char* kFilmHeaderTime =
    "-QuickTime:CreateDate= -TrackCreateDate= -MediaCreateDate=";
constexpr const char* kFilmSoftware =
    "-Encoder= -Keys:TaglinkPlainEncoder= -Software= -SoftwareVersion= -EncodingTool= "
    "-XMP:CreatorTool=";
constexpr const char* kFilmText = "-Comment= -Description= -Synopsis= -LongDescription=";

// Table order matters within a category: the first matching row decides.
const std::vector<Rule> kRules = {
    // Location: GPS position, altitude, direction and time; ISO 6709 and user-data
    // coordinates of films; text locations of IPTC and XMP.
    {C::Location, R::Image, "Exif.GPSInfo.GPSVersionID", L::Ignore, X::EraseKey},
    {C::Location, R::Image, "Exif.GPSInfo.*", L::High, X::EraseKey},
    {C::Location, R::Image, "Xmp.exif.GPSVersionID", L::Ignore, X::EraseKey},
    {C::Location, R::Image, "Xmp.exif.GPS*", L::High, X::EraseKey},
    {C::Location, R::Image, "Iptc.Application2.City", L::High, X::EraseKey},
    {C::Location, R::Image, "Iptc.Application2.SubLocation", L::High, X::EraseKey},
    {C::Location, R::Image, "Iptc.Application2.ProvinceState", L::High, X::EraseKey},
    {C::Location, R::Image, "Iptc.Application2.Country*", L::High, X::EraseKey},
    {C::Location, R::Image, "Iptc.Application2.Location*", L::High, X::EraseKey},
    {C::Location, R::Image, "Xmp.photoshop.City", L::High, X::EraseKey},
    {C::Location, R::Image, "Xmp.photoshop.State", L::High, X::EraseKey},
    {C::Location, R::Image, "Xmp.photoshop.Country", L::High, X::EraseKey},
    {C::Location, R::Image, "Xmp.iptc.Location", L::High, X::EraseKey},
    {C::Location, R::Image, "Xmp.iptc.CountryCode", L::High, X::EraseKey},
    {C::Location, R::Image, "Xmp.iptcExt.LocationCreated*", L::High, X::EraseKey},
    {C::Location, R::Image, "Xmp.iptcExt.LocationShown*", L::High, X::EraseKey},
    {C::Location, R::Image, "Exif.*.HometownDST", L::Ignore, X::EraseKey},
    {C::Location, R::Image, "Exif.*.Home*Town*", L::High, X::EraseKey},
    {C::Location, R::Image, "Exif.*.DestinationDST", L::Ignore, X::EraseKey},
    {C::Location, R::Image, "Exif.*.DestinationCity*", L::High, X::EraseKey},
    {C::Location, R::Image, "Exif.Panasonic.City*", L::High, X::EraseKey},
    {C::Location, R::Image, "Exif.Panasonic.State", L::High, X::EraseKey},
    {C::Location, R::Image, "Exif.Panasonic.Country", L::High, X::EraseKey},
    {C::Location, R::Image, "Exif.Panasonic.Landmark", L::High, X::EraseKey},
    {C::Location, R::Image, "Exif.Panasonic.Location", L::High, X::EraseKey},
    {C::Location, R::MediaInfo, "com.apple.quicktime.location*", L::High, X::Exiftool,
     kFilmLocation},
    {C::Location, R::MediaInfo, "xyz", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::MediaInfo, "location", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::MediaInfo, "loci", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:GPSVersionID", L::Ignore, X::Exiftool},
    {C::Location, R::ExifTool, "*:GPS*", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:Location*", L::High, X::Exiftool, kFilmLocation},
    // Place names: IPTC and XMP, and the maker's notes of cameras that keep the owner's home
    // town, the travel destination or the place picked on the camera.
    {C::Location, R::ExifTool, "*:City", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:City2", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:Sub-location", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:State", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:Province-State", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:Country", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:CountryCode", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:Country-PrimaryLocation*", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:ContentLocation*", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:Landmark", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:HometownDST", L::Ignore, X::Exiftool},
    {C::Location, R::ExifTool, "*:Home*Town*", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:HomeCity*", L::High, X::Exiftool, kFilmLocation},
    {C::Location, R::ExifTool, "*:DestinationDST", L::Ignore, X::Exiftool},
    {C::Location, R::ExifTool, "*:DestinationCity*", L::High, X::Exiftool, kFilmLocation},

    // Device identity: serial numbers of body, lens and parts (Exif, XMP, makernotes) are
    // high; make and model alone are low.
    {C::Device, R::Image, "*SerialNumberFormat", L::Ignore, X::EraseKey},
    {C::Device, R::Image, "Exif.*Serial*", L::High, X::EraseKey, "", Check::Present},
    {C::Device, R::Image, "Xmp.*Serial*", L::High, X::EraseKey, "", Check::Present},
    {C::Device, R::Image, "Exif.Image.Make", L::Low, X::EraseKey},
    {C::Device, R::Image, "Exif.Image.Model", L::Low, X::EraseKey},
    {C::Device, R::Image, "Exif.Image.UniqueCameraModel", L::Low, X::EraseKey},
    {C::Device, R::Image, "Exif.Image.LocalizedCameraModel", L::Low, X::EraseKey},
    {C::Device, R::Image, "Exif.Image.HostComputer", L::Low, X::EraseKey},
    {C::Device, R::Image, "Xmp.tiff.Make", L::Low, X::EraseKey},
    {C::Device, R::Image, "Xmp.tiff.Model", L::Low, X::EraseKey},
    {C::Device, R::MediaInfo, "*serial*", L::High, X::Exiftool, kFilmSerial},
    {C::Device, R::MediaInfo, "com.apple.quicktime.make", L::Low, X::Exiftool, kFilmMake},
    {C::Device, R::MediaInfo, "com.apple.quicktime.model", L::Low, X::Exiftool, kFilmModel},
    {C::Device, R::ExifTool, "*:*SerialNumberFormat", L::Ignore, X::Exiftool},
    // A serial number in any maker's notes, also one that ExifTool shows as binary data.
    {C::Device, R::ExifTool, "*:*Serial*", L::High, X::Exiftool, kFilmSerial, Check::Present},
    {C::Device, R::ExifTool, "*:Make", L::Low, X::Exiftool, kFilmMake},
    {C::Device, R::ExifTool, "*:Model", L::Low, X::Exiftool, kFilmModel},

    // People and ownership: who made or owns the picture or film, and how to reach them.
    {C::People, R::Image, "Exif.Image.Artist", L::High, X::EraseKey},
    {C::People, R::Image, "Exif.Image.Copyright", L::High, X::EraseKey},
    {C::People, R::Image, "Exif.Image.XPAuthor", L::High, X::EraseKey},
    {C::People, R::Image, "Exif.Photo.CameraOwnerName", L::High, X::EraseKey},
    {C::People, R::Image, "Exif.*.OwnerName", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.dc.creator", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.dc.rights", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.dc.contributor", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.dc.publisher", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.aux.OwnerName", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.photoshop.AuthorsPosition", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.photoshop.CaptionWriter", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.photoshop.Credit", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.iptc.CreatorContactInfo*", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.xmpRights.Owner*", L::High, X::EraseKey},
    {C::People, R::Image, "Xmp.xmpRights.WebStatement", L::High, X::EraseKey},
    {C::People, R::Image, "Iptc.Application2.Byline*", L::High, X::EraseKey},
    {C::People, R::Image, "Iptc.Application2.Copyright", L::High, X::EraseKey},
    {C::People, R::Image, "Iptc.Application2.Credit", L::High, X::EraseKey},
    {C::People, R::Image, "Iptc.Application2.Writer", L::High, X::EraseKey},
    {C::People, R::Image, "Iptc.Application2.Contact", L::High, X::EraseKey},
    {C::People, R::MediaInfo, "Performer", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Album/Performer", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Composer", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Copyright", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Director", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Producer", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Publisher", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Lyricist", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Conductor", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Encoded_By", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "Author", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "com.apple.quicktime.artist", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "com.apple.quicktime.author", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "com.apple.quicktime.copyright", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "com.apple.quicktime.director", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "com.apple.quicktime.producer", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::MediaInfo, "com.apple.quicktime.publisher", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Artist", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:AlbumArtist", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Author", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Composer", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Copyright", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Director", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Producer", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Publisher", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Performer*", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:EncodedBy", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Creator", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Rights", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:*OwnerName", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Owner", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:XPAuthor", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:By-line*", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:CopyrightNotice", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Credit", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Writer-Editor", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:Contact", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:AuthorsPosition", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:CaptionWriter", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "*:WebStatement", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "XMP-iptcCore:Creator*", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::ExifTool, "XMP-dc:Contributor", L::High, X::Exiftool, kFilmPeople},
    {C::People, R::File, "FileAuthors", L::High, X::NotCopied},

    // People shown: named regions of faces and persons.
    {C::PeopleShown, R::Image, "Xmp.mwg-rs.Regions*/mwg-rs:Name", L::High, X::EraseKey},
    {C::PeopleShown, R::Image, "Xmp.MP.RegionInfo*PersonDisplayName", L::High, X::EraseKey},
    {C::PeopleShown, R::Image, "Xmp.MPReg.PersonDisplayName", L::High, X::EraseKey},
    {C::PeopleShown, R::Image, "Xmp.iptcExt.PersonInImage*", L::High, X::EraseKey},
    {C::PeopleShown, R::Image, "Xmp.apple-fi.*Name*", L::High, X::EraseKey},
    {C::PeopleShown, R::ExifTool, "XMP-*:RegionName", L::High, X::Exiftool,
     "-XMP-mwg-rs:RegionName="},
    {C::PeopleShown, R::ExifTool, "XMP-*:RegionPersonDisplayName", L::High, X::Exiftool,
     "-XMP-MP:RegionPersonDisplayName="},
    {C::PeopleShown, R::ExifTool, "XMP-*:PersonInImage*", L::High, X::Exiftool,
     "-XMP-iptcExt:PersonInImage*="},

    // Time and time zone: capture dates with their offsets, and GPS time.
    {C::Time, R::Image, "Exif.Photo.DateTimeOriginal", L::Low, X::EraseKey},
    {C::Time, R::Image, "Exif.Photo.DateTimeDigitized", L::Low, X::EraseKey},
    {C::Time, R::Image, "Exif.Photo.OffsetTime*", L::Low, X::EraseKey},
    {C::Time, R::Image, "Exif.Image.DateTimeOriginal", L::Low, X::EraseKey},
    {C::Time, R::Image, "Exif.GPSInfo.GPSTimeStamp", L::Low, X::EraseKey},
    {C::Time, R::Image, "Exif.GPSInfo.GPSDateStamp", L::Low, X::EraseKey},
    {C::Time, R::Image, "Xmp.exif.GPSTimeStamp", L::Low, X::EraseKey},
    {C::Time, R::Image, "Xmp.exif.DateTimeOriginal", L::Low, X::EraseKey},
    {C::Time, R::Image, "Xmp.exif.DateTimeDigitized", L::Low, X::EraseKey},
    {C::Time, R::Image, "Xmp.photoshop.DateCreated", L::Low, X::EraseKey},
    {C::Time, R::Image, "Xmp.xmp.CreateDate", L::Low, X::EraseKey},
    {C::Time, R::Image, "Iptc.Application2.DateCreated", L::Low, X::EraseKey},
    {C::Time, R::Image, "Iptc.Application2.TimeCreated", L::Low, X::EraseKey},
    {C::Time, R::Image, "Iptc.Application2.DigitizationDate", L::Low, X::EraseKey},
    {C::Time, R::Image, "Iptc.Application2.DigitizationTime", L::Low, X::EraseKey},
    {C::Time, R::MediaInfo, "Recorded_Date", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::MediaInfo, "com.apple.quicktime.creationdate", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::MediaInfo, "Encoded_Date", L::Low, X::Exiftool, kFilmHeaderTime},
    {C::Time, R::ExifTool, "*:DateTimeOriginal", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "ExifIFD:CreateDate", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "*:OffsetTime*", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "IPTC*:DateCreated", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "IPTC*:TimeCreated", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "IPTC*:DigitalCreation*", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "*:GPSDateStamp", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "Keys:CreationDate", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "ItemList:ContentCreateDate", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "*:GPSDateTime", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "*:GPSTimeStamp", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "XMP-*:CreateDate", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "QuickTime:CreateDate", L::Low, X::Exiftool, kFilmHeaderTime},
    {C::Time, R::ExifTool, "Vorbis:Date", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "RIFF:DateCreated", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "ID3*:Year", L::Low, X::Exiftool, kFilmTime},
    {C::Time, R::ExifTool, "ID3*:RecordingTime", L::Low, X::Exiftool, kFilmTime},

    // Software and history: programs and firmware, editing history, derived-from and
    // ancestor documents, the name of the raw file a picture came from.
    {C::Software, R::Image, "Exif.Image.Software", L::High, X::EraseKey},
    {C::Software, R::Image, "Exif.Image.ProcessingSoftware", L::High, X::EraseKey},
    {C::Software, R::Image, "Exif.Image.OriginalRawFileName", L::High, X::EraseKey},
    {C::Software, R::Image, "Exif.*Firmware*", L::High, X::EraseKey},
    {C::Software, R::Image, "Xmp.aux.Firmware", L::High, X::EraseKey},
    {C::Software, R::Image, "Xmp.xmp.CreatorTool", L::High, X::EraseKey},
    {C::Software, R::Image, "Xmp.tiff.Software", L::High, X::EraseKey},
    {C::Software, R::Image, "Xmp.photoshop.History", L::High, X::EraseKey},
    {C::Software, R::Image, "Xmp.photoshop.DocumentAncestors*", L::High, X::EraseKey},
    {C::Software, R::Image, "Xmp.xmpMM.History*", L::High, X::EraseKey},
    {C::Software, R::Image, "Xmp.xmpMM.DerivedFrom*", L::High, X::EraseKey},
    {C::Software, R::Image, "Xmp.crs.RawFileName", L::High, X::EraseKey},
    // Nikon Capture NX keeps its edits, and a copy of the IPTC data, in the makernote.
    {C::Software, R::Image, "Exif.Nikon3.CaptureData", L::High, X::EraseKey, "", Check::Present},
    {C::Software, R::MediaInfo, "Encoded_Application*", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::MediaInfo, "encoder", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::MediaInfo, "com.apple.quicktime.software", L::High, X::Exiftool,
     kFilmSoftware},
    {C::Software, R::ExifTool, "*:Software", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "*:ProcessingSoftware", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "*:OriginalRawFileName", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "*:RawFileName", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "*:*Firmware*", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "Keys:Encoder", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "ItemList:Encoder", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "UserData:Encoder", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "Matroska:WritingApp", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "Vorbis:Encoder", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "UserData:SoftwareVersion", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "*:EncoderSettings", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "*:CreatorTool", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "*:History*", L::High, X::Exiftool, kFilmSoftware},
    {C::Software, R::ExifTool, "*:DerivedFrom*", L::High, X::Exiftool, kFilmSoftware},

    // A thumbnail of another picture: the trace of a crop that kept the uncropped preview.
    {C::Thumbnail, R::Image, "Preview*", L::High, X::EraseThumbnail, "", Check::ThumbnailAspect},

    // Where the file came from: the facts the file system keeps beside it.
    {C::Origin, R::File, "FileFrom", L::High, X::NotCopied},
    {C::Origin, R::File, "FileFromDate", L::High, X::NotCopied},
    {C::Origin, R::File, "FileFinderComment", L::High, X::NotCopied},
    {C::Origin, R::File, "FileTags", L::High, X::NotCopied},

    // Free text: descriptions, user comments and captions.
    {C::Text, R::Image, "Exif.Image.ImageDescription", L::Low, X::EraseKey},
    {C::Text, R::Image, "Exif.Image.XPComment", L::Low, X::EraseKey},
    {C::Text, R::Image, "Exif.Image.XPSubject", L::Low, X::EraseKey},
    {C::Text, R::Image, "Exif.Photo.UserComment", L::Low, X::EraseKey},
    {C::Text, R::Image, "Xmp.dc.description", L::Low, X::EraseKey},
    {C::Text, R::Image, "Xmp.exif.UserComment", L::Low, X::EraseKey},
    {C::Text, R::Image, "Xmp.photoshop.Headline", L::Low, X::EraseKey},
    {C::Text, R::Image, "Iptc.Application2.Caption", L::Low, X::EraseKey},
    {C::Text, R::Image, "Iptc.Application2.Headline", L::Low, X::EraseKey},
    {C::Text, R::MediaInfo, "Comment", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::MediaInfo, "Description", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::MediaInfo, "Synopsis", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::MediaInfo, "com.apple.quicktime.comment", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::MediaInfo, "com.apple.quicktime.description", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:Comment", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:Description", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:ImageDescription", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:UserComment", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:CaptionWriter", L::Ignore, X::Exiftool},
    {C::Text, R::ExifTool, "*:Caption*", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:Headline", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:XPComment", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:XPSubject", L::Low, X::Exiftool, kFilmText},
    {C::Text, R::ExifTool, "*:Synopsis", L::Low, X::Exiftool, kFilmText},
};

const char* const kCategoryNames[kCategoryCount] = {"location",     "device", "people",
                                                    "people-shown", "time",   "software",
                                                    "thumbnail",    "origin", "text"};

bool globMatchesLower(const QChar* pattern, qsizetype patternSize, const QChar* text,
                      qsizetype textSize)
{
    // Iterative glob with one backtrack point: linear for the patterns of the table.
    qsizetype p = 0, t = 0, starP = -1, starT = 0;
    while (t < textSize) {
        if (p < patternSize && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starT = t;
        } else if (p < patternSize && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starP >= 0) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < patternSize && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == patternSize;
}

// Per reader: the rows whose pattern is a plain key, by key, and the rows with a wildcard.
struct ReaderIndex
{
    QHash<QString, std::vector<int>> exact;
    struct Wildcard
    {
        QString pattern; // lower case
        QString prefix;  // the pattern up to its first '*'
        int row;
    };
    std::vector<Wildcard> wildcard;
};

const std::map<Reader, ReaderIndex>& indexes()
{
    static const std::map<Reader, ReaderIndex> built = [] {
        std::map<Reader, ReaderIndex> result;
        for (int i = 0; i < int(kRules.size()); ++i) {
            const Rule& rule = kRules[std::size_t(i)];
            const QString pattern = QString::fromLatin1(rule.key).toLower();
            ReaderIndex& index = result[rule.reader];
            if (const qsizetype star = pattern.indexOf(QLatin1Char('*')); star >= 0)
                index.wildcard.push_back({pattern, pattern.left(star), i});
            else
                index.exact[pattern].push_back(i);
        }
        return result;
    }();
    return built;
}

} // namespace

const std::vector<Rule>& rules()
{
    return kRules;
}

QString categoryName(Category category)
{
    return QString::fromLatin1(kCategoryNames[int(category)]);
}

std::optional<Category> categoryFromName(const QString& name)
{
    for (Category category : kCategories)
        if (categoryName(category) == name)
            return category;
    return std::nullopt;
}

QString levelName(Level level)
{
    return level == Level::Low ? QStringLiteral("low") : QStringLiteral("high");
}

QStringList exiftoolArguments(const Rule& rule)
{
    return QString::fromLatin1(rule.exiftoolArguments).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool globMatches(const QString& pattern, const QString& text)
{
    const QString p = pattern.toLower();
    const QString t = text.toLower();
    return globMatchesLower(p.constData(), p.size(), t.constData(), t.size());
}

std::vector<const Rule*> matchingRules(Reader reader, const QString& key)
{
    std::vector<const Rule*> result;
    const auto& all = indexes();
    const auto index = all.find(reader);
    if (index == all.end())
        return result;
    const QString lower = key.toLower();
    std::vector<int> rows;
    if (const auto exact = index->second.exact.constFind(lower);
        exact != index->second.exact.constEnd())
        rows = *exact;
    // Most keys share no literal start with a pattern: that test is cheaper than the glob.
    for (const ReaderIndex::Wildcard& wildcard : index->second.wildcard)
        if (lower.startsWith(wildcard.prefix) &&
            globMatchesLower(wildcard.pattern.constData(), wildcard.pattern.size(),
                             lower.constData(), lower.size()))
            rows.push_back(wildcard.row);
    if (rows.empty())
        return result;
    std::sort(rows.begin(), rows.end());
    bool decided[kCategoryCount] = {};
    for (int row : rows) {
        const Rule& rule = kRules[std::size_t(row)];
        const int category = int(rule.category);
        if (decided[category])
            continue;
        decided[category] = true;
        if (rule.level != Level::Ignore)
            result.push_back(&rule);
    }
    return result;
}

} // namespace perspix::privacy
