// vexowtcp: sends label data files to scales, or fetches them from one.
//
//   vexowtcp [--parallel N] [--connect-ms MS] [--reply-ms MS] [--port N] WR|RD 52|56|61 ADDRESS...
//
// Runs in the program folder: reads or creates SM<address>F<type>.DAT there
// and leaves "result" ("address:code" entries joined by ";") before it exits.
// Prints "address code" on standard output as each scale finishes. SIGTERM ends
// the run: finished scales keep their codes, the others get "cancelled".

#include "transferprotocol.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace transfer;

namespace {

constexpr int kDefaultParallel = 64;
constexpr qint64 kConnectDeadlineMs = 2000;
constexpr qint64 kReplyDeadlineMs = 3000;
// Beyond these, a setting is a typo, not a wish.
constexpr int kMaxParallel = 10000;
constexpr qint64 kMaxDeadlineMs = 600000;

volatile sig_atomic_t g_cancelled = 0;
int g_wakePipe[2] = {-1, -1};

void onTerminate(int)
{
    g_cancelled = 1;
    const char c = 0;
    [[maybe_unused]] ssize_t n = ::write(g_wakePipe[1], &c, 1);
}

qint64 nowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void usage(const char *why)
{
    std::fprintf(stderr,
                 "vexowtcp: %s\n"
                 "usage: vexowtcp [--parallel N] [--connect-ms MS] [--reply-ms MS] [--port N]\n"
                 "                WR|RD 52|56|61 ADDRESS...\n"
                 "  WR sends SM<address>F<type>.DAT of the current folder to each scale,\n"
                 "  RD fetches the scale's data into that file.\n"
                 "  Writes \"result\" (address:code;...) in the current folder and\n"
                 "  \"address code\" on standard output as each scale finishes.\n"
                 "  --parallel    scales served at once (default 64)\n"
                 "  --connect-ms  connect deadline (default 2000)\n"
                 "  --reply-ms    deadline for the reply once connected (default 3000)\n"
                 "  --port        the scales' TCP port (default: [Transfer] Port of ../Vexo2005.INI, else 3001)\n",
                 why);
}

// Tests may shorten the deadlines; nothing may lengthen them.
qint64 limitedDeadline(const char *variable, qint64 fallback)
{
    bool ok = false;
    const qint64 v = qEnvironmentVariable(variable).toLongLong(&ok);
    return ok && v > 0 ? std::min(v, fallback) : fallback;
}

struct Job {
    QByteArray address;
    sockaddr_in peer {};
    enum State { Pending, Connecting, Exchanging, Done } state = Pending;
    int fd = -1;
    int code = -1;
    qint64 connectDeadline = 0;
    qint64 exchangeDeadline = 0; // set once connected
    QByteArray out;
    qsizetype sent = 0;
    QByteArray in;
    bool haveHeader = false;
    Header header;
};

class Driver
{
public:
    Driver(Op op, int type, quint16 port, int parallel, qint64 connectMs, qint64 exchangeMs)
        : m_op(op), m_type(type), m_port(port), m_parallel(parallel), m_connectMs(connectMs),
          m_exchangeMs(exchangeMs)
    {
    }

    void add(const QByteArray &address)
    {
        Job job;
        job.address = address;
        const auto ip = parseDottedIPv4(address);
        job.peer.sin_family = AF_INET;
        job.peer.sin_port = htons(m_port);
        job.peer.sin_addr.s_addr = htonl(*ip);
        m_jobs.push_back(std::move(job));
    }

    void run();
    int codeOf(const QByteArray &address) const
    {
        for (const Job &j : m_jobs)
            if (j.address == address)
                return j.code;
        return ResultInvalidAddress;
    }

private:
    void start(Job &job, qint64 now);
    void finish(Job &job, int code);
    void onConnectReady(Job &job);
    void onWritable(Job &job);
    void onReadable(Job &job);
    void complete(Job &job);
    int writeReceived(const Job &job, const QByteArray &bytes);

