#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace quillon {

namespace {

// What a later start sends: a mark, then its paths. The running copy answers one byte.
constexpr quint32 kHandOverMark = 0x514C4E31;
constexpr char kHandOverReceived = '1';
// A hand-over is a few paths; anything much larger is not one of ours.
constexpr qint64 kHandOverMaxBytes = 1 << 20;
// A connection that sends nothing is dropped rather than held for ever.
constexpr int kHandOverIdleMs = 10000;

int remainingMs(const QDeadlineTimer& deadline) { return int(qMax<qint64>(0, deadline.remainingTime())); }

} // namespace

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
    m_serverPath = m_path.left(m_path.size() - int(qstrlen(".lock"))) + QStringLiteral(".socket");
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

bool SingleInstance::listen(std::function<void(const QStringList&)> onFiles)
{
    if (!m_locked)
        return false;
    if (m_server)
        return m_server->isListening();
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock holder gets here, so a socket file already there was left by a run that crashed.
    QLocalServer::removeServer(m_serverPath);
    if (!m_server->listen(m_serverPath))
        return false;
    QLocalServer* server = m_server.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, onFiles] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(kHandOverIdleMs, socket, &QLocalSocket::abort);
            auto read = [socket, server, onFiles] {
                if (socket->bytesAvailable() > kHandOverMaxBytes) {
                    socket->abort();
                    return;
                }
                QDataStream in(socket);
                in.setVersion(QDataStream::Qt_6_0);
                in.startTransaction();
                quint32 mark = 0;
                QStringList paths;
                in >> mark >> paths;
                if (!in.commitTransaction())
                    return;   // the rest is still on its way
                if (mark != kHandOverMark) {
                    socket->abort();
                    return;
                }
                socket->write(&kHandOverReceived, 1);
                socket->flush();
                socket->disconnectFromServer();
                // Opening may ask the user; the socket is answered first.
                QTimer::singleShot(0, server, [onFiles, paths] { onFiles(paths); });
            };
            QObject::connect(socket, &QLocalSocket::readyRead, socket, read);
            if (socket->bytesAvailable() > 0)
                read();
        }
    });
    return true;
}

bool SingleInstance::handOver(const QStringList& absolutePaths, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running copy makes its socket just after taking the lock: a start that
    // comes right after it may find no socket yet.
    for (;;) {
        socket.connectToServer(m_serverPath);
        if (socket.waitForConnected(remainingMs(deadline)))
            break;
        socket.abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(qMin(100, remainingMs(deadline)));
    }
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kHandOverMark << absolutePaths;
    socket.write(block);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remainingMs(deadline)))
            return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(remainingMs(deadline)))
            return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == kHandOverReceived;
}

} // namespace quillon
