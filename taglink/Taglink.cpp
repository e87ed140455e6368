// ExifTool metadata of one file, one-shot ExifTool calls and the export of embedded files.
#include "taglink/Taglink.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "taglink/AuxiliaryPrograms.h"
#include "taglink/ChildProcess.h"
#include "taglink/JSON/Json5ParserHandler.h"
#include "taglink/JSON/JsonStreamParser.h"

namespace taglink {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

// A number in a tag value: a JSON number, or a text that is a number and nothing else.
std::optional<double> numberIn(const JsonValue* value)
{
    if (!value)
        return std::nullopt;
    double d;
    if (value->isNumber()) {
        d = value->asNumber().toDouble();
    } else if (value->isString()) {
        const std::string_view s = value->asString();
        const char* end = s.data() + s.size();
        const auto r = std::from_chars(s.data(), end, d);
        if (s.empty() || r.ec != std::errc() || r.ptr != end)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(d))
        return std::nullopt;
    return d;
}

bool isValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t count;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            count = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            count = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            count = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + count > s.size())
            return false;
        for (std::size_t k = 1; k < count; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if ((count == 3 && cp < 0x800) || (count == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += count;
    }
    return true;
}

constexpr std::string_view kBase64Prefix = "base64:";

// Base64 of the alphabet's characters only: everything else (the prefix's colon, line
// breaks, padding) is skipped.
std::string decodeBase64Lenient(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 3 / 4);
    std::uint32_t bits = 0;
    int count = 0;
    for (const char ch : text) {
        int v;
        if (ch >= 'A' && ch <= 'Z')
            v = ch - 'A';
        else if (ch >= 'a' && ch <= 'z')
            v = ch - 'a' + 26;
        else if (ch >= '0' && ch <= '9')
            v = ch - '0' + 52;
        else if (ch == '+')
            v = 62;
        else if (ch == '/')
            v = 63;
        else
            continue;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

// A path as one argument that ExifTool cannot take for an option.
std::string pathArgument(const std::string& path)
{
    return !path.empty() && path[0] == '/' ? path : "./" + path;
}

struct ExiftoolRun
{
    std::string output; // standard output and error, together
    int status = -1;    // as waitpid reports it
};

// Runs ExifTool once with the arguments (in the working folder, when one is given) and
// waits for its end; nothing when it cannot be started.
std::optional<ExiftoolRun> runExiftool(const std::vector<std::string>& arguments,
                                       const std::string& workingDirectory = {})
{
    const std::string program = auxiliaryProgram("exiftool/exiftool");
    if (::access(program.c_str(), X_OK) != 0) {
        log("exiftool not found in the framework");
        return std::nullopt;
    }
    Pipe pipe;
    if (!pipe.open()) {
        log(std::string("Taglink: cannot run exiftool: ") + std::strerror(errno));
        return std::nullopt;
    }
    ChildProcess::Stdio stdio;
    stdio.inFromDevNull = true;
    stdio.out = pipe.write.get();
    stdio.err = pipe.write.get();
    stdio.workingDirectory = workingDirectory;
    std::string error;
    auto child = ChildProcess::spawn(program, arguments, stdio, error);
    pipe.write.reset();
    if (!child) {
        log("Taglink: cannot run exiftool: " + error);
        return std::nullopt;
    }
    ExiftoolRun run;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(pipe.read.get(), buf, sizeof buf);
        if (n > 0)
            run.output.append(buf, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    child->wait();
    run.status = child->status().value_or(-1);
    return run;
}

// Runs ExifTool once with the arguments; its standard output and error, together.
std::optional<std::string> runExiftoolOnce(const std::vector<std::string>& arguments)
{
    auto run = runExiftool(arguments);
    if (!run)
        return std::nullopt;
    return std::move(run->output);
}

std::optional<std::string> textOf(std::optional<std::string> bytes)
{
    if (!bytes || !isValidUtf8(*bytes))
        return std::nullopt;
    return bytes;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    // O_NOFOLLOW: a link placed under the name must not send the bytes elsewhere.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes.data(), bytes.size());
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

// Some writers put a keyed item named plain "location" beside the ISO 6709 one, and ffmpeg
// a keyed "encoder". ExifTool lists them only as tags it cannot delete; this configuration
// names them so that they can be.
constexpr std::string_view kLocationConfig =
    "%Image::ExifTool::UserDefined = (\n"
    "    'Image::ExifTool::QuickTime::Keys' => {\n"
    "        'location' => { Name => 'TaglinkPlainLocation', Groups => { 2 => 'Location' } },\n"
    "        'encoder' => { Name => 'TaglinkPlainEncoder' },\n"
    "    },\n"
    ");\n"
    "1;\n";

// Every item that says where a film was made: the keyed ISO 6709 item and its companion
// keyed items, the user-data "©xyz" and "loci" items, the item list's coordinates and
// the GPS tags of the file's XMP.
constexpr const char* kLocationDeletions[] = {
    "-Keys:GPSCoordinates=",
    "-Keys:LocationName=",
    "-Keys:LocationBody=",
    "-Keys:LocationNote=",
    "-Keys:LocationRole=",
    "-Keys:LocationDate=",
    "-Keys:LocationAccuracyHorizontal=",
    "-Keys:TaglinkPlainLocation=",
    "-UserData:GPSCoordinates=",
    "-UserData:LocationInformation=",
    "-ItemList:GPSCoordinates=",
    "-XMP:GPS*=",
};

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

// ExifTool's "Error: ..." lines without their prefix, or, when there are none, all it said.
std::string exiftoolErrorText(std::string_view output)
{
    constexpr std::string_view kErrorPrefix = "Error: ";
    std::string errors;
    for (const std::string_view line : split(output, '\n')) {
        if (line.rfind(kErrorPrefix, 0) != 0)
            continue;
        if (!errors.empty())
            errors += "; ";
        errors += trimmed(line.substr(kErrorPrefix.size()));
    }
    return errors.empty() ? trimmed(output) : errors;
}

bool isRegularFile(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// ExifTool reads only regular files, links followed: a pipe or a device could keep it
// reading for ever. A missing file is left to ExifTool, which says so.
bool isReadableKind(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

// Moves the file to a name that must not exist yet; never replaces anything.
bool moveToNewName(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a hard link fails on an existing name.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

// A private folder beside the target, removed with what it holds when the copy ends.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& besidePath)
    {
        std::string pattern = folderOf(besidePath) + "/.taglink-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_path = std::move(pattern);
    }
    ~ScratchFolder()
    {
        if (m_path.empty())
            return;
        for (const std::string& name : m_files)
            ::unlink((m_path + "/" + name).c_str());
        ::rmdir(m_path.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool valid() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }
    // The path of a file in the folder, removed with it.
    std::string file(const std::string& name)
    {
        m_files.push_back(name);
        return m_path + "/" + name;
    }

private:
    std::string m_path;
    std::vector<std::string> m_files;
};

} // namespace

std::string Taglink::valueText(const JsonValue& value)
{
    if (value.isString())
        return std::string(value.asString());
    if (value.isNumber())
        return std::string(value.asNumber().text);
    if (value.isBool())
        return value.asBool() ? "true" : "false";
    if (value.isNull())
        return {};
    if (value.isArray()) {
        std::string text;
        bool first = true;
        for (const JsonValue& element : value.asArray()) {
            if (!first)
                text += ", ";
            first = false;
            text += valueText(element);
        }
        return text;
    }
    return value.toJson();
}

TaglinkData Taglink::dataFromTagRecords(const std::vector<JsonObject>& records)
{
    TaglinkData data;
    data.exifKeys.reserve(records.size());
    data.exifData.reserve(records.size());
    for (const JsonObject& record : records) {
        const JsonValue* key = record.find("key");
        if (!key || !key->isString())
            continue;
        const auto parts = split(key->asString(), ':');
        if (parts.size() < 4)
            continue;
        const JsonValue* desc = record.find("desc");
        const JsonValue* val = record.find("val");
        if (!desc || !val)
            continue;
        const std::string_view group = parts[1];
        if (group == "ExifTool")
            continue;
        // The analysis gathers the file-system facts itself.
        if (parts[0] == "File" && group == "System")
            continue;
        const std::string_view tagName = parts.back();
        std::string entryKey;
        if (tagName == kDurationKey) {
            entryKey = kDurationKey;
            if (auto seconds = numberIn(record.find("num")); seconds)
                data.durationSeconds = seconds;
            else if (val->isNumber())
                data.durationSeconds = numberIn(val);
        } else {
            entryKey = std::string(key->asString());
            std::replace(entryKey.begin(), entryKey.end(), ':', '.');
        }
        TagEntry entry{valueText(*val), valueText(*desc),
                       group == "File" ? std::string("Container") : std::string(group)};
        if (!data.fileType && parts[0] == "File" && tagName == "FileType" &&
            (parts.size() < 5 || parts[3].empty()))
            data.fileType = entry.value;
        data.exifData.insert_or_assign(entryKey, std::move(entry));
        data.exifKeys.push_back(std::move(entryKey));
    }
    return data;
}

std::unique_ptr<Taglink> Taglink::initWithFilename(const std::string& path,
                                                   TaglinkStayOpenProcess* exiftool)
{
    if (!exiftool) {
        log("Taglink: No process at init()");
        return nullptr;
    }
    const auto records = exiftool->imageInfo(path);
    if (!records)
        return nullptr;
    auto taglink = std::make_unique<Taglink>();
    taglink->m_data = dataFromTagRecords(*records);
    return taglink;
}

std::optional<std::string> Taglink::exiftoolOutputForFile(const std::string& path)
{
    if (!isReadableKind(path))
        return std::nullopt;
    return textOf(runExiftoolOnce({"-G", "-H", "-a", pathArgument(path)}));
}

std::optional<std::string> Taglink::exiftoolVersion()
{
    return textOf(runExiftoolOnce({"-ver"}));
}

std::optional<std::string> Taglink::exiftoolBinaryOutputForFile(const std::string& path)
{
    if (!isReadableKind(path))
        return std::nullopt;
    return runExiftoolOnce({"-b", "-a", "-j", "-G:0:1:2:4", pathArgument(path)});
}

std::string Taglink::safeFileName(const std::string& name)
{
    std::string cleaned = name;
    std::replace(cleaned.begin(), cleaned.end(), '\0', '_');
    const auto parts = split(cleaned, '/');
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!it->empty() && *it != "." && *it != "..")
            return std::string(*it);
    }
    return "attachment";
}

bool Taglink::saveEmbeddedFilesFromFile(const std::string& path, const std::string& folder,
                                        std::vector<std::string>* files,
                                        TaglinkStayOpenProcess* exiftool)
{
    if (!exiftool)
        return false;
    const auto answer = exiftool->binaryUnparsedInfo(path);
    if (!answer)
        return false;
    Json5ParserHandler handler;
    JsonStreamParser parser(&handler);
    if (parser.parse(*answer) != JsonParserStatus::Complete)
        return false;
    const auto& data = handler.data();
    if (!data || !data->isArray() || data->asArray().empty())
        return false;
    if (files)
        files->clear();
    const JsonValue& first = data->asArray()[0];
    if (!first.isObject())
        return true;
    const JsonObject& record = first.asObject();

    struct Attachment
    {
        std::string name;
        const JsonValue* data;
    };
    std::vector<Attachment> attachments;
    for (const JsonMember& member : record.members()) {
        const std::string_view key = member.key;
        const auto parts = split(key, ':');
        if (parts.size() < 2 || parts.front() != "Matroska" || parts.back() != "AttachedFileData")
            continue;
        const std::string nameKey =
            std::string(key.substr(0, key.size() - parts.back().size())) + "AttachedFileName";
        if (const JsonValue* name = record.find(nameKey))
            attachments.push_back({valueText(*name), &member.value});
    }

    for (const Attachment& attachment : attachments) {
        if (!attachment.data->isString())
            continue;
        // ExifTool writes binary data as "base64:..." (the prefix names the encoding) but
        // data that is valid UTF-8 text as the text itself.
        const std::string_view value = attachment.data->asString();
        const std::string bytes = value.substr(0, kBase64Prefix.size()) == kBase64Prefix
                                      ? decodeBase64Lenient(value.substr(kBase64Prefix.size()))
                                      : std::string(value);
        if (bytes.empty())
            continue;
        const std::string target = folder + "/" + safeFileName(attachment.name);
        if (!writeFile(target, bytes)) {
            log("Taglink: cannot write " + target + ": " + std::strerror(errno));
            continue;
        }
        if (files)
            files->push_back(target);
    }
    return true;
}

Taglink::LocationRemoval Taglink::copyFileWithoutLocation(const std::string& source,
                                                          const std::string& target)
{
    return copyFileWithDeletions(source, target,
                                 std::vector<std::string>(std::begin(kLocationDeletions),
                                                          std::end(kLocationDeletions)));
}

Taglink::LocationRemoval Taglink::copyFileWithDeletions(const std::string& source,
                                                        const std::string& target,
                                                        const std::vector<std::string>& deletions)
{
    using Status = LocationRemoval::Status;
    if (source.empty() || target.empty())
        return {Status::Failed, "no source or no target given"};
    if (!isReadableKind(source))
        return {Status::Failed, "not a regular file: " + source};
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0)
        return {Status::Failed, "the target exists: " + target};

    // ExifTool writes into a private folder beside the target, so that the finished film
    // reaches its name in one rename and nothing unfinished ever carries it. The name
    // inside has no extension: ExifTool would take some extensions (".xmp", ".exif") as an
    // order to write a metadata file instead of the film.
    ScratchFolder scratch(target);
    if (!scratch.valid())
        return {Status::Failed,
                std::string("cannot write in the target folder: ") + std::strerror(errno)};
    const std::string config = scratch.file("location.config");
    std::string sourcePath = source;
    if (source[0] != '/') {
        // ExifTool runs in the private folder: a relative source is made whole first.
        char* here = ::getcwd(nullptr, 0);
        if (!here)
            return {Status::Failed, std::string("cannot read the working folder: ") +
                                        std::strerror(errno)};
        sourcePath = std::string(here) + "/" + source;
        std::free(here);
    }
    if (!writeFile(config, std::string(kLocationConfig)))
        return {Status::Failed,
                std::string("cannot write in the target folder: ") + std::strerror(errno)};
    const std::string written = scratch.file("film");

    // -config must come first. -o never writes over an existing file. ExifTool expands
    // "%d", "%f", "%e" and the like in the name it writes (and knows no escape for "%"),
    // so it runs inside the private folder and writes a name free of them.
    std::vector<std::string> arguments{"-config", "location.config", "-api", "LargeFileSupport=1",
                                       "-o",      "film"};
    for (const std::string& deletion : deletions)
        arguments.push_back(deletion);
    arguments.emplace_back("--");
    arguments.push_back(sourcePath);

    const auto run = runExiftool(arguments, scratch.path());
    if (!run)
        return {Status::NotStarted, "exiftool could not be started"};
    const bool exitedCleanly = WIFEXITED(run->status) && WEXITSTATUS(run->status) == 0;
    if (!exitedCleanly) {
        std::string error = exiftoolErrorText(run->output);
        return {Status::Failed, error.empty() ? "exiftool failed" : error};
    }
    if (!isRegularFile(written)) {
        std::string said = trimmed(run->output);
        return {Status::Failed,
                said.empty() ? "exiftool wrote no file" : "exiftool wrote no file: " + said};
    }
    if (!moveToNewName(written, target))
        return {Status::Failed,
                std::string("cannot move the copy to ") + target + ": " + std::strerror(errno)};
    return {Status::Written, {}};
}

} // namespace taglink
