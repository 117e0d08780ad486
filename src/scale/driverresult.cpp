#include "scale/driverresult.h"

#include "model/datafile.h"
#include "platform/ini.h"
#include "platform/log.h"

namespace quillon {

namespace {
const QString kCrLf = QStringLiteral("\r\n");

// An address as it may appear in a report line: no line breaks or separators from a damaged table.
QString printable(const QString& address)
{
    QString s = address.left(64);
    for (QChar& c : s) {
        if (c.unicode() < 0x20 || c == QLatin1Char(';') || c == QChar(0x7f))
            c = QLatin1Char('?');
    }
    return s;
}

} // namespace

QString DriverReportLine(const QString& address, const QString& codeText)
{
    QString a = printable(address);
    if (a.size() < 16)
        a += QString(16 - a.size(), QLatin1Char(' '));
    return a + QLatin1Char(':') + codeText + kCrLf;
}

QHash<QString, int> ParseDriverResult(const QByteArray& line)
{
    QHash<QString, int> codes;
    const QStringList entries = QString::fromLatin1(line).split(QLatin1Char(';'));
    for (const QString& entry : entries) {
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString address = entry.left(colon);
        const QString codePart = entry.mid(colon + 1).trimmed();
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
            report += DriverReportLine(a, codeText(code));
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
