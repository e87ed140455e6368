// What one analysed file gives away: the findings of the privacy rules over the file's
// existing analysis result (never a second read of the file), and the per-category counts
// of a list of such reports.
#pragma once

#include <QList>
#include <QString>
#include <array>

#include "model/PerspixData.h"
#include "privacy/PrivacyRules.h"

namespace perspix::privacy {

struct Finding
{
    Category category = Category::Location;
    Level level = Level::High;
    QString section; // as the window shows it
    QString key;
    QString name;
    QString value;   // one line, at most kMaxValueLength characters
    QString removal; // "privacy", "privacy-all", or "" when no strip part can remove it
    QString whyNot;  // why it cannot be removed, when removal is ""
    const Rule* rule = nullptr;
    Reader reader = Reader::Image; // whose key it is
    // The key of the finding this one is shown in (a position's first tag), else its own.
    QString group;
    // The tags of a position, one finding per tag, when this finding stands for them.
    QList<Finding> details;
    // The same fact as another reader names it (ExifTool's twin of an Exiv2 key).
    QList<Finding> twins;

    // This finding, its details and their twins: every tag a removal has to take.
    QList<const Finding*> tags() const;
    // ExifTool's "Group:Tag" of a finding read by ExifTool from an image, else "".
    QString exiftoolTag() const;
    // True for a tag of the camera maker's notes.
    bool inMakerNote() const;
};

// A format's short upper-case name, also for one named by its MIME type.
QString plainFormat(const QString& format);
// Image formats whose metadata each writer writes back into a copy.
bool exiv2WritesImages(const QString& format);
bool exiftoolWritesImages(const QString& format);

// How much a privacy removal takes: the high findings, or every finding.
enum class Strip { None, High, All };

class Report
{
public:
    static constexpr int kMaxValueLength = 80;

    // The report of a file from its analysis; data may be null (a failed analysis), which
    // gives an incomplete report without findings. An image analysed with
    // readImagesWithExiftool is reported from Exiv2's and ExifTool's tags together, one
    // finding per fact.
    static Report ofFile(const QString& path, const PerspixData* data);
    // True when the analysis holds ExifTool's reading of an image (or is no image's).
    static bool hasBothReaders(const PerspixData* data);

    QString file;
    bool complete = true;
    QList<Finding> findings;

    bool has(Category category) const;
    bool has(Category category, Level level) const;
    // A position, or a place name: what makes the file located.
    bool located() const { return has(Category::Location, Level::High); }

    // A value as one line of at most kMaxValueLength characters.
    static QString oneLine(const QString& value);
    static QString stripName(Level level); // "privacy" or "privacy-all"
    // The removal as the window's sheet calls it: "Privacy" or "Privacy and details".
    static QString removalTitle(const QString& removal);
};

// Counts over a list of reports.
class Tally
{
public:
    void add(const Report& report);
    int files() const { return m_files; }
    int count(Category category) const { return m_counts[std::size_t(category)]; }
    int serials() const { return m_serials; }
    int incomplete() const { return m_incomplete; }
    // "12 of 240 files reveal a location; 3 carry a camera serial number; ..."
    QString summary() const;

private:
    int m_files = 0;
    std::array<int, kCategoryCount> m_counts{};
    int m_serials = 0;
    int m_incomplete = 0;
};

} // namespace perspix::privacy
