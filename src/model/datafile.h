#pragma once
// One-line text files of the scale data exchange, written atomically.
#include "model/result.h"
#include <QByteArray>
#include <QString>

namespace quillon {

// Creates or replaces the file with text + CR LF, atomically: on failure the old file stays.
Result WriteTextFile(const QString& path, const QByteArray& text);
// Atomic replacement of a whole file's bytes.
Result WriteFileAtomic(const QString& path, const QByteArray& bytes);
// The first line of the file without its line end (CR LF, LF or CR). *line is
// empty on failure. Reads at most maxBytes (default 64 MiB) to stay bounded.
Result ReadFirstLine(const QString& path, QByteArray* line, qint64 maxBytes = 64ll << 20);

} // namespace quillon
