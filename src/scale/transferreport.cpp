#include "scale/transferreport.h"

#include "context/texts.h"
#include "platform/csv.h"
#include "scale/driverresult.h"

#include <QMap>
#include <climits>
#include <algorithm>

namespace quillon {

namespace {
const char* const kTypeHeadings[3] = {"msgSendFormatToScale", "msgSendTextToScale", "msgSendShopnameToScale"};
const QString kCrLf = QStringLiteral("\r\n");

QString text(const char* key)
{
    return GetLangString(QStringLiteral("frmMain"), QString::fromLatin1(key));
}

// Inconsistent scales lead: they print a label nobody sent.
int rank(int outcome)
{
    return outcome == kInconsistentOutcome ? -1 : outcome == 0 ? INT_MAX : outcome;
}

QList<ScaleOutcome> reportOrder(QList<ScaleOutcome> outcomes)
{
    std::stable_sort(outcomes.begin(), outcomes.end(), [](const ScaleOutcome& a, const ScaleOutcome& b) {
        return rank(OverallOutcome(a)) < rank(OverallOutcome(b));
    });
    return outcomes;
}

QString outcomeText(const ScaleOutcome& o)
{
    const int outcome = OverallOutcome(o);
    if (outcome != kInconsistentOutcome)
        return GetLangString(QStringLiteral("Global"), QStringLiteral("msgTCPDriver%1").arg(outcome));
    QStringList missing;
    for (int k = 1; k < 3; ++k) {
        if (o.codes[k] != 0)
            missing << text(kTypeHeadings[k]) + QLatin1Char(' ') + OutcomePhrase(o.codes[k]);
    }
    return text("msgScaleInconsistent") + QStringLiteral(" (") + missing.join(QStringLiteral("; ")) +
           QLatin1Char(')');
}

} // namespace

int OverallOutcome(const ScaleOutcome& o)
{
    if (o.codes[0] != 0)
        return o.codes[0] == kNotRun ? kNotAttemptedCode : o.codes[0];
    return o.codes[1] == 0 && o.codes[2] == 0 ? 0 : kInconsistentOutcome;
}

QString OutcomePhrase(int code)
{
    static const int known[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 97, 98, 99};
    if (code == kNotRun)
        return QString();
    if (std::find(std::begin(known), std::end(known), code) == std::end(known))
        return text("msgOutcomeOther").arg(code);
    return GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgOutcome%1").arg(code));
}

QString SendReport(const QList<ScaleOutcome>& outcomes)
{
    QMap<int, int> failures;   // by rank, so the summary lists them in the lines' order
    int received = 0;
    for (const ScaleOutcome& o : outcomes) {
        const int outcome = OverallOutcome(o);
        if (outcome == 0)
            ++received;
        else
            ++failures[rank(outcome)];
    }
    QString report = text("msgSendSummary").arg(received).arg(outcomes.size());
    for (auto it = failures.cbegin(); it != failures.cend(); ++it)
        report += QStringLiteral("; %1 ").arg(it.value()) +
                  OutcomePhrase(it.key() == -1 ? kInconsistentOutcome : it.key());
    report += kCrLf;
    for (const ScaleOutcome& o : reportOrder(outcomes))
        report += DriverReportLine(o.address, outcomeText(o));
    return report;
}

QByteArray SendReportCsv(const QList<ScaleOutcome>& outcomes)
{
    QByteArray csv = CsvLine({text("msgCsvAddress"), text("msgCsvOutcome"), text("msgCsvFormat"),
                              text("msgCsvText"), text("msgCsvShopName")});
    for (const ScaleOutcome& o : reportOrder(outcomes))
        csv += CsvLine({o.address, OutcomePhrase(OverallOutcome(o)), OutcomePhrase(o.codes[0]),
                        OutcomePhrase(o.codes[1]), OutcomePhrase(o.codes[2])});
    return csv;
}

} // namespace quillon
