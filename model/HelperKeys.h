// Keys of how files are read, not of what is read: the batch engine takes these out of the
// analysis options before an analysis, so that neither the readers nor the result store's
// key see them.
#pragma once

#include <QString>

namespace perspix {

namespace keys {
// Seconds one file may take in its helper process (0 for no limit), the helper's
// address-space limit in bytes (0 for none), and the analysis in the program's own process
// instead of helpers.
inline const QString kOptAnalysisTimeout = QStringLiteral("analysisTimeout");
inline const QString kOptAnalysisMemoryLimit = QStringLiteral("analysisMemoryLimit");
inline const QString kOptInProcessAnalysis = QStringLiteral("inProcessAnalysis");
// For a front end that shows only the general summaries: a helper answers with the general
// record alone, which is all a summary reads, and spends no time on coding the rest. Part
// of what is read, so the result store keeps such results apart.
inline const QString kOptSummaryOnly = QStringLiteral("summaryOnly");
} // namespace keys

namespace prefs {
// The settings behind the first two.
inline const QString kAnalysisTimeout = QStringLiteral("analysisTimeout");
inline const QString kAnalysisMemoryLimit = QStringLiteral("analysisMemoryLimit");
} // namespace prefs

} // namespace perspix