    Op m_op;
    int m_type;
    quint16 m_port;
    int m_parallel;
    qint64 m_connectMs;
    qint64 m_exchangeMs;
    std::vector<Job> m_jobs;
    int m_active = 0;
};

void Driver::finish(Job &job, int code)
{
    if (job.fd >= 0) {
        ::close(job.fd);
        job.fd = -1;
    }
    if (job.state == Job::Connecting || job.state == Job::Exchanging)
        --m_active;
    job.state = Job::Done;
    job.code = code;
    job.out.clear();
    job.in.clear();
    // The program's progress; a line per scale, flushed, so a reader sees it at once.
    std::printf("%s %d\n", job.address.constData(), code);
    std::fflush(stdout);
    // A failed read must not leave an older file that looks like received data.
    if (m_op == Op::Read && code != ResultOk && code != ResultWriteFailed)
        QFile::remove(scaleFileName(job.address, m_type));
}

void Driver::start(Job &job, qint64 now)
{
    QByteArray payload;
    if (m_op == Op::Write) {
        const QString name = scaleFileName(job.address, m_type);
        QFile file(name);
        if (!QFileInfo(name).isFile() || QFileInfo(name).size() > qint64(kMaxPayload)
            || !file.open(QIODevice::ReadOnly)) {
            finish(job, ResultFileMissing);
            return;
        }
        payload = file.readAll();
        if (file.error() != QFileDevice::NoError || payload.size() > qsizetype(kMaxPayload)) {
            finish(job, ResultFileMissing);
            return;
        }
    }
    job.out = encodeRequest(m_op, std::uint8_t(m_type), payload);
    job.connectDeadline = now + m_connectMs;

    job.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (job.fd < 0) {
        finish(job, ResultConnectFailed);
        return;
    }
    ++m_active;
    job.state = Job::Connecting;
    if (::connect(job.fd, reinterpret_cast<const sockaddr *>(&job.peer), sizeof job.peer) == 0) {
        job.state = Job::Exchanging;
        job.exchangeDeadline = now + m_exchangeMs;
        return;
    }
    if (errno != EINPROGRESS)
        finish(job, errno == ETIMEDOUT ? ResultTimeout : ResultConnectFailed);
}

void Driver::onConnectReady(Job &job)
{
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(job.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        err = errno;
    if (err == 0) {
        job.state = Job::Exchanging;
        job.exchangeDeadline = nowMs() + m_exchangeMs;
    } else
        finish(job, err == ETIMEDOUT ? ResultTimeout : ResultConnectFailed);
}

void Driver::onWritable(Job &job)
{
    while (job.sent < job.out.size()) {
        const ssize_t n = ::send(job.fd, job.out.constData() + job.sent,
                                 size_t(job.out.size() - job.sent), MSG_NOSIGNAL);
        if (n > 0) {
            job.sent += n;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        finish(job, ResultDropped);
        return;
    }
}

void Driver::onReadable(Job &job)
{
    char buf[65536];
    while (job.state == Job::Exchanging) {
        // Never read past the frame: what the scale sends after it is not ours to judge.
        const qsizetype want = job.haveHeader ? kHeaderSize + qsizetype(job.header.length) - job.in.size()
                                              : kHeaderSize - job.in.size();
        const ssize_t n = ::recv(job.fd, buf, size_t(std::min<qsizetype>(want, sizeof buf)), 0);
        if (n == 0) {
            finish(job, ResultDropped);
            return;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return;
            finish(job, ResultDropped);
            return;
        }
        job.in.append(buf, n);
        if (!job.haveHeader) {
            switch (parseHeader(job.in, &job.header)) {
            case ParseResult::NeedMore:
                continue;
            case ParseResult::BadMagic:
            case ParseResult::BadVersion:
            case ParseResult::BadReserved:
            case ParseResult::TooLarge:
                finish(job, ResultProtocolError);
                return;
            case ParseResult::Ok:
                job.haveHeader = true;
                if (job.header.type != m_type
                    || (job.header.length != 0 && !replyCarriesData(m_op, job.header.code))) {
                    finish(job, ResultProtocolError);
                    return;
                }
                job.in.reserve(kHeaderSize + qsizetype(job.header.length));
                break;
            }
        }
        if (job.in.size() == kHeaderSize + qsizetype(job.header.length)) {
            complete(job);
            return;
        }
    }
}

int Driver::writeReceived(const Job &job, const QByteArray &bytes)
{
    QSaveFile file(scaleFileName(job.address, m_type));
    if (!file.open(QIODevice::WriteOnly))
        return ResultWriteFailed;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return ResultWriteFailed;
    }
    return file.commit() ? ResultOk : ResultWriteFailed;
}

void Driver::complete(Job &job)
{
    const auto status = Status(job.header.code);
    int code = ResultProtocolError;
    switch (status) {
    case Status::Ok:
        if (m_op == Op::Write)
            // A scale cannot have taken data it has not fully received.
            code = job.sent == job.out.size() ? ResultOk : ResultProtocolError;
        else
            code = writeReceived(job, job.in.mid(kHeaderSize));
        break;
    case Status::NoData:
        // The program reads "E2" as "nothing there".
        code = m_op == Op::Read ? writeReceived(job, QByteArrayLiteral("E2\r\n")) : ResultProtocolError;
        break;
    case Status::Refused:
    case Status::BadRequest:
        code = ResultRefused;
        break;
    }
    finish(job, code);
}

void Driver::run()
{
    // No run deadline of its own: the program watches the progress lines instead, so a long
    // healthy run is never cut short. Tests may still set one.
    const qint64 runDeadline = nowMs() + limitedDeadline("QUILLON_SCALE_RUN_MS", qint64(1) << 50);
    std::size_t next = 0;
    std::vector<pollfd> fds;
    std::vector<Job *> polled;
    for (;;) {
        qint64 now = nowMs();
        while (!g_cancelled && m_active < m_parallel && next < m_jobs.size() && now < runDeadline)
            start(m_jobs[next++], now);
        if (g_cancelled || (m_active == 0 && (next == m_jobs.size() || now >= runDeadline)))
            break;

        fds.clear();
        polled.clear();
        fds.push_back({g_wakePipe[0], POLLIN, 0});
        polled.push_back(nullptr);
        qint64 wake = runDeadline;
        for (Job &job : m_jobs) {
            if (job.state != Job::Connecting && job.state != Job::Exchanging)
                continue;
            short events = POLLIN;
            if (job.state == Job::Connecting || job.sent < job.out.size())
                events |= POLLOUT;
            fds.push_back({job.fd, events, 0});
            polled.push_back(&job);
            wake = std::min(wake, job.state == Job::Connecting ? job.connectDeadline : job.exchangeDeadline);
        }
        const int timeout = int(std::clamp<qint64>(wake - now, 0, INT_MAX));
        const int ready = ::poll(fds.data(), nfds_t(fds.size()), timeout);
        if (ready < 0 && errno != EINTR) {
            std::perror("vexowtcp: poll");
            break;
        }
        for (std::size_t i = 1; ready > 0 && i < fds.size(); ++i) {
            Job &job = *polled[i];
            const short rev = fds[i].revents;
            if (rev == 0)
                continue;
            if (job.state == Job::Connecting)
                onConnectReady(job);
            if (job.state == Job::Exchanging && (rev & (POLLIN | POLLHUP | POLLERR)))
                onReadable(job);
            if (job.state == Job::Exchanging && (rev & POLLOUT))
                onWritable(job);
        }
        now = nowMs();
        for (Job &job : m_jobs) {
            if (job.state == Job::Connecting && (now >= job.connectDeadline || now >= runDeadline))
                finish(job, ResultTimeout);
            else if (job.state == Job::Exchanging && (now >= job.exchangeDeadline || now >= runDeadline))
                finish(job, ResultTimeout);
        }
    }
    for (Job &job : m_jobs) {
        // Never contacted is not "timed out": the scale may be perfectly well.
        if (job.state == Job::Pending)
            finish(job, g_cancelled ? ResultCancelled : ResultNotAttempted);
        else if (job.state != Job::Done)
            finish(job, g_cancelled ? ResultCancelled : ResultTimeout);
    }
}

// The test override first, then the program's choice, then the INI next to the program folder.
quint16 resolvePort(qint64 given)
{
    if (const auto p = portFromText(qgetenv("QUILLON_SCALE_PORT")))
        return *p;
    if (given > 0)
        return quint16(given);
    QFile ini(QStringLiteral("../Vexo2005.INI"));
    if (ini.open(QIODevice::ReadOnly))
        if (const auto p = portFromIni(ini.read(1 << 20)))
            return *p;
    return kDefaultPort;
}


// The result file is split at ";" and ":" by its reader; an invalid address must not add entries.
QByteArray resultAddress(QByteArray address)
{
    for (char &c : address)
        if (c == ';' || c == ':' || c == '\r' || c == '\n' || c == '\0')
            c = '?';
    return address;
}

} // namespace

// Lets a run with thousands of scales at once open its sockets; poll() has no descriptor ceiling.
int raiseFileLimit(int wanted)
{
    rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0)
        return std::min(wanted, 512);
    if (rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur < rlim_t(wanted) + 64) {
        rl.rlim_cur = rl.rlim_max == RLIM_INFINITY ? rlim_t(wanted) + 64 : std::min(rl.rlim_max, rlim_t(wanted) + 64);
        ::setrlimit(RLIMIT_NOFILE, &rl);
        ::getrlimit(RLIMIT_NOFILE, &rl);
    }
    // Leave room for the data files, the result and the standard streams.
    const rlim_t room = rl.rlim_cur == RLIM_INFINITY ? rlim_t(wanted) : rl.rlim_cur > 64 ? rl.rlim_cur - 64 : 1;
    return int(std::min<rlim_t>(rlim_t(wanted), room));
}

