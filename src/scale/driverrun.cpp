#include "scale/driverrun.h"

#include "platform/ini.h"
#include "platform/log.h"
#include "scale/driverresult.h"
#include "scale/scaledata.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <algorithm>

namespace quillon {

namespace {
constexpr int kTimeoutCode = 3;
constexpr int kDefaultStallMs = 30000;
constexpr int kStallCheckMs = 2000;

int iniInt(const QString& iniFile, const char* key, int min, int max, int fallback)
{
    bool ok = false;
    const int v = ReadIniString(QStringLiteral("Transfer"), QString::fromLatin1(key), iniFile).trimmed().toInt(&ok);
    return ok && v >= min && v <= max ? v : fallback;
}

// A driver counts as stuck after this long without a finished scale: every scale in flight ends
// within its connect and reply deadlines, so a healthy run reports at least that often.
int stallLimit(const TransferSettings& s)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue("QUILLON_DRIVER_TIMEOUT_MS", &ok);
    if (ok && v > 0 && v < kDefaultStallMs)
        return v;   // tests shorten it
    return qMax(kDefaultStallMs, s.connectMs + s.replyMs + 5000);
}
} // namespace

TransferSettings ReadTransferSettings(const QString& iniFile)
{
    TransferSettings s;
    s.parallel = iniInt(iniFile, "Parallel", 1, 10000, s.parallel);
    s.connectMs = iniInt(iniFile, "ConnectTimeoutMs", 1, 600000, s.connectMs);
    s.replyMs = iniInt(iniFile, "ReplyTimeoutMs", 1, 600000, s.replyMs);
    s.port = iniInt(iniFile, "Port", 1, 65535, 0);
    return s;
}

QString ScaleFilePath(const QString& workDir, const QString& address, int type)
{
    return QDir(workDir).filePath(QStringLiteral("SM%1F%2.DAT").arg(address).arg(type));
}

QStringList SendExportFiles(const QString& workDir)
{
    const QDir dir(workDir);
    return {dir.filePath(QStringLiteral("~tmpSendFormat.dat")), dir.filePath(QStringLiteral("~tmpSendText.dat")),
            dir.filePath(QStringLiteral("~tmpSendShopName.dat"))};
}

QList<ScaleOutcome> PickedOutcomes(const QStringList& addresses, QStringList* valid)
{
    QList<ScaleOutcome> outcomes;
    for (const QString& a : addresses) {
        ScaleOutcome o{a};
        if (IsDottedIPv4(a))
            *valid << a;
        else
            std::fill(std::begin(o.codes), std::end(o.codes), kInvalidAddressCode);
        outcomes << o;
    }
    return outcomes;
}

void PlaceSendFiles(const QString& workDir, const QStringList& addresses, const QStringList& exports)
{
    for (const QString& a : addresses) {
        for (int k = 0; k < 3 && k < exports.size(); ++k) {
            const QString target = ScaleFilePath(workDir, a, kTransferTypes[k]);
            QFile::remove(target);
            if (!QFile::copy(exports[k], target))
                WriteLog(QStringLiteral("Transfer: cannot copy %1 to %2").arg(exports[k], target));
        }
    }
}

DriverRun::DriverRun(const QString& driverProgram, const QString& workDir, const TransferSettings& settings,
                     QObject* parent)
    : QObject(parent), m_program(driverProgram), m_workDir(workDir), m_settings(settings)
{
    m_stallTimer = new QTimer(this);
    connect(m_stallTimer, &QTimer::timeout, this, &DriverRun::checkStall);
}

DriverRun::~DriverRun()
{
    if (m_driver) {
        m_driver->disconnect(this);
        m_driver->kill();
        m_driver->waitForFinished(3000);
        delete m_driver;
    }
}

QString DriverRun::resultFile() const
{
    return QDir(m_workDir).filePath(QStringLiteral("result"));
}

void DriverRun::start(Direction direction, const QList<ScaleOutcome>& outcomes)
{
    if (m_running)
        return;
    m_direction = direction;
    m_outcomes = outcomes;
    m_type = 0;
    m_running = true;
    m_cancelled = false;
    m_failure = Failure::None;
    m_stallLimitMs = stallLimit(m_settings);
    QMetaObject::invokeMethod(this, &DriverRun::startType, Qt::QueuedConnection);
}

