// The one table that says which analysed parameters give a person away: per rule its
// category, the reader whose keys it reads, the key pattern, its level and how a copy loses
// it. The privacy report and the privacy removal both read it, so they cannot disagree.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace perspix::privacy {

enum class Category {
    Location,
    Device,
    People,
    PeopleShown,
    Time,
    Software,
    Thumbnail,
    Origin,
    Text
};
constexpr int kCategoryCount = 9;
constexpr std::array<Category, kCategoryCount> kCategories = {
    Category::Location,    Category::Device, Category::People,
    Category::PeopleShown, Category::Time,   Category::Software,
    Category::Thumbnail,   Category::Origin, Category::Text};

// Ignore marks a key that a later, wider pattern of the same category would take.
enum class Level { High, Low, Ignore };

// Whose keys a rule reads: the image readers (Exiv2 keys), MediaInfo's parameter names,
// ExifTool's "Group:Tag" (family-1 group and tag name) or the File section's facts.
enum class Reader { Image, MediaInfo, ExifTool, File };

enum class Removal {
    EraseKey,       // images: the key itself is erased from the copy
    EraseThumbnail, // images: the Exif thumbnail is erased
    Exiftool,       // MPEG-4 and QuickTime films: ExifTool deletes the rule's tags
    NotCopied,      // extended attributes: a copy never carries them
};

// What, beyond its key, makes a parameter a finding.
enum class Check {
    Value,           // a value that says something (not blank, not a zero date)
    ThumbnailAspect, // a preview whose aspect ratio differs from the image's by over 2 %
    Present,         // any value, binary ones too
};

struct Rule
{
    Category category;
    Reader reader;
    const char* key; // glob ('*' for any run of characters), case-insensitive
    Level level;
    Removal removal;
    const char* exiftoolArguments = ""; // Removal::Exiftool: deletions, separated by blanks
    Check check = Check::Value;
};

const std::vector<Rule>& rules();

QString categoryName(Category category); // "location", "device", ...
std::optional<Category> categoryFromName(const QString& name);
QString levelName(Level level); // "high", "low"

// The ExifTool deletion arguments of a rule, one per list entry.
QStringList exiftoolArguments(const Rule& rule);

// Case-insensitive glob match, '*' standing for any run of characters.
bool globMatches(const QString& pattern, const QString& text);

// The rows that read this reader's keys and match the key, in table order; at most one
// per category (the first), and none for a category whose first match is Ignore.
std::vector<const Rule*> matchingRules(Reader reader, const QString& key);

} // namespace perspix::privacy
