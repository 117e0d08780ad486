#include "scale/reachability.h"

#include "platform/ini.h"
#include "platform/log.h"

#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace quillon {

namespace {
// A check past its deadline by this much is ended: a ping program that hangs
// must not hold its slot, nor its row "checking", for ever.
constexpr int kGraceMs = 2000;

std::optional<quint16> portNumber(const QString& text)
{
    bool ok = false;
    const int p = text.trimmed().toInt(&ok);
    if (!ok || p < 1 || p > 65535)
        return std::nullopt;
    return quint16(p);
}
} // namespace

ReachabilityCheck::Settings ReachabilityCheck::ReadSettings(const QString& iniFile)
{
    const QString section = QStringLiteral("Transfer");
    Settings s;
    const QString check = ReadIniString(section, QStringLiteral("Check"), iniFile).trimmed();
    if (check.compare(QLatin1String("port"), Qt::CaseInsensitive) == 0) {
        s.method = Method::Port;
        s.maxParallel = 128; // a socket each, no process
    }
    const QString ping = ReadIniString(section, QStringLiteral("Ping"), iniFile).trimmed();
    if (!ping.isEmpty())
        s.pingProgram = ping;
    const QString fping = ReadIniString(section, QStringLiteral("Fping"), iniFile).trimmed();
    if (!fping.isEmpty())
        s.fpingProgram = fping.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0 ? QString() : fping;
    if (const auto p = portNumber(QString::fromLocal8Bit(qgetenv("QUILLON_SCALE_PORT"))))
        s.port = *p;
    else if (const auto p = portNumber(QString::number(LeadingNumber(ReadIniString(section, QStringLiteral("Port"), iniFile)))))
        s.port = *p;
    return s;
}

ReachabilityCheck::ReachabilityCheck(const Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings)
{
    m_settings.maxParallel = qMax(1, m_settings.maxParallel);
    m_sweep = new QTimer(this);
    m_sweep->setInterval(250);
    connect(m_sweep, &QTimer::timeout, this, &ReachabilityCheck::sweep);
}

ReachabilityCheck::~ReachabilityCheck()
{
    stop();
}

void ReachabilityCheck::start(const QStringList& addresses)
{
    stop();
    m_rows.clear();
    for (const QString& a : addresses)
        m_rows.append(Row{a, State::Queued, QString()});
    m_queue.clear();
    for (int i = 0; i < m_rows.size(); ++i)
        m_queue << i;
    m_active = true;
    m_sweep->start();
    if (m_settings.method == Method::Ping && !m_settings.fpingProgram.isEmpty() && !m_rows.isEmpty() && startFping())
        return;
    fillSlots();
    checkFinished();
}

void ReachabilityCheck::stop()
{
    m_sweep->stop();
    m_active = false;
    if (m_fping) {
        m_fping->disconnect(this);
        m_fping->kill();
        m_fping->waitForFinished(1000);
        delete m_fping;
        m_fping = nullptr;
    }
    for (Job* job : std::as_const(m_jobs)) {
        if (job->process) {
            job->process->disconnect(this);
            job->process->kill();
            job->process->waitForFinished(1000);
            delete job->process;
        }
        if (job->socket) {
            job->socket->disconnect(this);
            job->socket->abort();
            delete job->socket;
        }
        delete job;
    }
    m_jobs.clear();
    m_queue.clear();
    m_running = 0;
}

int ReachabilityCheck::pending() const
{
    int n = 0;
    for (const Row& r : m_rows)
        n += r.state == State::Queued || r.state == State::Checking;
    return n;
}

void ReachabilityCheck::set(int index, State state, const QString& reason)
{
    Row& r = m_rows[index];
    if (r.state == state && r.reason == reason)
        return;
    r.state = state;
    r.reason = reason;
    emit changed(index);
}

bool ReachabilityCheck::startFping()
{
    // Answers from one process, one socket.
    m_fping = new QProcess(this);
    m_fping->setStandardErrorFile(QProcess::nullDevice());
    QStringList args{QStringLiteral("-r"), QStringLiteral("0"), QStringLiteral("-t"),
                     QString::number(m_settings.deadlineMs), QStringLiteral("-i"), QStringLiteral("1")};
    for (const Row& r : std::as_const(m_rows))
        args << r.address;
    connect(m_fping, &QProcess::finished, this, &ReachabilityCheck::fpingDone);
    m_fping->start(m_settings.fpingProgram, args, QIODevice::ReadOnly);
    if (!m_fping->waitForStarted(5000)) {
        WriteLog(QStringLiteral("ReachabilityCheck: %1 cannot be started (%2); one ping per address instead")
                     .arg(m_settings.fpingProgram, m_fping->errorString()));
        m_fping->disconnect(this);
        delete m_fping;
        m_fping = nullptr;
        return false;
    }
    m_fpingStarted.start();
    m_queue.clear();
    for (int i = 0; i < m_rows.size(); ++i)
        set(i, State::Checking);
    return true;
}

