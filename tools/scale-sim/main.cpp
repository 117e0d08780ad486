// scale-sim: a store full of simulated scales on loopback addresses, for tests and demos.
//
//   scale-sim [--port N] [--data-dir DIR] [--range 127.0.1.1-200[:MODE]] [--range 127.1.0.1+2000[:MODE]]
//             ADDRESS[:MODE]...
//
// MODE is one of hang, refuse, slow=MS, garbage, drop, reject, padded, reserved. Only 127.0.0.0/8 is served.
// Each scale has its own listening socket bound to its own loopback address: never the wildcard, which
// would make the simulator reachable from other hosts. Thousands of scales need as many descriptors, so
// the descriptor limit is raised to the hard limit at start.

#include "transferprotocol.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <list>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace transfer;

namespace {

constexpr int kDataTypes[] = {52, 56, 61};
// A client that neither finishes nor leaves is cut loose after this long.
constexpr qint64 kIdleLimitMs = 60000;
constexpr qint64 kSlowTickMs = 20;

int g_wakePipe[2] = {-1, -1};
volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
    const char c = 0;
    [[maybe_unused]] ssize_t n = ::write(g_wakePipe[1], &c, 1);
}

qint64 nowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

enum class Mode { Normal, Hang, Refuse, Slow, Garbage, Drop, Reject, Padded, Reserved };

struct Scale {
    QByteArray address;
    Mode mode = Mode::Normal;
    int slowMs = 0;
    int listenFd = -1;
    QHash<int, QByteArray> data;
};

struct Conn {
    int fd = -1;
    Scale *scale = nullptr;
    QByteArray in;
    bool haveHeader = false;
    Header header;
    bool replying = false;
    bool hanging = false; // request taken, reply never comes
    QByteArray out;
    qsizetype sent = 0;
    qsizetype sendLimit = 0; // drop mode stops here
    qint64 replyStart = 0;
    qint64 lastActivity = 0;
    bool done = false;
};

const char *modeName(Mode m)
{
    switch (m) {
    case Mode::Normal: return "normal";
    case Mode::Hang: return "hang";
    case Mode::Refuse: return "refuse";
    case Mode::Slow: return "slow";
    case Mode::Garbage: return "garbage";
    case Mode::Drop: return "drop";
    case Mode::Reject: return "reject";
    case Mode::Padded: return "padded";
    case Mode::Reserved: return "reserved";
    }
    return "?";
}

bool parseMode(const QByteArray &text, Scale *s)
{
    if (text.isEmpty())
        s->mode = Mode::Normal;
    else if (text == "hang")
        s->mode = Mode::Hang;
    else if (text == "refuse")
        s->mode = Mode::Refuse;
    else if (text == "garbage")
        s->mode = Mode::Garbage;
    else if (text == "drop")
        s->mode = Mode::Drop;
    else if (text == "reject")
        s->mode = Mode::Reject;
    else if (text == "padded")
        s->mode = Mode::Padded;
    else if (text == "reserved")
        s->mode = Mode::Reserved;
    else if (text.startsWith("slow=")) {
        bool ok = false;
        const int ms = text.mid(5).toInt(&ok);
        if (!ok || ms < 0 || ms > 600000)
            return false;
        s->mode = Mode::Slow;
        s->slowMs = ms;
    } else
        return false;
    return true;
}

class Simulator
{
public:
    bool addScale(const QByteArray &spec, QByteArray *error);
    bool addRange(const QByteArray &spec, QByteArray *error);
    void setDataDir(const QString &dir) { m_dataDir = dir; }
    bool listenAll(quint16 port, QByteArray *error);
    void run();
    quint16 port() const { return m_port; }
    std::size_t scaleCount() const { return m_scales.size(); }

private:
    bool addOne(const QByteArray &address, const QByteArray &mode, QByteArray *error);
    void loadStored(Scale &s);
    bool store(Scale &s, int type, const QByteArray &bytes);
    void accept(Scale &s);
    void onReadable(Conn &c);
    void onRequest(Conn &c);
    void startReply(Conn &c, const QByteArray &frame, qsizetype limit);
    void pump(Conn &c, qint64 now);
    static qsizetype allowedEnd(const Conn &c, qint64 now);
    void close(Conn &c);
    void log(const Scale &s, const char *fmt, ...) __attribute__((format(printf, 3, 4)));

