// Writes privacy reports as they come, in one of four forms: text blocks with the counts
// at the end, CSV rows, a JSON array or JSON Lines. The field names of the records are
// read by scripts and stay as they are.
#pragma once

#include <QString>
#include <QTextStream>

#include "privacy/PrivacyReport.h"

namespace perspix::privacy {

class Output
{
public:
    enum class Format { Text, Csv, Json, JsonLines };
    static std::optional<Format> formatFromName(const QString& name); // txt, csv, json, jsonl

    Output(QTextStream& out, Format format) : m_out(out), m_format(format) {}

    void begin();
    // shownPath: the path as the list shows it (text blocks); the records carry the full
    // path of the report.
    void add(const Report& report, const QString& shownPath);
    void end();

    const Tally& tally() const { return m_tally; }

    // One finding as the text block shows it (also the window's findings list).
    static QString findingLine(const Finding& finding);
    // A report as one JSON object.
    static QString jsonObject(const Report& report);

private:
    QTextStream& m_out;
    Format m_format;
    Tally m_tally;
    int m_written = 0;
};

} // namespace perspix::privacy
