#pragma once
// One-line text files of the scale data exchange, written atomically.
#include "model/result.h"
#include <QByteArray>
#include <QString>

namespace quillon {

// When a written file reaches the disk: before the write returns, or at one
// SyncFolder after a run that writes thousands (a flush per file costs far more
// than the conversion). Either way the file is replaced at once or not at all.
enum class Sync { Now, Later };

// Creates or replaces the file with text + CR LF, atomically: on failure the old file stays.
Result WriteTextFile(const QString& path, const QByteArray& text, Sync sync = Sync::Now);
// Atomic replacement of a whole file's bytes.
Result WriteFileAtomic(const QString& path, const QByteArray& bytes, Sync sync = Sync::Now);
// Flushes the files written with Sync::Later on the folder's file system.
Result SyncFolder(const QString& folder);
// The first line of the file without its line end (CR LF, LF or CR). *line is
// empty on failure. Reads at most maxBytes (default 64 MiB) to stay bounded.
Result ReadFirstLine(const QString& path, QByteArray* line, qint64 maxBytes = 64ll << 20);

} // namespace quillon
