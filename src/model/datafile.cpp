#include "model/datafile.h"

#include <QFile>
#include <QSaveFile>

namespace quillon {

Result WriteFileAtomic(const QString& path, const QByteArray& bytes)
{
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

Result WriteTextFile(const QString& path, const QByteArray& text)
{
    QByteArray bytes;
    bytes.reserve(text.size() + 2);
    bytes.append(text);
    bytes.append("\r\n", 2);
    return WriteFileAtomic(path, bytes);
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
    constexpr qint64 kChunk = 1 << 20;
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
