#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace quillon {

QString SingleInstance::LockFilePathFor(const QString& rootPath)
{
    // The root folder may be read-only, so the lock lives with the user,
    // named after the root so that two installations run side by side.
    QFileInfo root(rootPath);
    QString key = root.canonicalFilePath();
    if (key.isEmpty())
        key = QDir::cleanPath(root.absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/quillon-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
    // The shared temporary folder: one lock per user, so users never block each other.
    QString user;
#ifdef Q_OS_UNIX
    user = QString::number(::getuid()) + QLatin1Char('-');
#endif
    return QDir::tempPath() + QStringLiteral("/quillon-") + user + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

SingleInstance::SingleInstance(const QString& rootPath)
    : m_path(LockFilePathFor(rootPath)), m_lock(std::make_unique<QLockFile>(m_path))
{
    // Without this a copy running longer than the default 30 s would count as stale.
    // A crashed run is still recognised: its process no longer exists.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryLock()
{
    if (m_locked)
        return true;
    m_locked = m_lock->tryLock(0);
    // Only a lock held by another running copy refuses the start; a lock that
    // cannot be made at all must not keep the user from working.
    return m_locked || m_lock->error() != QLockFile::LockFailedError;
}

} // namespace quillon
