// The real driver against the real simulator, on loopback only.
#include "common/simprocess.h"

#include <QTcpSocket>
#include <QtTest>

using namespace transfertest;

namespace {

// "address:code" entries joined by ";", as the driver's result file holds them.
QString result(const QStringList &addresses, const QList<int> &codes)
{
    QStringList entries;
    for (int i = 0; i < addresses.size(); ++i)
        entries << addresses[i] + QLatin1Char(':') + QString::number(codes.value(i));
    return entries.join(QLatin1Char(';'));
}

// A program folder "bin" inside a root folder, as the program lays them out, and the simulator's data folder.
struct Tree {
    QTemporaryDir root;
    QString bin = root.path() + QStringLiteral("/bin"), data = root.path() + QStringLiteral("/simdata");
    SimProcess sim;
    bool make(const QStringList &simArgs = {})
    {
        return QDir().mkpath(bin) && QDir().mkpath(data) && (simArgs.isEmpty() || sim.start(simArgs, data));
    }
    // A data file in the program folder, and where the simulated scale keeps it.
    QString here(const QString &a, int t = 52) const { return QStringLiteral("%1/SM%2F%3.DAT").arg(bin, a).arg(t); }
    QString there(const QString &a, int t = 52) const { return QStringLiteral("%1/%2/F%3.DAT").arg(data, a).arg(t); }
    QStringList binEntries() const
    {
        return QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    // Runs the driver and gives its result file ("<failed>" when it did not end with 0).
    QString run(const QStringList &args, int timeoutMs = 0, bool envPort = true)
    {
        const DriverRun r = runDriver(bin, args, envPort ? sim.port() : 0, timeoutMs);
        return r.finished && r.exitCode == 0 ? QString::fromLatin1(readAll(bin + QStringLiteral("/result")))
                                             : QStringLiteral("<failed>");
    }
};

} // namespace

class TransferDriverTest : public QObject
{
    Q_OBJECT
private slots:
    void sendAndFetchBack()
    {
        const QStringList addresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
        Tree tree;
        QVERIFY2(tree.make(addresses), qPrintable(tree.sim.log()));
        for (int i = 0; i < addresses.size(); ++i)
            for (int type : {52, 56, 61}) // 61 with bytes that are sent as they are, not as text
                QVERIFY(writeAll(tree.here(addresses[i], type), (type == 61 ? QByteArray("\x00\xff\x80", 3) : "")
                                                                     + hexLine(type == 56 ? 4000 : 600, i)));
        // The operation may come as one argument.
        for (const QStringList &op : {QStringList{"WR", "52"}, QStringList{" WR 56 "}, QStringList{"wr", "61"}})
            QCOMPARE(tree.run(op + addresses), result(addresses, {}));
        for (const QString &a : addresses)
            for (int type : {52, 56, 61})
                QCOMPARE(readAll(tree.there(a, type)), readAll(tree.here(a, type)));

        // Fetch back after the simulator restarted from its folder.
        QVERIFY(tree.sim.stop() && tree.sim.start(addresses, tree.data));
        for (int type : {52, 56, 61}) {
            const QByteArray sent = readAll(tree.here(addresses[1], type));
            QVERIFY(QFile::remove(tree.here(addresses[1], type)));
            QCOMPARE(tree.run({"RD", QString::number(type), addresses[1]}), addresses[1] + QStringLiteral(":0"));
            QCOMPARE(readAll(tree.here(addresses[1], type)), sent);
        }
    }

    // One scale per behaviour, with the code both operations report for it.
    void faultModes()
    {
        for (const QString op : {"WR", "RD"}) {
            const bool read = op == QLatin1String("RD");
            const QStringList specs = {"127.0.3.1", "127.0.3.2:hang", "127.0.3.3:refuse", "127.0.3.4:slow=300",
                                       "127.0.3.5:garbage", "127.0.3.6:drop", "127.0.3.7:reject",
                                       "127.0.3.8:slow=6000", // trickles past the exchange deadline
                                       "127.0.3.9",
                                       // a refusal that carries bytes, a reply with its reserved byte set
                                       "127.0.3.10:padded", "127.0.3.11:reserved"};
            const QList<int> codes = {0, 3, 2, 0, 5, 7, 4, 3, 0, 5, 5};
            Tree tree;
            QVERIFY(tree.make());
            QStringList addresses;
            for (const QString &spec : specs) {
                const QString a = spec.section(QLatin1Char(':'), 0, 0);
                const QByteArray bytes = hexLine(2000, int(addresses.size()));
                addresses << a;
                QVERIFY(!read || (QDir().mkpath(tree.data + "/" + a) && writeAll(tree.there(a), bytes)));
                // Read: an older file must not survive a failed read and pass for received data.
                QVERIFY(writeAll(tree.here(a), read ? QByteArray("stale\r\n") : bytes));
            }
            QVERIFY2(tree.sim.start(specs, tree.data), qPrintable(tree.sim.log()));
            QCOMPARE(tree.run(QStringList{op, "52"} + addresses, 1500), result(addresses, codes));
            for (int i = 0; i < addresses.size(); ++i) {
                if (codes[i] == 0)
                    QCOMPARE(readAll(tree.here(addresses[i])), readAll(tree.there(addresses[i])));
                else if (read)
                    QVERIFY(!QFile::exists(tree.here(addresses[i])));
            }
            // A request cut half-way is not stored.
            QVERIFY(read || !QFile::exists(tree.there("127.0.3.6")));
            // No temporary leftovers from the atomic writes.
            QCOMPARE(tree.binEntries().filter(QRegularExpression("^(result|.*\\.DAT)$")), tree.binEntries());
            QVERIFY(tree.sim.stop());
        }
    }

