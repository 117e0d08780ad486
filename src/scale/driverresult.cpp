#include "scale/driverresult.h"

#include "model/datafile.h"
#include "platform/ini.h"
#include "platform/log.h"

namespace quillon {

namespace {

// A report line appended in place: the address (no line breaks or separators from a
// damaged table) padded to 16, ":", the text, CR LF.
void appendReportLine(QString& out, const QString& address, const QString& codeText)
{
    const qsizetype n = qMin<qsizetype>(address.size(), 64);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = address[i];
        out += c.unicode() < 0x20 || c == QLatin1Char(';') || c == QChar(0x7f) ? QLatin1Char('?') : c;
    }
    for (qsizetype i = n; i < 16; ++i)
        out += QLatin1Char(' ');
    out += QLatin1Char(':');
    out += codeText;
    out += QLatin1String("\r\n");
}

} // namespace

QString DriverReportLine(const QString& address, const QString& codeText)
{
    QString line;
    appendReportLine(line, address, codeText);
    return line;
}

QHash<QString, int> ParseDriverResult(const QByteArray& line)
{
    // Entries are views into the one decoded line: a result can list many scales.
    QHash<QString, int> codes;
    const QString text = QString::fromLatin1(line);
    const QStringView all(text);
    qsizetype start = 0;
    for (bool last = false; !last; ) {
        qsizetype end = all.indexOf(QLatin1Char(';'), start);
        last = end < 0;
        if (last)
            end = all.size();
        const QStringView entry = all.sliced(start, end - start);
        start = end + 1;
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QStringView codePart = entry.sliced(colon + 1).trimmed();
        // A code that is no number is no answer; it must not read as 0 (success).
        bool isNumber = !codePart.isEmpty();
        for (qsizetype i = 0; i < codePart.size() && isNumber; ++i) {
            const QChar c = codePart[i];
            isNumber = c.isDigit() || (i == 0 && c == QLatin1Char('-') && codePart.size() > 1);
        }
        bool overflow = false;
        const qint16 code = isNumber ? RoundToInt16(LeadingNumber(codePart), &overflow) : 0;
        if (!isNumber || overflow)
            continue;
        const QString address = entry.left(colon).toString();
        if (!codes.contains(address))
            codes.insert(address, code);
    }
    return codes;
}

QString DriverReport(const QHash<QString, int>& codes, const QStringList& addresses,
                     const std::function<QString(int code)>& codeText)
{
    QString report;
    for (const QString& a : addresses) {
        const auto it = codes.constFind(a);
        const int code = it == codes.constEnd() ? kNotInResultCode : *it;
        if (code != 0)
            appendReportLine(report, a, codeText(code));
    }
    return report;
}

QList<int> ReadDriverCodes(const QString& resultFile, const QStringList& addresses)
{
    QByteArray line;
    const Result read = ReadFirstLine(resultFile, &line);
    if (!read) {
        // No result means nothing is known about any scale: never a success.
        WriteLog(QStringLiteral("ReadDriverResult %1:    %2").arg(resultFile, read.error));
        return QList<int>(addresses.size(), kNoResultCode);
    }
    const QHash<QString, int> codes = ParseDriverResult(line);
    QList<int> out;
    for (const QString& a : addresses)
        out << codes.value(a, kNotInResultCode);
    return out;
}

QString ReadDriverResult(const QString& resultFile, const QStringList& addresses,
                         const std::function<QString(int code)>& codeText)
{
    const QList<int> codes = ReadDriverCodes(resultFile, addresses);
    QString report;
    for (int i = 0; i < addresses.size(); ++i) {
        if (codes[i] != 0)
            report += DriverReportLine(addresses[i], codeText(codes[i]));
    }
    return report;
}

} // namespace quillon