void DriverRun::exec(Direction direction, const QList<ScaleOutcome>& outcomes)
{
    QEventLoop loop;
    connect(this, &DriverRun::finished, &loop, &QEventLoop::quit);
    start(direction, outcomes);
    if (m_running)
        loop.exec();
}

void DriverRun::cancel()
{
    if (!m_running || m_cancelled)
        return;
    m_cancelled = true;
    // The driver ends on SIGTERM and writes the codes of what it finished.
    if (m_driver && m_driver->state() != QProcess::NotRunning)
        m_driver->terminate();
}

// The valid addresses this type goes to. A scale that timed out, or was never reached, skips
// its remaining types: one dead scale costs one deadline, not three.
QStringList DriverRun::typeAddresses()
{
    QStringList run;
    for (ScaleOutcome& o : m_outcomes) {
        if (o.codes[m_type] != kNotRun)
            continue;   // invalid
        const int before = m_type > 0 ? o.codes[m_type - 1] : 0;
        if (before == kTimeoutCode || before == kNotAttemptedCode || before == kCancelledCode)
            o.codes[m_type] = before == kCancelledCode ? kCancelledCode : kNotAttemptedCode;
        else
            run << o.address;
    }
    return run;
}

void DriverRun::startType()
{
    if (!m_running)
        return;
    if (m_cancelled) {
        for (ScaleOutcome& o : m_outcomes)
            for (int k = m_type; k < 3; ++k)
                if (o.codes[k] == kNotRun)
                    o.codes[k] = kCancelledCode;
        endRun(Failure::None);
        return;
    }
    if (m_type >= 3) {
        endRun(Failure::None);
        return;
    }
    const QStringList addresses = typeAddresses();
    if (addresses.isEmpty()) {
        ++m_type;
        startType();
        return;
    }
    const QString result = resultFile();
    // A result left by an earlier run must never be read as this run's: without removing it, no run.
    if ((QFileInfo::exists(result) || QFileInfo(result).isSymLink()) && !QFile::remove(result)) {
        WriteLog(QStringLiteral("Transfer: cannot delete the old result file %1").arg(result));
        endRun(Failure::ResultNotDeleted);
        return;
    }
    if (!QFileInfo(m_program).isExecutable()) {
        WriteLog(QStringLiteral("Transfer: cannot start %1").arg(m_program));
        endRun(Failure::DriverNotStarted);
        return;
    }
    const TransferSettings defaults;
    QStringList args;
    // Only what differs from the driver's own defaults, so its command line stays as short as before.
    if (m_settings.parallel != defaults.parallel)
        args << QStringLiteral("--parallel") << QString::number(m_settings.parallel);
    if (m_settings.connectMs != defaults.connectMs)
        args << QStringLiteral("--connect-ms") << QString::number(m_settings.connectMs);
    if (m_settings.port != 0)
        args << QStringLiteral("--port") << QString::number(m_settings.port);
    if (m_settings.replyMs != defaults.replyMs)
        args << QStringLiteral("--reply-ms") << QString::number(m_settings.replyMs);
    args << (m_direction == Direction::Send ? QStringLiteral("WR") : QStringLiteral("RD"))
         << QString::number(kTransferTypes[m_type]);
    args += addresses;

    m_lineCodes.clear();
    m_pending.clear();
    m_typeScales = int(addresses.size());
    m_driver = new QProcess(this);
    m_driver->setProgram(m_program);
    m_driver->setArguments(args);
    // The exchange files live in the writable program folder (the user's own on an installed system).
    m_driver->setWorkingDirectory(m_workDir);
    m_driver->setStandardErrorFile(QProcess::nullDevice());
    connect(m_driver, &QProcess::readyReadStandardOutput, this, &DriverRun::readProgress);
    connect(m_driver, &QProcess::finished, this, &DriverRun::driverEnded, Qt::QueuedConnection);
    connect(
        m_driver, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart && m_driver && m_driver->state() == QProcess::NotRunning) {
                WriteLog(QStringLiteral("Transfer: cannot start %1").arg(m_program));
                endRun(Failure::DriverNotStarted);
            }
        },
        Qt::QueuedConnection);
    emit typeStarted(m_type, m_typeScales);
    m_sinceProgress.start();
    m_driver->start();
    m_stallTimer->start(qMin(kStallCheckMs, m_stallLimitMs));
}