    std::vector<std::unique_ptr<Scale>> m_scales;
    QHash<QByteArray, bool> m_known;
    std::list<Conn> m_conns;
    QString m_dataDir;
    quint16 m_port = 0;
};

bool Simulator::addOne(const QByteArray &address, const QByteArray &mode, QByteArray *error)
{
    if (!isLoopbackIPv4(address)) {
        *error = "refusing " + address + ": only loopback addresses (127.x.x.x) are served";
        return false;
    }
    if (m_known.contains(address)) {
        *error = "address given twice: " + address;
        return false;
    }
    m_known.insert(address, true);
    auto s = std::make_unique<Scale>();
    s->address = address;
    if (!parseMode(mode, s.get())) {
        *error = "unknown mode '" + mode + "' for " + address;
        return false;
    }
    m_scales.push_back(std::move(s));
    return true;
}

bool Simulator::addScale(const QByteArray &spec, QByteArray *error)
{
    const int colon = int(spec.indexOf(':'));
    return colon < 0 ? addOne(spec, {}, error) : addOne(spec.left(colon), spec.mid(colon + 1), error);
}

// "127.0.1.1-200[:mode]": the last part runs from its first to its second number.
// "127.1.0.1+2000[:mode]": 2000 consecutive addresses from the first, across parts.
bool Simulator::addRange(const QByteArray &spec, QByteArray *error)
{
    const int colon = int(spec.indexOf(':'));
    const QByteArray range = colon < 0 ? spec : spec.left(colon);
    const QByteArray mode = colon < 0 ? QByteArray() : spec.mid(colon + 1);
    if (const int plus = int(range.indexOf('+')); plus > 0) {
        bool ok = false;
        const int count = range.mid(plus + 1).toInt(&ok);
        const auto start = parseDottedIPv4(range.left(plus));
        if (!ok || !start || count < 1 || count > 65536 || (*start >> 24) != 127 || ((*start + quint32(count - 1)) >> 24) != 127) {
            *error = "bad range '" + spec + "' (expected like 127.1.0.1+2000, within 127.0.0.0/8)";
            return false;
        }
        for (int i = 0; i < count; ++i) {
            const quint32 a = *start + quint32(i);
            const QByteArray text = QByteArray::number(a >> 24) + '.' + QByteArray::number((a >> 16) & 255) + '.'
                                    + QByteArray::number((a >> 8) & 255) + '.' + QByteArray::number(a & 255);
            if (!addOne(text, mode, error))
                return false;
        }
        return true;
    }
    const int dash = int(range.lastIndexOf('-'));
    const int dot = int(range.lastIndexOf('.'));
    bool ok = false;
    const int last = dash > dot ? range.mid(dash + 1).toInt(&ok) : -1;
    const QByteArray firstAddress = dash > dot ? range.left(dash) : QByteArray();
    if (!ok || !isDottedIPv4(firstAddress) || last < 0 || last > 255) {
        *error = "bad range '" + spec + "' (expected like 127.0.1.1-200)";
        return false;
    }
    const QByteArray prefix = firstAddress.left(dot + 1);
    const int first = firstAddress.mid(dot + 1).toInt();
    if (first > last) {
        *error = "empty range '" + spec + "'";
        return false;
    }
    for (int i = first; i <= last; ++i)
        if (!addOne(prefix + QByteArray::number(i), mode, error))
            return false;
    return true;
}

void Simulator::loadStored(Scale &s)
{
    if (m_dataDir.isEmpty())
        return;
    for (int type : kDataTypes) {
        QFile f(QStringLiteral("%1/%2/F%3.DAT").arg(m_dataDir, QString::fromLatin1(s.address)).arg(type));
        if (f.size() <= qint64(kMaxPayload) && f.open(QIODevice::ReadOnly))
            s.data.insert(type, f.readAll());
    }
}