void ReachabilityCheck::fpingDone()
{
    QProcess* p = m_fping;
    m_fping = nullptr;
    p->deleteLater();
    // Each address gets a line "ADDR is alive" or "ADDR is unreachable". One
    // without a verdict (fping refused an option, had no socket, was ended) is
    // asked again with ping: an exit code alone cannot tell those from silence.
    QHash<QString, QList<int>> byAddress;
    for (int i = 0; i < m_rows.size(); ++i)
        byAddress[m_rows[i].address] << i;
    for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() < 3 || words[1] != "is")
            continue;
        const State verdict = words[2] == "alive" ? State::Answered : State::NoAnswer;
        for (int i : byAddress.take(QString::fromLatin1(words[0])))
            set(i, verdict);
    }
    if (!byAddress.isEmpty())
        WriteLog(QStringLiteral("ReachabilityCheck: %1 gave no verdict for %2 address(es) (exit %3); asked with ping")
                     .arg(m_settings.fpingProgram)
                     .arg(byAddress.size())
                     .arg(p->exitCode()));
    for (const QList<int>& rest : std::as_const(byAddress))
        for (int i : rest) {
            set(i, State::Queued);
            m_queue << i;
        }
    std::sort(m_queue.begin(), m_queue.end());
    fillSlots();
    checkFinished();
}

void ReachabilityCheck::fillSlots()
{
    while (m_active && m_running < m_settings.maxParallel && !m_queue.isEmpty())
        startOne(m_queue.takeFirst());
}

void ReachabilityCheck::startOne(int index)
{
    auto* job = new Job;
    job->index = index;
    job->started.start();
    m_jobs << job;
    ++m_running;
    set(index, State::Checking);
    const QString address = m_rows[index].address;
    if (m_settings.method == Method::Port) {
        job->socket = new QTcpSocket(this);
        connect(job->socket, &QTcpSocket::connected, this, [this, job] { jobDone(job, State::Answered); });
        connect(job->socket, &QTcpSocket::errorOccurred, this, [this, job](QAbstractSocket::SocketError e) {
            if (e == QAbstractSocket::ConnectionRefusedError)
                jobDone(job, State::PortClosed, job->socket->errorString());
            else if (e == QAbstractSocket::SocketResourceError)
                jobDone(job, State::NotStarted, job->socket->errorString());
            else
                jobDone(job, State::NoAnswer, job->socket->errorString());
        });
        job->socket->connectToHost(address, m_settings.port);
        return;
    }
    job->process = new QProcess(this);
    job->process->setStandardOutputFile(QProcess::nullDevice());
    job->process->setStandardErrorFile(QProcess::nullDevice());
    connect(job->process, &QProcess::finished, this, [this, job](int code, QProcess::ExitStatus status) {
        jobDone(job, status == QProcess::NormalExit && code == 0 ? State::Answered : State::NoAnswer);
    });
    connect(job->process, &QProcess::errorOccurred, this, [this, job](QProcess::ProcessError e) {
        // Out of processes or file handles ends here too, and the row says so.
        if (e == QProcess::FailedToStart)
            jobDone(job, State::NotStarted,
                    QStringLiteral("%1: %2").arg(m_settings.pingProgram, job->process->errorString()));
    });
    // iputils' ping takes a fractional reply time-out in seconds.
    job->process->start(m_settings.pingProgram,
                        {QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-W"),
                         QString::number(m_settings.deadlineMs / 1000.0), address},
                        QIODevice::ReadOnly);
}

void ReachabilityCheck::jobDone(Job* job, State state, const QString& reason)
{
    if (!m_jobs.removeOne(job))
        return;
    --m_running;
    if (job->process) {
        job->process->disconnect(this);
        job->process->deleteLater();
    }
    if (job->socket) {
        job->socket->disconnect(this);
        job->socket->abort();
        job->socket->deleteLater();
    }
    const int index = job->index;
    delete job;
    set(index, state, reason);
    fillSlots();
    checkFinished();
}

void ReachabilityCheck::sweep()
{
    if (m_fping && m_fpingStarted.elapsed() > m_settings.deadlineMs + m_rows.size() * 2 + kGraceMs) {
        // finished() follows and reads what it printed; ping asks the rest.
        m_fping->kill();
        return;
    }
    const QList<Job*> jobs = m_jobs;
    for (Job* job : jobs) {
        // A connect has exactly the deadline; a process a grace on top, as it ends by itself.
        const qint64 limit = job->socket ? m_settings.deadlineMs : m_settings.deadlineMs + kGraceMs;
        if (job->started.elapsed() <= limit)
            continue;
        if (job->process) {
            job->process->disconnect(this);
            job->process->kill();
            job->process->waitForFinished(1000);
        }
        jobDone(job, State::NoAnswer, tr("no answer within %1 ms").arg(m_settings.deadlineMs));
    }
}

void ReachabilityCheck::checkFinished()
{
    if (!m_active || m_fping || !m_jobs.isEmpty() || !m_queue.isEmpty())
        return;
    m_active = false;
    m_sweep->stop();
    emit finished();
}

} // namespace quillon
