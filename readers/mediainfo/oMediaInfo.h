// Adapter over one libmediainfo handle: opens one file and reads its streams and
// parameters as QStrings, plus the library-wide set-up, reports and cover extraction.
// The only code that sees the library's own types; it knows nothing of the analysis.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <optional>

namespace perspix {

// The library's stream kinds, numbered as the library numbers them.
enum class StreamKind : int {
    General = 0,
    Video = 1,
    Audio = 2,
    Text = 3,
    Other = 4,
    Image = 5,
    Menu = 6,
};

// What GetI reads of one parameter, numbered as the library numbers them.
enum class InfoKind : int {
    Name = 0,     // parameter name ("Duration/String")
    Text = 1,     // value text
    Options = 3,  // display flags; "Y" first when the library's report shows it
    NameText = 4, // translated label
};

// What the analysis looks at before reading a parameter's value.
struct ParameterHead
{
    QString name;       // "Duration/String"
    QString label;      // translated label; may be empty
    bool shown = false; // the library's own report shows it ("Y" first in its options)
    bool operator==(const ParameterHead&) const = default;
};

// Every parameter the library knows, by section name ("Container", "Video", ...).
using ParameterDictionary = QMap<QString, QStringList>;

class oMediaInfo
{
public:
    oMediaInfo();
    ~oMediaInfo();
    oMediaInfo(const oMediaInfo&) = delete;
    oMediaInfo& operator=(const oMediaInfo&) = delete;

    // True when the library could open and parse the file.
    bool Open(const QString& path);
    QString Inform();
    QString InformComplete();
    QString OptionGet(const QString& name);
    QString OptionSet(const QString& name, const QString& value);

    std::size_t numberOfStreams(StreamKind kind);
    std::size_t numberOfOptionsInStreamAtIndex(std::size_t stream, StreamKind kind);
    QString GetI(StreamKind kind, std::size_t stream, std::size_t parameter, InfoKind info);
    // Name, label and report flag of parameter number `parameter` of a stream. The
    // library's fixed parameters (the same list in every file) are read once per process
    // and answered from memory afterwards; a file's own extra parameters are read each time.
    ParameterHead parameterHead(StreamKind kind, std::size_t stream, std::size_t parameter);
    // Value text of a parameter by name; "" when absent. Also answers the pseudo-parameters
    // "FileSize/String/SI", "StreamSize/String/SI" and "Source_StreamSize/String/SI": the
    // size in decimal units (with the stream's share in percent for the stream sizes).
    QString GetFromStream(StreamKind kind, std::size_t stream, const QString& parameter);
    QString GetGeneral(std::size_t stream, const QString& parameter);
    QString GetVideo(std::size_t stream, const QString& parameter);
    QString GetAudio(std::size_t stream, const QString& parameter);
    QString GetText(std::size_t stream, const QString& parameter);
    QString GetMenu(std::size_t stream, const QString& parameter);

    // Short codec name ("MP3", "MPEG-2", "MS MPEG-4", ...) or "".
    QString myCodecHint(StreamKind kind, std::size_t stream);

    // Library-wide options: custom labels, covers as base 64. Done by the first adapter or
    // version query; calling it again does nothing.
    static void setupLibrary();
    // For a process that may not make files (a sandboxed helper): the text path under which
    // files of this path are opened from now on, made by the program that sent the file,
    // instead of an alias made here. An empty path forgets it.
    static void setPreparedTextPath(const QString& path, const QString& textPath);
    static QString libVersion();
    static std::optional<QString> streamKindToHumanString(int kind);
    static StreamKind streamStringToKind(const QString& name);
    // "HH:MM:SS" of whole seconds rounded up; "" below 1 ms.
    static QString formatDurationUpToSeconds(qint64 milliseconds);
    // The text given to the library's "Language" option: our own labels.
    static QString labelTranslationText();
    // The library's full text report, or its parsing trace; nothing when the file does
    // not open.
    static std::optional<QString> InformCompleteOnFile(const QString& path);
    static std::optional<QString> InformTraceOnFile(const QString& path);
    static ParameterDictionary dictionaryOfParameters();
    // Writes the file's embedded covers into the folder under names that do not exist yet;
    // false only when the file does not open.
    static bool saveCoversOfFile(const QString& path, const QString& folder,
                                 QStringList* files = nullptr);

private:
    ParameterHead readParameterHead(StreamKind kind, std::size_t stream, std::size_t parameter);
    // The library's own list, with or without the "/SI" forms the adapter answers.
    static ParameterDictionary dictionaryOfParameters(bool withPseudoParameters);
    // The names, per stream kind, of the parameters the library lists for every stream of
    // that kind, in the library's order, so that their names, labels and flags are read
    // once instead of for every file.
    static const std::array<QStringList, 7>& fixedParameterNames();
    QString sizeWithProportion(StreamKind kind, std::size_t stream, const QString& sizeName,
                               const QString& proportionName);

    void* m_handle = nullptr;
};

} // namespace perspix
