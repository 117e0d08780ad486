#pragma once
// The daily log: <folder>/QLN2005_yyyy-mm-dd.log, UTF-16LE with a byte-order
// mark, one "[yyyy-mm-dd hh:mm:ss]  message" line per event, CR LF line ends.
#include <QDateTime>
#include <QString>

namespace quillon {

// The process-wide log folder, set by start-up; empty (the default) writes nothing.
void SetLogFolder(const QString& folder);
QString LogFolder();

// The file a line written at `when` goes to ("" when no folder is set).
QString LogFilePath(const QDateTime& when);

// Appends one line; never fails, never throws (an unwritable log loses the line).
void WriteLog(const QString& message);

} // namespace quillon
