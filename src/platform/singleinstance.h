#pragma once
// One running copy per root folder. The lock is released when the object dies;
// a lock left by a run that crashed does not block the next start. The copy that
// holds the lock listens on a local socket beside it, so that a later start can
// hand over the files on its command line instead of ending without effect.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QLockFile;
class QLocalServer;

namespace quillon {

class SingleInstance {
public:
    explicit SingleInstance(const QString& rootPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False only when another running copy holds the lock. True when this
    // process holds it, and also when no lock can be made there at all.
    bool tryLock();
    bool isLocked() const { return m_locked; }
    QString lockFilePath() const { return m_path; }
    QString serverPath() const { return m_serverPath; }

    // The lock holder: accept hand-overs from later starts. `onFiles` runs on the
    // event loop with the paths one start sent (possibly none: it only asks to be
    // shown). False when not holding the lock or the socket cannot be made.
    bool listen(std::function<void(const QStringList&)> onFiles);

    // A later start: gives absolute paths to the running copy. Waits at most
    // `timeoutMs` in all (the running copy may still be starting) and is true
    // only once the running copy has confirmed that it has them.
    bool handOver(const QStringList& absolutePaths, int timeoutMs = 5000) const;

    // Where the lock of a root folder lives: the user's runtime folder, keyed by the root's path.
    static QString LockFilePathFor(const QString& rootPath);

private:
    QString m_path;
    QString m_serverPath;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
    bool m_locked = false;
};

} // namespace quillon
