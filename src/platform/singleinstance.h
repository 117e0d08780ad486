#pragma once
// One running copy per root folder. The lock is released when the object dies;
// a lock left by a run that crashed does not block the next start.
#include <QString>
#include <memory>

class QLockFile;

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

    // Where the lock of a root folder lives: the user's runtime folder, keyed by the root's path.
    static QString LockFilePathFor(const QString& rootPath);

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_locked = false;
};

} // namespace quillon
