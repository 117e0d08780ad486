// A send of one full label (format, text, shop-name data) through the program's own run: to
// 2,000 healthy simulated scales, then to 200 of which 20 hang. Prints seconds; targets 3 s and 3.5 s.
#include "common/simprocess.h"
#include "scale/driverrun.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using transfertest::driverPath;
using transfertest::hexLine;
using transfertest::SimProcess;
using transfertest::writeAll;
using namespace quillon;

namespace {

// Hex characters of a full label's data files.
constexpr struct { int type; int size; } kFiles[] = {{52, 3000}, {56, 9000}, {61, 1200}};

struct Outcome {
    double seconds = 0;
    int counts[3] = {0, 0, 0};   // received, timed out, other
    int progressLines = 0;
    bool ran = true;
};

// `first` like "127.1.0.1": the scales are `count` consecutive addresses from it.
Outcome sendLabel(const QString &first, int count, int hangEvery)
{
    Outcome out;
    QTemporaryDir root;
    const QString work = root.path() + QStringLiteral("/bin");
    QDir().mkpath(work);
    QStringList simArgs{QStringLiteral("--range"), first + QLatin1Char('+') + QString::number(count)};
    QStringList exports;
    for (const auto &f : kFiles) {
        exports << root.filePath(QStringLiteral("export%1.dat").arg(f.type));
        writeAll(exports.last(), hexLine(f.size, f.type));
    }
    QList<ScaleOutcome> outcomes;
    QStringList addresses;
    const quint32 base = [&] {
        quint32 v = 0;
        for (const QString &p : first.split(u'.'))
            v = v * 256 + p.toUInt();
        return v;
    }();
    for (int i = 0; i < count; ++i) {
        const quint32 v = base + quint32(i);
        const QString a = QStringLiteral("%1.%2.%3.%4").arg(v >> 24).arg((v >> 16) & 255).arg((v >> 8) & 255).arg(v & 255);
        addresses << a;
        outcomes << ScaleOutcome{a};
        if (hangEvery && (i + 1) % hangEvery == 0)
            simArgs << a + QStringLiteral(":hang");
    }
    if (hangEvery) {
        // Hanging scales are named one by one, so the range must not name them again.
        simArgs.clear();
        for (int i = 0; i < count; ++i)
            simArgs << ((hangEvery && (i + 1) % hangEvery == 0) ? addresses[i] + QStringLiteral(":hang") : addresses[i]);
    }
    SimProcess sim;
    if (!sim.start(simArgs)) {
        std::fprintf(stderr, "bench: the simulator did not start:\n%s\n", qPrintable(sim.log()));
        out.ran = false;
        return out;
    }
    PlaceSendFiles(work, addresses, exports);
    TransferSettings settings;
    settings.port = sim.port();
    DriverRun run(driverPath(), work, settings);
    QObject::connect(&run, &DriverRun::progress, [&](int, int, int, int) { ++out.progressLines; });
    QElapsedTimer timer;
    timer.start();
    run.exec(DriverRun::Direction::Send, outcomes);
    out.seconds = double(timer.nsecsElapsed()) / 1e9;
    out.ran = run.failure() == DriverRun::Failure::None;
    for (const ScaleOutcome &o : run.outcomes()) {
        const int overall = OverallOutcome(o);
        ++out.counts[overall == 0 ? 0 : overall == 3 ? 1 : 2];
    }
    sim.stop();
    return out;
}

void report(const char *name, const Outcome &o, double target)
{
    std::printf("%-34s %6.2f s  (target < %.1f s)  scales received %d, timed out %d, other %d; %d progress signals%s\n",
                name, o.seconds, target, o.counts[0], o.counts[1], o.counts[2], o.progressLines,
                o.ran ? "" : "  [run failed]");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("send of one label (WR 52, WR 56, WR 61) through the program's run, default settings\n");
    report("2,000 scales, all healthy", sendLabel(QStringLiteral("127.1.0.1"), 2000, 0), 3);
    report("200 scales, 20 of them hanging", sendLabel(QStringLiteral("127.0.8.1"), 200, 10), 3.5);
    return 0;
}