// A scale keeps one format per format number: a written record replaces the one of the same
// number and leaves the others. Records are "DEC8 number, HEX4 byte length, ..." hex text on one line.
QByteArray mergeFormats(const QByteArray &stored, const QByteArray &written)
{
    const auto split = [](const QByteArray &line, QList<QPair<QByteArray, QByteArray>> *out) {
        const QByteArray text = line.trimmed();
        for (qsizetype p = 0; p < text.size();) {
            bool ok = false;
            const qsizetype chars = 2 * qsizetype(text.mid(p + 8, 4).toUInt(&ok, 16));
            if (!ok || chars < 24 || p + chars > text.size())
                return false;
            out->append({text.mid(p, 8), text.mid(p, chars)});
            p += chars;
        }
        return true;
    };
    QList<QPair<QByteArray, QByteArray>> old, added;
    if (!split(written, &added) || added.isEmpty() || !split(stored, &old))
        return written; // not records we understand: taken as the whole file
    for (const auto &r : added) {
        const auto same = std::find_if(old.begin(), old.end(), [&](const auto &o) { return o.first == r.first; });
        if (same != old.end())
            *same = r;
        else
            old.append(r);
    }
    std::stable_sort(old.begin(), old.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QByteArray out;
    for (const auto &r : old)
        out += r.second;
    return out + "\r\n";
}

bool Simulator::store(Scale &s, int type, const QByteArray &written)
{
    const QByteArray bytes = type == 52 ? mergeFormats(s.data.value(type), written) : written;
    if (!m_dataDir.isEmpty()) {
        // Temporary file + rename, without a sync to disk: one slow disk flush would
        // stall every simulated scale, and a simulator need not survive power loss.
        const QString dir = QStringLiteral("%1/%2").arg(m_dataDir, QString::fromLatin1(s.address));
        const QString path = QStringLiteral("%1/F%2.DAT").arg(dir).arg(type);
        const QString temp = path + QStringLiteral(".part");
        QFile f(temp);
        const bool written = QDir().mkpath(dir) && f.open(QIODevice::WriteOnly | QIODevice::Truncate)
                             && f.write(bytes) == bytes.size() && f.flush();
        f.close();
        if (!written || std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0) {
            QFile::remove(temp);
            return false;
        }
    }
    s.data.insert(type, bytes);
    return true;
}

bool Simulator::listenAll(quint16 port, QByteArray *error)
{
    m_port = port;
    rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &rl);
    }
    for (auto &sp : m_scales) {
        Scale &s = *sp;
        loadStored(s);
        if (s.mode == Mode::Refuse)
            continue; // no listener, so connects are refused
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(m_port);
        a.sin_addr.s_addr = htonl(*parseDottedIPv4(s.address));
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 256) != 0) {
            *error = "cannot listen on " + s.address + ":" + QByteArray::number(m_port) + ": "
                     + QByteArray(std::strerror(errno));
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        if (m_port == 0) { // the first listener picks a free port for all
            socklen_t len = sizeof a;
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
            m_port = ntohs(a.sin_port);
        }
        s.listenFd = fd;
    }
    for (const auto &s : m_scales)
        if (s->mode != Mode::Normal)
            std::printf("%s mode %s\n", s->address.constData(), modeName(s->mode));
    if (m_port == 0) {
        *error = "--port 0 needs at least one scale that is not in refuse mode";
        return false;
    }
    return true;
}

void Simulator::log(const Scale &s, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::printf("%s ", s.address.constData());
    std::vprintf(fmt, ap);
    std::printf("\n");
    va_end(ap);
}

