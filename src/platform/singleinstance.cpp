#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

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
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/quillon-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
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
    if (!m_locked)
        m_locked = m_lock->tryLock(0);
    return m_locked;
}

} // namespace quillon
