// Text, CSV and JSON forms of privacy reports (see PrivacyOutput.h).
#include "privacy/PrivacyOutput.h"

#include "export/JsonWriter.h"
#include "model/Utilities.h"

namespace perspix::privacy {

namespace {

QString jsonString(const QString& text)
{
    return JsonWriter::quotedString(text);
}

QString csvField(const QString& text)
{
    return Utilities::csvEscapeAndQuote(text);
}

// The records of a finding: one per tag, so a position gives one per GPS tag.
QList<const Finding*> recordsOf(const Finding& finding)
{
    if (finding.details.isEmpty())
        return {&finding};
    QList<const Finding*> records;
    for (const Finding& detail : finding.details)
        records.append(&detail);
    return records;
}

QString groupOf(const Finding& finding)
{
    return finding.group.isEmpty() ? finding.key : finding.group;
}

} // namespace

std::optional<Output::Format> Output::formatFromName(const QString& name)
{
    if (name == QLatin1String("txt"))
        return Format::Text;
    if (name == QLatin1String("csv"))
        return Format::Csv;
    if (name == QLatin1String("json"))
        return Format::Json;
    if (name == QLatin1String("jsonl"))
        return Format::JsonLines;
    return std::nullopt;
}

QString Output::findingLine(const Finding& finding)
{
    QString line = QStringLiteral("%1 (%2) %3: %4 [%5 %6]")
                       .arg(categoryName(finding.category), levelName(finding.level), finding.name,
                            finding.value, finding.section, finding.key);
    if (!finding.removal.isEmpty())
        line += QStringLiteral(" - remove with --strip %1").arg(finding.removal);
    else
        line += QStringLiteral(" - not removable: %1").arg(finding.whyNot);
    if (!finding.details.isEmpty()) {
        QStringList details;
        for (const Finding& detail : finding.details)
            details.append(QStringLiteral("%1: %2").arg(detail.name, detail.value));
        line += QStringLiteral("\n    details: ") + details.join(QStringLiteral("; "));
    }
    return line;
}

QString Output::jsonObject(const Report& report)
{
    QString out = QStringLiteral("{\"file\":") + jsonString(report.file) +
                  QStringLiteral(",\"complete\":") +
                  (report.complete ? QStringLiteral("true") : QStringLiteral("false")) +
                  QStringLiteral(",\"findings\":[");
    bool first = true;
    for (const Finding& finding : report.findings) {
        for (const Finding* f : recordsOf(finding)) {
            if (!first)
                out += QLatin1Char(',');
            first = false;
            out += QStringLiteral("{\"category\":") + jsonString(categoryName(f->category)) +
                   QStringLiteral(",\"level\":") + jsonString(levelName(f->level)) +
                   QStringLiteral(",\"section\":") + jsonString(f->section) +
                   QStringLiteral(",\"key\":") + jsonString(f->key) +
                   QStringLiteral(",\"name\":") + jsonString(f->name) +
                   QStringLiteral(",\"value\":") + jsonString(f->value) +
                   QStringLiteral(",\"removal\":") + jsonString(f->removal) +
                   QStringLiteral(",\"group\":") + jsonString(groupOf(finding)) +
                   QLatin1Char('}');
        }
    }
    out += QStringLiteral("]}");
    return out;
}

void Output::begin()
{
    if (m_format == Format::Csv)
        m_out << "file,complete,category,level,section,key,name,value,removal,group\n";
    else if (m_format == Format::Json)
        m_out << '[';
}

void Output::add(const Report& report, const QString& shownPath)
{
    m_tally.add(report);
    switch (m_format) {
    case Format::Text:
        if (m_written > 0)
            m_out << '\n';
        m_out << shownPath << '\n';
        if (!report.complete)
            m_out << "  the file could not be read whole: findings may be missing\n";
        for (const Finding& finding : report.findings)
            m_out << "  " << findingLine(finding) << '\n';
        if (report.findings.isEmpty() && report.complete)
            m_out << "  nothing found\n";
        break;
    case Format::Csv: {
        const QString head = csvField(report.file) + QLatin1Char(',') +
                             (report.complete ? QStringLiteral("true") : QStringLiteral("false"));
        if (report.findings.isEmpty())
            m_out << head << ",,,,,,,,\n";
        for (const Finding& finding : report.findings)
            for (const Finding* f : recordsOf(finding))
                m_out << head << ',' << categoryName(f->category) << ',' << levelName(f->level)
                      << ',' << csvField(f->section) << ',' << csvField(f->key) << ','
                      << csvField(f->name) << ',' << csvField(f->value) << ',' << f->removal << ','
                      << csvField(groupOf(finding)) << '\n';
        break;
    }
    case Format::Json:
        if (m_written > 0)
            m_out << ',';
        m_out << '\n' << jsonObject(report);
        break;
    case Format::JsonLines:
        m_out << jsonObject(report) << '\n';
        break;
    }
    ++m_written;
    m_out.flush();
}

void Output::end()
{
    if (m_format == Format::Json)
        m_out << (m_written > 0 ? "\n]\n" : "]\n");
    else if (m_format == Format::Text)
        m_out << (m_written > 0 ? "\n" : "") << m_tally.summary() << '\n';
    m_out.flush();
}

} // namespace perspix::privacy
