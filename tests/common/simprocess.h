// Starts scale-sim, vexowtcp and quillon-convert from the build's program folder, for tests and the benchmark.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace transfertest {

inline QString programDir()
{
    return qEnvironmentVariable("QUILLON_BUILD_PROGRAM_DIR", QStringLiteral(QUILLON_PROGRAM_DIR_BUILD));
}
inline QString simPath() { return programDir() + QStringLiteral("/scale-sim"); }
inline QString driverPath() { return programDir() + QStringLiteral("/vexowtcp"); }

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
        // A file, not a pipe: an undrained pipe would stall a busy simulator on its log.
        m_logPath = m_logDir.filePath(QStringLiteral("scale-sim.log"));
        m_proc.setStandardOutputFile(m_logPath);
        m_proc.setStandardErrorFile(m_logPath, QIODevice::Append);
        m_proc.start(simPath(), args + scales);
        static const QRegularExpression ready(QStringLiteral("listening on port (\\d+)"));
        QElapsedTimer t;
        t.start();
        while (m_proc.waitForStarted(5000) && t.elapsed() < 10000 && !m_proc.waitForFinished(20)) {
            const auto m = ready.match(log());
            if (m.hasMatch()) {
                m_port = m.captured(1).toUShort();
                return true;
            }
        }
        return false;
    }

    // SIGTERM; true when the simulator ended on its own with exit code 0.
    bool stop()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.terminate();
            if (!m_proc.waitForFinished(5000)) {
                m_proc.kill();
                m_proc.waitForFinished(5000);
                return false;
            }
        }
        return m_proc.exitStatus() == QProcess::NormalExit && m_proc.exitCode() == 0;
    }

    quint16 port() const { return m_port; }
    qint64 pid() const { return m_proc.processId(); }
    QString log() const { return QString::fromLocal8Bit(readAll(m_logPath)); }

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

// A runtime tree for the staged tools under `root`: the INI, and bin/ with the data files. Returns bin/.
inline QString makeRuntimeTree(const QString &root, const QByteArray &iniExtra = {})
{
    const QString bin = root + QStringLiteral("/bin");
    QDir().mkpath(bin);
    for (const QString &f : QDir(programDir()).entryList({QStringLiteral("*.dsc")}, QDir::Files))
        QFile::copy(programDir() + QLatin1Char('/') + f, bin + QLatin1Char('/') + f);
    writeAll(root + QStringLiteral("/Vexo2005.INI"), "[Setting]\r\nLanguage=English\r\n" + iniExtra);
    return bin;
}

// quillon-convert on the tree of `bin`: its exit code (-1 crashed or hung), its output in `out`.
inline int runConvert(const QString &bin, const QStringList &args, QByteArray *out = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(programDir() + QStringLiteral("/quillon-convert"),
            QStringList{QStringLiteral("--program-dir"), bin} + args);
    if (!p.waitForFinished(60000))
        return -1;
    if (out)
        *out = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A label data line of `size` hexadecimal characters plus CR LF, different per seed.
inline QByteArray hexLine(int size, int seed)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray line(size, '0');
    quint32 x = 2463534242u ^ quint32(seed * 7919 + 1);
    for (char &c : line) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = digits[x & 15];
    }
    return line + "\r\n";
}

} // namespace transfertest
