#pragma once
// The transfer driver's result file: "address:code" entries joined by ";".
// No widgets here, so the reader can be fuzzed and tested on its own.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace quillon {

constexpr int kNoResultCode = 98;     // the driver left no result
constexpr int kNotInResultCode = 99;  // the result does not list the address

// One report line: the address (control characters and ";" shown as "?") padded
// to 16, ":", the text, CR LF.
QString DriverReportLine(const QString& address, const QString& codeText);

// Codes by address from the result's first line; entries without ":" or with a
// code that is no number are left out; the first entry of an address counts.
QHash<QString, int> ParseDriverResult(const QByteArray& line);

// One line per address whose code is not 0: the address padded to 16, ":", the
// code's text, CR LF. An address the codes do not hold is code 99.
QString DriverReport(const QHash<QString, int>& codes, const QStringList& addresses,
                     const std::function<QString(int code)>& codeText);

// The code of each of `addresses` from the result file: code 99 for an address it does
// not list, code 98 for every address when it is missing or unreadable.
QList<int> ReadDriverCodes(const QString& resultFile, const QStringList& addresses);

// The failure report of the last driver run for `addresses`: a missing or
// unreadable result is code 98 for every address.
QString ReadDriverResult(const QString& resultFile, const QStringList& addresses,
                         const std::function<QString(int code)>& codeText);

} // namespace quillon