    void simulatorAnswersMalformedRequests()
    {
        Tree tree;
        QVERIFY(tree.make({"127.0.0.2", "127.0.4.1:hang"}));
        // A frame that does not parse (which ones, the protocol test has), and a request the scale does not know.
        const QByteArray requests[] = {"GET / HTTP/1.0\r\n\r\n", QByteArray("QSCL\x01\x01\x35\x00\x00\x00\x00\x00", 12),
                                       QByteArray("QSCL\x01\x07\x34\x00\x00\x00\x00\x00", 12)};
        for (const QByteArray &request : requests) {
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.2"), tree.sim.port());
            QVERIFY(socket.waitForConnected(3000));
            socket.write(request);
            QByteArray reply;
            while (reply.size() < 12 && socket.waitForReadyRead(3000))
                reply += socket.readAll();
            QCOMPARE(reply.left(6), QByteArray("QSCL\x01\x03", 6)); // bad request
        }
        // The scale goes on serving afterwards. The port from the INI, neither port nor deadline from the
        // environment: the hanging scale is cut at the default deadline.
        const QString ini = QStringLiteral("[Setting]\r\n[Transfer]\r\nPort=%1\r\n").arg(tree.sim.port());
        QVERIFY(writeAll(tree.root.filePath("Vexo2005.INI"), ini.toLatin1()));
        QCOMPARE(tree.run({"RD", "52", "127.0.4.1", "127.0.0.2"}, 0, false), QStringLiteral("127.0.4.1:3;127.0.0.2:0"));
        QCOMPARE(readAll(tree.here("127.0.0.2")), QByteArray("E2\r\n"));
    }

