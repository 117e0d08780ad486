#pragma once
// What a send did to each scale, and the report a technician reads from it:
// a summary, then every scale with its outcome, failures first; also as CSV.
#include <QByteArray>
#include <QList>
#include <QString>

namespace quillon {

constexpr int kNotRun = -1;               // the type was not run for the scale (yet)
constexpr int kUsageErrorCode = 9;        // the driver refused its command line (exit status 2)
constexpr int kNotAttemptedCode = 10;     // the scale was never contacted for the type
constexpr int kInconsistentOutcome = 97;  // the scale took the format but not all of its texts

struct ScaleOutcome {
    QString address;
    int codes[3] = {kNotRun, kNotRun, kNotRun};   // driver codes for 52, 56, 61
};

// 0 when every type arrived; the format's code when the format did not arrive;
// kInconsistentOutcome when it did but the texts or the shop name did not: the scale
// now prints the new format with the old texts.
int OverallOutcome(const ScaleOutcome& outcome);

// The short phrase of an outcome ("timed out"), for the summary and the CSV.
QString OutcomePhrase(int code);

// "2 of 4 scales received the label; 1 timed out; 1 refused", then one line per scale
// (address padded to 16, ":", its outcome), inconsistent ones first, then the other
// failures by code, then the successes; CR LF line breaks.
QString SendReport(const QList<ScaleOutcome>& outcomes);

// The same as CSV: a header, then address, outcome and the three types' outcomes per scale.
QByteArray SendReportCsv(const QList<ScaleOutcome>& outcomes);

} // namespace quillon