// "address code" lines, one per finished scale.
void DriverRun::readProgress()
{
    if (!m_driver)
        return;
    m_pending += m_driver->readAllStandardOutput();
    const qsizetype end = m_pending.lastIndexOf('\n');
    if (end < 0) {
        // A driver that floods one endless line is not reporting progress.
        if (m_pending.size() > 4096)
            m_pending.clear();
        return;
    }
    bool any = false;
    for (const QByteArray& line : m_pending.left(end).split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        bool ok = false;
        const int code = parts.size() == 2 ? parts[1].toInt(&ok) : 0;
        if (!ok)
            continue;
        const QString address = QString::fromLatin1(parts[0]);
        if (!m_lineCodes.contains(address)) {
            m_lineCodes.insert(address, code);
            any = true;
        }
    }
    m_pending.remove(0, end + 1);
    if (!any)
        return;
    m_sinceProgress.start();
    int failures = 0;
    for (const ScaleOutcome& o : std::as_const(m_outcomes)) {
        bool failed = m_lineCodes.value(o.address, 0) != 0;
        for (int k = 0; k < 3 && !failed; ++k)
            failed = o.codes[k] != 0 && o.codes[k] != kNotRun;
        failures += failed ? 1 : 0;
    }
    emit progress(m_type, int(qMin<qsizetype>(m_lineCodes.size(), m_typeScales)), m_typeScales, failures);
}

void DriverRun::driverEnded()
{
    if (!m_driver)
        return;
    m_stallTimer->stop();
    readProgress();
    m_driver->disconnect(this);
    const bool ran = m_driver->exitStatus() == QProcess::NormalExit && m_driver->exitCode() == 0;
    const bool usageError = m_driver->exitStatus() == QProcess::NormalExit && m_driver->exitCode() == 2;
    if (!ran)
        WriteLog(QStringLiteral("Transfer: the driver ended with exit status %1%2")
                     .arg(m_driver->exitCode())
                     .arg(m_driver->exitStatus() == QProcess::CrashExit ? QStringLiteral(" (crashed)") : QString()));
    m_driver->deleteLater();
    m_driver = nullptr;

    QStringList run;
    for (const ScaleOutcome& o : std::as_const(m_outcomes))
        if (o.codes[m_type] == kNotRun)
            run << o.address;
    // Only a driver that ran has a result of this run; whatever file is there otherwise is not it.
    // Without one, what it reported line by line still stands.
    QList<int> codes;
    if (ran) {
        codes = ReadDriverCodes(resultFile(), run);
    } else {
        const int rest = usageError ? kUsageErrorCode : m_cancelled ? kCancelledCode : kNoResultCode;
        for (const QString& a : std::as_const(run))
            codes << (usageError ? rest : m_lineCodes.value(a, rest));
    }
    for (int i = 0, j = 0; i < m_outcomes.size(); ++i)
        if (m_outcomes[i].codes[m_type] == kNotRun)
            m_outcomes[i].codes[m_type] = codes[j++];
    ++m_type;
    startType();
}

void DriverRun::checkStall()
{
    if (!m_driver || m_sinceProgress.elapsed() <= m_stallLimitMs)
        return;
    m_stallTimer->stop();
    m_driver->disconnect(this);
    m_driver->kill();
    m_driver->waitForFinished(3000);
    m_driver->deleteLater();
    m_driver = nullptr;
    WriteLog(QStringLiteral("Transfer: the driver reported nothing for %1 ms and was stopped").arg(m_stallLimitMs));
    // What it reported stands; everything else of the run has no result.
    for (ScaleOutcome& o : m_outcomes) {
        if (o.codes[m_type] == kNotRun)
            o.codes[m_type] = m_lineCodes.value(o.address, kNoResultCode);
        for (int k = m_type + 1; k < 3; ++k)
            if (o.codes[k] == kNotRun)
                o.codes[k] = kNoResultCode;
    }
    endRun(Failure::DriverStalled);
}

void DriverRun::endRun(Failure failure)
{
    m_stallTimer->stop();
    if (m_driver) {
        m_driver->disconnect(this);
        m_driver->deleteLater();
        m_driver = nullptr;
    }
    m_failure = failure;
    m_running = false;
    emit finished();
}

} // namespace quillon
