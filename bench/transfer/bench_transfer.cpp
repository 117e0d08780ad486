// One send of a full label (format, text, shop-name data) to 200 simulated scales,
// then the same with 20 of them hanging. As the program does, a scale that timed out is
// not asked again for the other types. Prints seconds; targets 3 s and 3.5 s.
#include "common/simprocess.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace transfertest;

namespace {

constexpr int kScales = 200;
// Hex characters of a full label's data files.
constexpr struct { int type; int size; } kFiles[] = {{52, 3000}, {56, 9000}, {61, 1200}};

struct Outcome {
    double seconds = 0;
    int ok = 0;
    int timedOut = 0;
    int notAttempted = 0;
    int other = 0;
    bool ran = true;
};

Outcome sendLabel(const QString &subnet, int hangEvery)
{
    Outcome out;
    QTemporaryDir root;
    const QString bin = root.path() + QStringLiteral("/bin");
    QDir().mkpath(bin);
    QStringList simArgs, addresses;
    for (int i = 1; i <= kScales; ++i) {
        const QString a = subnet + QString::number(i);
        addresses << a;
        simArgs << ((hangEvery && i % hangEvery == 0) ? a + QStringLiteral(":hang") : a);
        for (const auto &f : kFiles)
            writeAll(QStringLiteral("%1/SM%2F%3.DAT").arg(bin, a).arg(f.type), hexLine(f.size, i + f.type));
    }
    SimProcess sim;
    if (!sim.start(simArgs)) {
        std::fprintf(stderr, "bench: the simulator did not start:\n%s\n", qPrintable(sim.log()));
        out.ran = false;
        return out;
    }
    QElapsedTimer timer;
    timer.start();
    for (const auto &f : kFiles) {
        out.notAttempted += kScales - int(addresses.size());
        const DriverRun run = runDriver(bin, QStringList{"WR", QString::number(f.type)} + addresses, sim.port());
        out.ran = out.ran && run.finished && run.exitCode == 0;
        QStringList next;
        for (const QString &entry : QString::fromLatin1(readAll(bin + QStringLiteral("/result"))).split(';')) {
            const QString code = entry.section(QLatin1Char(':'), 1);
            if (code == QLatin1String("0"))
                ++out.ok;
            else if (code == QLatin1String("3") || code == QLatin1String("10"))
                ++out.timedOut;
            else
                ++out.other;
            if (code != QLatin1String("3") && code != QLatin1String("10"))
                next << entry.section(QLatin1Char(':'), 0, 0);
        }
        addresses = next;
    }
    out.seconds = double(timer.nsecsElapsed()) / 1e9;
    sim.stop();
    return out;
}

void report(const char *name, const Outcome &o, double target)
{
    std::printf("%-32s %6.2f s  (target < %.1f s)  transfers ok %d, timed out %d, not attempted %d, other %d%s\n",
                name, o.seconds, target, o.ok, o.timedOut, o.notAttempted, o.other, o.ran ? "" : "  [driver failed]");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("send of one label (WR 52, WR 56, WR 61) to %d simulated scales\n", kScales);
    report("200 scales, all healthy", sendLabel(QStringLiteral("127.0.7."), 0), 3);
    report("200 scales, 20 of them hanging", sendLabel(QStringLiteral("127.0.8."), 10), 3.5);
    return 0;
}
