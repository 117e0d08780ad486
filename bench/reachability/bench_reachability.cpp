// The scale picker's reachability check of 500 loopback addresses (and 2,000 with
// fping), each way it can run: one fping for all, one ping per address with a
// bounded number at once, and a connect to the transfer port (closed, and open on
// a listener). Prints seconds and the outcome counts; the target is 3 s for 500.
#include "scale/reachability.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTimer>

#include <cstdio>

using quillon::ReachabilityCheck;

namespace {

QStringList loopback(int count, bool distinct)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << (distinct ? QStringLiteral("127.0.%1.%2").arg(10 + i / 250).arg(i % 250 + 1) : QStringLiteral("127.0.0.1"));
    return out;
}

void run(const char* name, const ReachabilityCheck::Settings& s, const QStringList& addresses)
{
    ReachabilityCheck check(s);
    QEventLoop loop;
    QObject::connect(&check, &ReachabilityCheck::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit); // never hangs the bench
    QElapsedTimer t;
    t.start();
    check.start(addresses);
    if (check.pending() > 0)
        loop.exec();
    const double seconds = t.elapsed() / 1000.0;
    int answered = 0, other = 0;
    for (int i = 0; i < addresses.size(); ++i)
        (check.state(i) == ReachabilityCheck::State::Answered ? answered : other)++;
    std::printf("%-44s %5lld addresses  %6.2f s  answered %d, other %d%s\n", name, qlonglong(addresses.size()), seconds,
                answered, other, check.pending() ? "  (unfinished)" : "");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList five = loopback(500, true);
    ReachabilityCheck::Settings s;
    if (!QStandardPaths::findExecutable(QStringLiteral("fping")).isEmpty()) {
        run("ping: one fping for all", s, five);
        run("ping: one fping for all", s, loopback(2000, true));
    } else {
        std::printf("fping is not installed: its figures are left out\n");
    }
    s.fpingProgram.clear();
    run("ping: one ping per address, 32 at once", s, five);
    s.method = ReachabilityCheck::Method::Port;
    s.maxParallel = 128;
    QTcpServer listener;
    listener.setMaxPendingConnections(4096); // taken off the kernel's queue as they come
    if (!listener.listen(QHostAddress::LocalHost))
        return 1;
    s.port = listener.serverPort();
    run("port: connect, open (127.0.0.1), 128 at once", s, loopback(500, false));
    listener.close();
    run("port: connect, closed, 128 at once", s, five);
    return 0;
}