// "--name value" options before the operation; false on a bad value.
bool takeOption(std::vector<QByteArray> &args, const char *name, qint64 min, qint64 max, qint64 *value)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != name)
            continue;
        bool ok = false;
        const qint64 v = args[i + 1].toLongLong(&ok);
        if (!ok || v < min || v > max)
            return false;
        *value = v;
        args.erase(args.begin() + qsizetype(i), args.begin() + qsizetype(i) + 2);
        return true;
    }
    return true;
}

int main(int argc, char **argv)
{
    ::signal(SIGPIPE, SIG_IGN);

    std::vector<QByteArray> args(argv + 1, argv + argc);
    qint64 parallel = kDefaultParallel, connectMs = kConnectDeadlineMs, replyMs = kReplyDeadlineMs, port = 0;
    // Options come first; an address never starts with "-".
    std::vector<QByteArray> options;
    while (args.size() >= 2 && args[0].startsWith("--")) {
        options.push_back(args[0]);
        options.push_back(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (!takeOption(options, "--parallel", 1, kMaxParallel, &parallel)
        || !takeOption(options, "--connect-ms", 1, kMaxDeadlineMs, &connectMs)
        || !takeOption(options, "--reply-ms", 1, kMaxDeadlineMs, &replyMs)
        || !takeOption(options, "--port", 1, 65535, &port)) {
        usage("bad option value");
        return 2;
    }
    if (!options.empty()) {
        usage(("unknown option " + options[0]).constData());
        return 2;
    }
    QByteArray opText, typeText;
    std::size_t first = 0;
    if (!args.empty() && args[0].simplified().contains(' ')) {
        const QList<QByteArray> parts = args[0].simplified().split(' ');
        if (parts.size() != 2) {
            usage("unknown operation");
            return 2;
        }
        opText = parts[0];
        typeText = parts[1];
        first = 1;
    } else if (args.size() >= 2) {
        opText = args[0].trimmed();
        typeText = args[1].trimmed();
        first = 2;
    } else {
        usage("missing operation");
        return 2;
    }
    Op op;
    if (opText.toUpper() == "WR")
        op = Op::Write;
    else if (opText.toUpper() == "RD")
        op = Op::Read;
    else {
        usage("unknown operation");
        return 2;
    }
    bool typeOk = false;
    const int type = typeText.toInt(&typeOk);
    if (!typeOk || !isDataType(type) || typeText.size() != 2) {
        usage("unknown data type");
        return 2;
    }
    if (first >= args.size()) {
        usage("no address");
        return 2;
    }
    const std::vector<QByteArray> addresses(args.begin() + qsizetype(first), args.end());

    // A stale result must never be read as this run's outcome: without removing it, no run.
    QFile stale(QStringLiteral("result"));
    if ((stale.exists() || QFileInfo(stale).isSymLink()) && !stale.remove()) {
        std::fprintf(stderr, "vexowtcp: cannot remove the old result file: %s\n", qPrintable(stale.errorString()));
        return 1;
    }

    if (::pipe2(g_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("vexowtcp: pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);

    Driver driver(op, type, resolvePort(port), raiseFileLimit(int(parallel)),
                  limitedDeadline("QUILLON_SCALE_TIMEOUT_MS", connectMs),
                  limitedDeadline("QUILLON_SCALE_TIMEOUT_MS", replyMs));
    QHash<QByteArray, bool> seen;
    for (const QByteArray &a : addresses) {
        // Checked before any file name is formed from it.
        if (isDottedIPv4(a) && !seen.contains(a)) {
            seen.insert(a, true);
            driver.add(a);
        }
    }
    driver.run();

    QByteArray result;
    for (const QByteArray &a : addresses) {
        if (!result.isEmpty())
            result += ';';
        const int code = isDottedIPv4(a) ? driver.codeOf(a) : int(ResultInvalidAddress);
        result += resultAddress(a) + ':' + QByteArray::number(code);
    }
    QSaveFile out(QStringLiteral("result"));
    if (!out.open(QIODevice::WriteOnly) || out.write(result) != result.size() || !out.commit()) {
        std::fprintf(stderr, "vexowtcp: cannot write the result file: %s\n",
                     qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