void Simulator::accept(Scale &s)
{
    for (;;) {
        const int fd = ::accept4(s.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        Conn c;
        c.fd = fd;
        c.scale = &s;
        c.lastActivity = nowMs();
        m_conns.push_back(std::move(c));
    }
}

void Simulator::close(Conn &c)
{
    if (c.fd >= 0)
        ::close(c.fd);
    c.fd = -1;
    c.done = true;
}

void Simulator::startReply(Conn &c, const QByteArray &frame, qsizetype limit)
{
    c.replying = true;
    c.out = frame;
    c.sent = 0;
    c.sendLimit = limit;
    c.replyStart = nowMs();
}

void Simulator::onRequest(Conn &c)
{
    Scale &s = *c.scale;
    const auto op = Op(c.header.code);
    const int type = c.header.type;
    const QByteArray payload = c.in.mid(kHeaderSize);
    const char *opName = op == Op::Write ? "WR" : "RD";
    QByteArray reply;
    const char *outcome = "ok";

    if ((op != Op::Write && op != Op::Read) || !isDataType(type)) {
        log(s, "bad request (operation %d, type %d)", int(c.header.code), type);
        startReply(c, encodeReply(Status::BadRequest, std::uint8_t(type), {}), -1);
        return;
    }
    switch (s.mode) {
    case Mode::Hang:
        log(s, "%s %d %lld bytes: hanging", opName, type, qlonglong(payload.size()));
        c.hanging = true;
        return;
    case Mode::Garbage:
        log(s, "%s %d: replying garbage", opName, type);
        startReply(c, QByteArray("HTTP/1.0 500 Nonsense\r\n\r\n").leftJustified(64, '#'), -1);
        return;
    case Mode::Reject:
        log(s, "%s %d: refused", opName, type);
        startReply(c, encodeReply(Status::Refused, std::uint8_t(type), {}), -1);
        return;
    case Mode::Padded:
        log(s, "%s %d: refused, with bytes a refusal never carries", opName, type);
        startReply(c, encodeReply(Status::Refused, std::uint8_t(type), "oops"), -1);
        return;
    default:
        break;
    }
    if (op == Op::Write) {
        if (store(s, type, payload)) {
            reply = encodeReply(Status::Ok, std::uint8_t(type), {});
        } else {
            outcome = "refused: cannot store";
            reply = encodeReply(Status::Refused, std::uint8_t(type), {});
        }
    } else if (s.data.contains(type)) {
        reply = encodeReply(Status::Ok, std::uint8_t(type), s.data.value(type));
    } else {
        outcome = "no data";
        reply = encodeReply(Status::NoData, std::uint8_t(type), {});
    }
    if (s.mode == Mode::Reserved) {
        reply[7] = 1;
        outcome = "reserved byte set";
    }
    qsizetype limit = -1;
    if (s.mode == Mode::Drop) {
        limit = std::max<qsizetype>(1, reply.size() / 2);
        outcome = "dropping half-way through the reply";
    }
    log(s, "%s %d %lld bytes: %s", opName, type,
        qlonglong(op == Op::Write ? payload.size() : reply.size() - kHeaderSize), outcome);
    startReply(c, reply, limit);
}

void Simulator::onReadable(Conn &c)
{
    char buf[65536];
    for (;;) {
        qsizetype want = sizeof buf;
        if (!c.replying && !c.hanging) {
            want = c.haveHeader ? kHeaderSize + qsizetype(c.header.length) - c.in.size()
                                : kHeaderSize - c.in.size();
            want = std::min<qsizetype>(want, sizeof buf);
        }
        const ssize_t n = ::recv(c.fd, buf, size_t(want), 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            close(c);
            return;
        }
        if (n < 0)
            return;
        c.lastActivity = nowMs();
        if (c.replying || c.hanging)
            continue; // one request per connection; anything after it is ignored
        c.in.append(buf, n);
        if (!c.haveHeader) {
            const ParseResult r = parseHeader(c.in, &c.header);
            if (r == ParseResult::NeedMore)
                continue;
            if (r != ParseResult::Ok) {
                log(*c.scale, "bad request frame");
                startReply(c, encodeReply(Status::BadRequest, 0, {}), -1);
                return;
            }
            c.haveHeader = true;
        }
        const qsizetype total = kHeaderSize + qsizetype(c.header.length);
        if (c.scale->mode == Mode::Drop && c.header.code == std::uint8_t(Op::Write)
            && c.in.size() >= kHeaderSize + qsizetype(c.header.length) / 2) {
            log(*c.scale, "WR %d: dropping half-way through the request", int(c.header.type));
            close(c);
            return;
        }
        if (c.in.size() == total) {
            onRequest(c);
            if (c.replying || c.hanging)
                return;
        }
    }
}

qsizetype Simulator::allowedEnd(const Conn &c, qint64 now)
{
    qsizetype end = c.out.size();
    if (c.sendLimit >= 0)
        end = std::min(end, c.sendLimit);
    if (c.scale->mode == Mode::Slow && c.scale->slowMs > 0) {
        // Trickle the reply so its last byte leaves after slowMs.
        const qint64 elapsed = now - c.replyStart;
        if (elapsed < c.scale->slowMs)
            end = std::min<qsizetype>(end, qsizetype(c.out.size() * elapsed / c.scale->slowMs));
    }
    return end;
}

void Simulator::pump(Conn &c, qint64 now)
{
    const qsizetype end = allowedEnd(c, now);
    while (c.sent < end) {
        const ssize_t n = ::send(c.fd, c.out.constData() + c.sent, size_t(end - c.sent), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return;
            close(c);
            return;
        }
        c.sent += n;
        c.lastActivity = now;
    }
    if (c.sent == c.out.size() || (c.sendLimit >= 0 && c.sent >= c.sendLimit))
        close(c);
}

void Simulator::run()
{
    std::vector<pollfd> fds;
    std::vector<Scale *> listeners;
    std::vector<Conn *> conns;
    while (!g_stop) {
        fds.clear();
        listeners.clear();
        conns.clear();
        fds.push_back({g_wakePipe[0], POLLIN, 0});
        for (auto &s : m_scales)
            if (s->listenFd >= 0) {
                fds.push_back({s->listenFd, POLLIN, 0});
                listeners.push_back(s.get());
            }
        int timeout = 1000;
        const qint64 before = nowMs();
        for (Conn &c : m_conns) {
            short ev = POLLIN;
            if (c.replying && c.sent < c.out.size()) {
                // A trickling reply whose share so far has left waits for the clock, not for a
                // writable socket: asking for POLLOUT then would wake poll at once, over and over.
                if (c.scale->mode == Mode::Slow && c.sent >= allowedEnd(c, before))
                    timeout = int(kSlowTickMs);
                else
                    ev |= POLLOUT;
            }
            fds.push_back({c.fd, ev, 0});
            conns.push_back(&c);
        }
        if (::poll(fds.data(), nfds_t(fds.size()), timeout) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < listeners.size(); ++i)
            if (fds[1 + i].revents & POLLIN)
                accept(*listeners[i]);
        const qint64 after = nowMs();
        for (std::size_t i = 0; i < conns.size(); ++i) {
            Conn &c = *conns[i];
            const short rev = fds[1 + listeners.size() + i].revents;
            if (!c.done && (rev & (POLLIN | POLLHUP | POLLERR)))
                onReadable(c);
            if (!c.done && c.replying)
                pump(c, after);
            if (!c.done && after - c.lastActivity > kIdleLimitMs)
                close(c);
        }
        m_conns.remove_if([](const Conn &c) { return c.done; });
    }
    for (Conn &c : m_conns)
        close(c);
    for (auto &s : m_scales)
        if (s->listenFd >= 0)
            ::close(s->listenFd);
}

void usage(const char *why)
{
    std::fprintf(stderr,
                 "scale-sim: %s\n"
                 "usage: scale-sim [--port N] [--data-dir DIR] [--range 127.A.B.C-D[:MODE]]\n"
                 "                 [--range 127.A.B.C+COUNT[:MODE]] ADDRESS[:MODE]...\n"
                 "  ADDRESS  a loopback address, 127.0.0.2 ...\n"
                 "  MODE     hang | refuse | slow=MS | garbage | drop | reject | padded | reserved\n"
                 "  --port   TCP port for every scale (default QUILLON_SCALE_PORT or 3001; 0 picks a free one)\n",
                 why);
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Simulator sim;
    int port = kDefaultPort;
    if (const auto p = portFromText(qgetenv("QUILLON_SCALE_PORT")))
        port = *p;
    QByteArray error;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            bool ok = false;
            port = QByteArray(argv[++i]).toInt(&ok);
            if (!ok || port < 0 || port > 65535) {
                usage("bad port");
                return 2;
            }
        } else if (arg == "--data-dir" && hasValue) {
            sim.setDataDir(QString::fromLocal8Bit(argv[++i]));
        } else if (arg == "--range" && hasValue) {
            if (!sim.addRange(argv[++i], &error)) {
                usage(error.constData());
                return 2;
            }
        } else if (arg == "-h" || arg == "--help") {
            usage("simulated scales on loopback addresses, for trying Quillon and for its tests;\n"
                  "it serves 127.0.0.0/8 only and is not needed to work with real scales");
            return 0;
        } else if (arg.startsWith('-')) {
            usage(("unknown option " + arg).constData());
            return 2;
        } else if (!sim.addScale(arg, &error)) {
            usage(error.constData());
            return 2;
        }
    }
    if (sim.scaleCount() == 0) {
        usage("no scale given");
        return 2;
    }
    if (::pipe2(g_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("scale-sim: pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    if (!sim.listenAll(quint16(port), &error)) {
        std::fprintf(stderr, "scale-sim: %s\n", error.constData());
        return 1;
    }
    std::printf("scale-sim: listening on port %u with %zu scales\n", unsigned(sim.port()), sim.scaleCount());
    sim.run();
    std::printf("scale-sim: stopped\n");
    return 0;
}
