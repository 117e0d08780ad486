#include "model/datafile.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillon {

namespace {

// A temporary file beside the target, renamed over it: atomic like QSaveFile,
// without its flush to the disk.
Result writeUnsynced(const QString& path, const QByteArray& bytes)
{
    static QAtomicInt counter;
    const QString tmp = QStringLiteral("%1.%2-%3.tmp").arg(path).arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
    QFile f(tmp);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Result::Fail(QStringLiteral("Cannot write %1: %2").arg(path, f.errorString()));
    const bool written = f.write(bytes) == bytes.size() && f.flush();
    const QString e = f.errorString();
    f.close();
    if (!written || ::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString why = written ? QString::fromLocal8Bit(std::strerror(errno)) : e;
        QFile::remove(tmp);
        return Result::Fail(QStringLiteral("Cannot write %1: %2").arg(path, why));
    }
    return Result::Ok();
}

} // namespace

Result SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::syncfs(fd) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return Result::Fail(QStringLiteral("Cannot flush %1 to the disk: %2").arg(folder, why));
    }
    ::close(fd);
    return Result::Ok();
}

Result WriteFileAtomic(const QString& path, const QByteArray& bytes, Sync sync)
{
    if (sync == Sync::Later)
        return writeUnsynced(path, bytes);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return Result::Fail(QStringLiteral("Cannot write %1: %2").arg(path, f.errorString()));
    if (f.write(bytes) != bytes.size()) {
        const QString e = f.errorString();
        f.cancelWriting();
        return Result::Fail(QStringLiteral("Cannot write %1: %2").arg(path, e));
    }
    if (!f.commit())
        return Result::Fail(QStringLiteral("Cannot write %1: %2").arg(path, f.errorString()));
    return Result::Ok();
}

Result WriteTextFile(const QString& path, const QByteArray& text, Sync sync)
{
    QByteArray bytes;
    bytes.reserve(text.size() + 2);
    bytes.append(text);
    bytes.append("\r\n", 2);
    return WriteFileAtomic(path, bytes, sync);
}

Result ReadFirstLine(const QString& path, QByteArray* line, qint64 maxBytes)
{
    if (line)
        line->clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Result::Fail(QStringLiteral("Cannot read %1: %2").arg(path, f.errorString()));
    // Read in pieces so a huge file without a line end cannot exhaust memory.
    QByteArray buf;
    constexpr qint64 kChunk = 64 << 10;
    while (true) {
        const QByteArray piece = f.read(kChunk);
        if (piece.isEmpty()) {
            if (f.error() != QFileDevice::NoError)
                return Result::Fail(QStringLiteral("Cannot read %1: %2").arg(path, f.errorString()));
            break;
        }
        const qsizetype n = piece.indexOf('\n');
        const qsizetype r = piece.indexOf('\r');
        const qsizetype end = n < 0 ? r : (r < 0 ? n : qMin(n, r));
        if (end >= 0) {
            buf.append(piece.constData(), end);
            break;
        }
        buf.append(piece);
        if (buf.size() > maxBytes)
            return Result::Fail(QStringLiteral("%1: the line is longer than %2 bytes").arg(path).arg(maxBytes));
    }
    if (buf.size() > maxBytes)
        return Result::Fail(QStringLiteral("%1: the line is longer than %2 bytes").arg(path).arg(maxBytes));
    if (line)
        *line = buf;
    return Result::Ok();
}

} // namespace quillon