    void invalidAddressesLocalFaultsAndStaleResult()
    {
        Tree tree;
        QVERIFY(tree.make({"127.0.0.2", "127.0.0.4"}));
        QVERIFY(writeAll(tree.here("127.0.0.2"), "0102\r\n") && writeAll(tree.root.filePath("x"), "keep"));
        // A folder in place of the per-scale file: unreadable for WR, not replaceable for RD.
        QVERIFY(QDir().mkpath(tree.data + "/127.0.0.4") && writeAll(tree.there("127.0.0.4"), "0102\r\n"));
        QVERIFY(QDir().mkpath(tree.here("127.0.0.4") + QStringLiteral("/inside")));
        // Which text is no address is the protocol test's; here that none of them reaches a file or the result.
        const QStringList addresses = {"../x", "-rf", "127.0.0.2", "", " 127.0.0.2", "a;b:0", "127.0.0.2\r\n",
                                       "127.0.0.3", "127.0.0.4"};
        const QStringList before = QDir(tree.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const char *op : {"WR", "RD"}) {
            // A result left from before must be replaced as a whole.
            QVERIFY(writeAll(tree.bin + QStringLiteral("/result"), "127.0.0.3:0;x:0"));
            QCOMPARE(tree.run(QStringList{op, "52"} + addresses),
                     QStringLiteral("../x:6;-rf:6;127.0.0.2:0;:6; 127.0.0.2:6;a?b?0:6;127.0.0.2??:6;"
                                    "127.0.0.3:%1;127.0.0.4:%2")
                         .arg(op[0] == 'W' ? "1" : "2", op[0] == 'W' ? "1" : "8"));
            QCOMPARE(tree.binEntries(), QStringList({"SM127.0.0.2F52.DAT", "SM127.0.0.4F52.DAT", "result"}));
            QVERIFY(QFileInfo(tree.here("127.0.0.4") + QStringLiteral("/inside")).isDir());
            QCOMPARE(QDir(tree.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
            QCOMPARE(readAll(tree.root.filePath("x")), QByteArray("keep"));
        }
    }

    void usageErrors()
    {
        const QStringList cases[] = {{"WR"}, {" RD 56 "}, {"XX", "52", "127.0.0.2"}, {"WR", "53", "127.0.0.2"},
                                     {"WR", "+52", "127.0.0.2"}, {" WR 52 x", "127.0.0.2"},
                                     {"--parallel", "0", "WR", "52", "127.0.0.2"}, {"--reply-ms", "2x", "RD", "52", "127.0.0.2"},
                                     {"--retries", "1", "RD", "52", "127.0.0.2"}};
        Tree tree;
        QVERIFY(tree.make());
        for (const QStringList &args : cases) {
            const DriverRun run = runDriver(tree.bin, args, 1);
            QVERIFY2(run.finished && run.exitCode == 2 && run.stderrText.contains("usage"), qPrintable(args.join('|')));
            QVERIFY(tree.binEntries().isEmpty());
        }
    }

    void moreScalesThanConnectionsAtOnce()
    {
        // The first 66 hang and fill every connection slot; the rest must still get their turn.
        Tree tree;
        QVERIFY(tree.make({"--range", "127.0.9.1-66:hang", "--range", "127.0.9.67-130"}));
        QStringList addresses;
        QList<int> codes;
        for (int i = 0; i < 130; ++i) {
            addresses << QStringLiteral("127.0.9.%1").arg(i + 1);
            codes << (i < 66 ? 3 : 0);
            QVERIFY(writeAll(tree.here(addresses[i]), hexLine(300, i)));
        }
        QCOMPARE(tree.run(QStringList{"WR", "52"} + addresses, 1000), result(addresses, codes));
        QCOMPARE(readAll(tree.there("127.0.9.130")), hexLine(300, 129));

        // The run's limit cuts the first 64 hanging ones; those never started were not attempted.
        addresses = addresses.mid(0, 66);
        codes = QList<int>(64, 3) << 10 << 10;
        qputenv("QUILLON_SCALE_RUN_MS", "800");
        const QString cut = tree.run(QStringList{"RD", "52"} + addresses, 1000);
        qunsetenv("QUILLON_SCALE_RUN_MS");
        QCOMPARE(cut, result(addresses, codes));
    }

    // 1,000 scales in one run, some hanging, some refusing: every scale's code in the result and
    // one progress line each, with the same code; settings from the command line.
    void thousandScalesWithProgress()
    {
        Tree tree;
        QVERIFY(tree.make({"--range", "127.2.0.1+900", "--range", "127.2.3.133+50:hang"}));
        QStringList addresses;
        QList<int> codes;
        for (int i = 0; i < 1000; ++i) {
            const int n = i + 1;
            addresses << QStringLiteral("127.2.%1.%2").arg(n / 256).arg(n % 256);
            codes << (i < 900 ? 0 : i < 950 ? 3 : 2);   // the last 50 have no listener
        }
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QUILLON_SCALE_PORT"));
        env.remove(QStringLiteral("QUILLON_SCALE_TIMEOUT_MS"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(tree.bin);
        p.start(driverPath(), QStringList{"--parallel", "300", "--reply-ms", "1500", "--port",
                                          QString::number(tree.sim.port()), "RD", "56"} + addresses);
        QVERIFY(p.waitForFinished(30000) && p.exitCode() == 0);
        const QStringList got = QString::fromLatin1(readAll(tree.bin + "/result")).split(';');
        const QStringList want = result(addresses, codes).split(';');
        for (int i = 0; i < want.size(); ++i)
            QCOMPARE(got.value(i), want[i]);
        QStringList lines = QString::fromLatin1(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        lines.sort();
        QStringList expected = result(addresses, codes).replace(':', ' ').split(';');
        expected.sort();
        QCOMPARE(lines, expected);
    }

    // SIGTERM ends a run at once: finished scales keep their codes, the rest are cancelled, not timed out.
    void cancelledRun()
    {
        Tree tree;
        QVERIFY(tree.make({"--range", "127.0.10.1-5", "--range", "127.0.10.6-40:hang"}));
        QStringList addresses;
        for (int i = 1; i <= 40; ++i)
            addresses << QStringLiteral("127.0.10.%1").arg(i);
        QProcess p;
        p.setWorkingDirectory(tree.bin);
        p.start(driverPath(), QStringList{"--parallel", "10", "--port", QString::number(tree.sim.port()), "RD", "52"}
                                  + addresses);
        QByteArray out;
        QVERIFY(QTest::qWaitFor([&] { out += p.readAllStandardOutput(); return out.count('\n') >= 5; }, 10000));
        p.terminate();
        QVERIFY(p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0);
        QList<int> codes = QList<int>(5, 0) << QList<int>(35, 11);
        QCOMPARE(QString::fromLatin1(readAll(tree.bin + "/result")), result(addresses, codes));
        QCOMPARE((out + p.readAllStandardOutput()).count('\n'), 40);
    }

    // A scale keeps one format per number: writes replace their number's record and keep the rest.
    void simulatorKeepsFormatsByNumber()
    {
        // "DEC8 number, HEX4 byte length (12 + body), ..." records of `body` bytes.
        const auto rec = [](int number, const QByteArray &fill) {
            return QByteArray::number(number).rightJustified(8, '0') + QByteArray::number(14, 16).toUpper().rightJustified(4, '0')
                   + "01E001400002" + fill;
        };
        const struct {
            QByteArray written, read;
        } cases[] = {
            {rec(7, "AAAA") + "\r\n", rec(7, "AAAA") + "\r\n"},
            {rec(3, "BBBB") + rec(12, "CCCC") + "\r\n", rec(3, "BBBB") + rec(7, "AAAA") + rec(12, "CCCC") + "\r\n"},
            {rec(7, "DDDD") + "\r\n", rec(3, "BBBB") + rec(7, "DDDD") + rec(12, "CCCC") + "\r\n"},
            {"NOT RECORDS\r\n", "NOT RECORDS\r\n"},   // taken whole
            {rec(9, "EEEE") + "\r\n", rec(9, "EEEE") + "\r\n"},
        };
        Tree tree;
        QVERIFY(tree.make({"127.0.13.1"}));
        for (const auto &c : cases) {
            QVERIFY(writeAll(tree.here("127.0.13.1"), c.written));
            QCOMPARE(tree.run({"WR", "52", "127.0.13.1"}), QStringLiteral("127.0.13.1:0"));
            QCOMPARE(tree.run({"RD", "52", "127.0.13.1"}), QStringLiteral("127.0.13.1:0"));
            QCOMPARE(readAll(tree.here("127.0.13.1")), c.read);
        }
    }

    // A result that cannot be removed stops the run: it would pass for this run's.
    void staleResultThatStays()
    {
        Tree tree;
        QVERIFY(tree.make({"127.0.0.2"}) && QDir().mkpath(tree.bin + QStringLiteral("/result/inside")));
        QVERIFY(writeAll(tree.here("127.0.0.2"), "0102\r\n"));
        const DriverRun run = runDriver(tree.bin, {"WR", "52", "127.0.0.2"}, tree.sim.port());
        QVERIFY(run.finished && run.exitCode == 1 && run.stderrText.contains("old result"));
        QVERIFY(!QFile::exists(tree.there("127.0.0.2")));
    }

    // A scale that trickles its reply must not cost the simulator a core meanwhile.
    void slowScaleDoesNotSpin()
    {
        Tree tree;
        QVERIFY(tree.make({"127.0.0.2:slow=1500"}));
        const auto cpuTicks = [&] {
            const QList<QByteArray> f = readAll(QStringLiteral("/proc/%1/stat").arg(tree.sim.pid())).split(')').value(1).split(' ');
            return f.value(12).toLongLong() + f.value(13).toLongLong(); // utime, stime
        };
        const qint64 before = cpuTicks();
        QCOMPARE(tree.run({"RD", "52", "127.0.0.2"}), QStringLiteral("127.0.0.2:0"));
        // 1.5 s of trickling; a busy loop would take about 150 ticks of it.
        QVERIFY2(cpuTicks() - before < 40, qPrintable(QString::number(cpuTicks() - before)));
    }

    void simulatorServesLoopbackOnly()
    {
        const QStringList cases[] = {{"127.0.0.2", "192.168.1.21"}, {"0.0.0.0"}, {"--range", "10.0.0.1-3"},
                                     {"localhost"}, {"127.0.0.2:explode"}, {"127.0.0.2", "127.0.0.2:hang"}};
        for (const QStringList &args : cases) {
            QProcess p;
            p.start(simPath(), QStringList{"--port", "0"} + args);
            QVERIFY(p.waitForFinished(5000));
            QCOMPARE(p.exitCode(), 2);
            QVERIFY(!p.readAllStandardOutput().contains("listening"));
        }
    }
};

QTEST_GUILESS_MAIN(TransferDriverTest)
#include "test_transfer_driver.moc"
