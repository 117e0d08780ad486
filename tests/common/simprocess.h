// Starts scale-sim and vexowtcp from the build's program folder, for tests and the benchmark.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <QStringList>

namespace transfertest {

inline QString programDir()
{
    const QString env = qEnvironmentVariable("QUILLON_BUILD_PROGRAM_DIR");
    return env.isEmpty() ? QStringLiteral(QUILLON_PROGRAM_DIR_BUILD) : env;
}

inline QString simPath() { return programDir() + QStringLiteral("/scale-sim"); }
inline QString driverPath() { return programDir() + QStringLiteral("/vexowtcp"); }

// One simulator process on a free port it picks itself (--port 0).
class SimProcess
{
public:
    ~SimProcess() { stop(); }

    bool start(const QStringList &scales, const QString &dataDir = {})
    {
        QStringList args{QStringLiteral("--port"), QStringLiteral("0")};
        if (!dataDir.isEmpty())
            args << QStringLiteral("--data-dir") << dataDir;
        args << scales;
        m_proc.setProgram(simPath());
        m_proc.setArguments(args);
        // A file, not a pipe: an undrained pipe would stall a busy simulator on its log.
        m_logPath = m_logDir.path() + QStringLiteral("/scale-sim.log");
        m_proc.setStandardOutputFile(m_logPath);
        m_proc.setStandardErrorFile(m_logPath, QIODevice::Append);
        m_proc.start();
        if (!m_proc.waitForStarted(5000))
            return false;
        static const QRegularExpression ready(QStringLiteral("listening on port (\\d+)"));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            const auto m = ready.match(log());
            if (m.hasMatch()) {
                m_port = m.captured(1).toUShort();
                return true;
            }
            if (m_proc.waitForFinished(20))
                return false;
        }
        return false;
    }

    // SIGTERM; true when the simulator ended on its own with exit code 0.
    bool stop()
    {
        if (m_proc.state() == QProcess::NotRunning)
            return m_proc.exitStatus() == QProcess::NormalExit && m_proc.exitCode() == 0;
        m_proc.terminate();
        if (!m_proc.waitForFinished(5000)) {
            m_proc.kill();
            m_proc.waitForFinished(5000);
            return false;
        }
        return m_proc.exitStatus() == QProcess::NormalExit && m_proc.exitCode() == 0;
    }

    quint16 port() const { return m_port; }
    QString log() const
    {
        QFile f(m_logPath);
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }
    QProcess &process() { return m_proc; }

private:
    QProcess m_proc;
    quint16 m_port = 0;
    QTemporaryDir m_logDir;
    QString m_logPath;
};

struct DriverRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray stderrText;
};

// Runs the driver in `workDir` (the program folder); port 0 leaves the port to the INI or default.
inline DriverRun runDriver(const QString &workDir, const QStringList &args, quint16 port,
                           int timeoutMs = 0, int waitMs = 25000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QUILLON_SCALE_PORT"));
    env.remove(QStringLiteral("QUILLON_SCALE_TIMEOUT_MS"));
    if (port)
        env.insert(QStringLiteral("QUILLON_SCALE_PORT"), QString::number(port));
    if (timeoutMs)
        env.insert(QStringLiteral("QUILLON_SCALE_TIMEOUT_MS"), QString::number(timeoutMs));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    p.start(driverPath(), args);
    DriverRun r;
    if (!p.waitForStarted(5000))
        return r;
    r.finished = p.waitForFinished(waitMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.stderrText = p.readAllStandardError();
    return r;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A label data line of `size` hexadecimal characters plus CR LF, different per seed.
inline QByteArray hexLine(int size, int seed)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray line(size, '0');
    quint32 x = 2463534242u ^ quint32(seed * 7919 + 1);
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        line[i] = digits[x & 15];
    }
    return line + "\r\n";
}

} // namespace transfertest
