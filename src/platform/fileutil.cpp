#include "platform/fileutil.h"
#include "platform/errorreport.h"

#include <QDir>
#include <QFileInfo>

namespace quillon {

namespace {
bool existsAny(const QString& p)
{
    // An existing file of that name counts, and so does a dangling link.
    return QFileInfo::exists(p) || QFileInfo(p).isSymLink();
}
} // namespace

bool MakeDir(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    if (p.isEmpty())
        return true; // the file-system root
    if (existsAny(p))
        return true;

    const qsizetype k = p.lastIndexOf(QLatin1Char('/'));
    if (k > 0) {
        const QString parent = p.left(k);
        if (!existsAny(parent) && !MakeDir(parent))
            return false;
    }

    if (QDir().mkdir(p) || QFileInfo(p).isDir())
        return true;
    QString why = QStringLiteral("The folder cannot be created.");
    const QFileInfo parentInfo(QFileInfo(p).absolutePath());
    if (parentInfo.exists() && !parentInfo.isDir())
        why = QStringLiteral("The folder cannot be created: %1 is a file.").arg(parentInfo.filePath());
    else if (parentInfo.isDir() && !parentInfo.isWritable())
        why = QStringLiteral("The folder cannot be created: permission denied in %1.").arg(parentInfo.filePath());
    ReportError(QStringLiteral("MakeDir ") + p, why);
    return false;
}

} // namespace quillon
