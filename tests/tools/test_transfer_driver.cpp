// The real driver against the real simulator, on loopback only.
#include "common/simprocess.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace transfertest;

namespace {

const int kTypes[] = {52, 56, 61};

QString scaleFile(const QString &dir, const QString &address, int type)
{
    return QStringLiteral("%1/SM%2F%3.DAT").arg(dir, address).arg(type);
}

QStringList rangeAddresses(const QString &prefix, int first, int last)
{
    QStringList out;
    for (int i = first; i <= last; ++i)
        out << prefix + QString::number(i);
    return out;
}

QString expectedResult(const QStringList &addresses, const QList<int> &codes)
{
    QStringList entries;
    for (int i = 0; i < addresses.size(); ++i)
        entries << addresses[i] + QLatin1Char(':') + QString::number(codes[i]);
    return entries.join(QLatin1Char(';'));
}

// A program folder "bin" inside a root folder, as the program lays them out.
struct ProgramTree {
    QTemporaryDir root;
    QString bin() const { return root.path() + QStringLiteral("/bin"); }
    QString data() const { return root.path() + QStringLiteral("/simdata"); }
    bool make() { return root.isValid() && QDir().mkpath(bin()) && QDir().mkpath(data()); }
    QString result() const { return QString::fromLatin1(readAll(bin() + QStringLiteral("/result"))); }
    QStringList binEntries() const
    {
        return QDir(bin()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
};

} // namespace

class TransferDriverTest : public QObject
{
    Q_OBJECT
private slots:
    void sendAndFetchBack_data();
    void sendAndFetchBack();
    void faultModes_data();
    void faultModes();
    void localFileFaults_data();
    void localFileFaults();
    void simulatorAnswersMalformedRequests_data();
    void simulatorAnswersMalformedRequests();
    void invalidAddresses();
    void usageErrors_data();
    void usageErrors();
    void staleResultReplaced();
    void hangingScaleCutAtDeadline();
    void moreScalesThanConnectionsAtOnce();
    void portFromIni();
    void simulatorServesLoopbackOnly_data();
    void simulatorServesLoopbackOnly();
};

void TransferDriverTest::sendAndFetchBack_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<bool>("opAsOneArgument");

    QTest::newRow("3 scales") << QStringList{"127.0.0.2", "127.0.0.3", "127.0.0.4"}
                              << QStringList{"127.0.0.2", "127.0.0.3", "127.0.0.4"} << false;
    QTest::newRow("50 scales, operation as one argument")
        << QStringList{"--range", "127.0.2.1-50"} << rangeAddresses("127.0.2.", 1, 50) << true;
}

void TransferDriverTest::sendAndFetchBack()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, addresses);
    QFETCH(bool, opAsOneArgument);

    ProgramTree tree;
    QVERIFY(tree.make());
    SimProcess sim;
    QVERIFY2(sim.start(simArgs, tree.data()), qPrintable(sim.log()));

    QHash<QString, QByteArray> sent;
    for (int i = 0; i < addresses.size(); ++i)
        for (int type : kTypes) {
            QByteArray bytes = hexLine(type == 56 ? 4000 : 600, i * 100 + type);
            if (type == 61)
                bytes.prepend(QByteArray("\x00\xff\x80", 3)); // sent as is, not as text
            sent.insert(scaleFile(tree.bin(), addresses[i], type), bytes);
            QVERIFY(writeAll(scaleFile(tree.bin(), addresses[i], type), bytes));
        }
    const QList<int> allOk(addresses.size(), 0);
    for (int type : kTypes) {
        const QStringList op = opAsOneArgument ? QStringList{QStringLiteral(" WR %1 ").arg(type)}
                                               : QStringList{"WR", QString::number(type)};
        const DriverRun run = runDriver(tree.bin(), op + addresses, sim.port());
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(tree.result(), expectedResult(addresses, allOk));
    }
    for (int i = 0; i < addresses.size(); ++i)
        for (int type : kTypes)
            QCOMPARE(readAll(QStringLiteral("%1/%2/F%3.DAT").arg(tree.data(), addresses[i]).arg(type)),
                     sent.value(scaleFile(tree.bin(), addresses[i], type)));

    // Fetch back from the first and the last scale, after the simulator restarted from its folder.
    QVERIFY(sim.stop());
    SimProcess again;
    QVERIFY2(again.start(simArgs, tree.data()), qPrintable(again.log()));
    for (const QString &address : {addresses.first(), addresses.last()})
        for (int type : kTypes) {
            const QString file = scaleFile(tree.bin(), address, type);
            QVERIFY(QFile::remove(file));
            const DriverRun run = runDriver(tree.bin(), {"RD", QString::number(type), address}, again.port());
            QVERIFY(run.finished);
            QCOMPARE(tree.result(), address + QStringLiteral(":0"));
            QCOMPARE(readAll(file), sent.value(file));
        }
}

void TransferDriverTest::faultModes_data()
{
    QTest::addColumn<QString>("op");

    QTest::newRow("write") << "WR";
    QTest::newRow("read") << "RD";
}

void TransferDriverTest::faultModes()
{
    QFETCH(QString, op);
    struct Case {
        QString address;
        QString mode;
        int writeCode;
        int readCode;
    };
    const QList<Case> cases = {
        {"127.0.3.1", "", 0, 0},
        {"127.0.3.2", "hang", 3, 3},
        {"127.0.3.3", "refuse", 2, 2},
        {"127.0.3.4", "slow=300", 0, 0},
        {"127.0.3.5", "garbage", 5, 5},
        {"127.0.3.6", "drop", 7, 7},
        {"127.0.3.7", "reject", 4, 4},
        {"127.0.3.8", "slow=6000", 3, 3}, // trickles past the exchange deadline
        {"127.0.3.9", "", 0, 0},
    };
    ProgramTree tree;
    QVERIFY(tree.make());
    QStringList simArgs, addresses;
    QList<int> codes;
    for (const Case &c : cases) {
        simArgs << (c.mode.isEmpty() ? c.address : c.address + QLatin1Char(':') + c.mode);
        addresses << c.address;
        codes << (op == QLatin1String("WR") ? c.writeCode : c.readCode);
        const QByteArray bytes = hexLine(2000, int(addresses.size()));
        if (op == QLatin1String("WR")) {
            QVERIFY(writeAll(scaleFile(tree.bin(), c.address, 52), bytes));
        } else {
            QVERIFY(QDir().mkpath(tree.data() + QLatin1Char('/') + c.address));
            QVERIFY(writeAll(QStringLiteral("%1/%2/F52.DAT").arg(tree.data(), c.address), bytes));
            // An older file must not survive a failed read and pass for received data.
            QVERIFY(writeAll(scaleFile(tree.bin(), c.address, 52), "stale\r\n"));
        }
    }
    SimProcess sim;
    QVERIFY2(sim.start(simArgs, tree.data()), qPrintable(sim.log()));
    const DriverRun run = runDriver(tree.bin(), QStringList{op, "52"} + addresses, sim.port(), 1500);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(tree.result(), expectedResult(addresses, codes));

    if (op == QLatin1String("RD")) {
        for (int i = 0; i < cases.size(); ++i) {
            const QString file = scaleFile(tree.bin(), addresses[i], 52);
            QCOMPARE(QFile::exists(file), codes[i] == 0);
            if (codes[i] == 0)
                QCOMPARE(readAll(file), readAll(QStringLiteral("%1/%2/F52.DAT").arg(tree.data(), addresses[i])));
        }
        // No temporary leftovers from the atomic writes.
        for (const QString &name : tree.binEntries())
            QVERIFY2(name == QLatin1String("result") || name.endsWith(QLatin1String(".DAT")), qPrintable(name));

        // A type the scale holds nothing for comes back as "E2".
        const DriverRun none = runDriver(tree.bin(), {"RD", "61", "127.0.3.1"}, sim.port());
        QVERIFY(none.finished);
        QCOMPARE(tree.result(), QStringLiteral("127.0.3.1:0"));
        QCOMPARE(readAll(scaleFile(tree.bin(), "127.0.3.1", 61)), QByteArray("E2\r\n"));
    } else {
        QCOMPARE(readAll(QStringLiteral("%1/127.0.3.9/F52.DAT").arg(tree.data())),
                 readAll(scaleFile(tree.bin(), "127.0.3.9", 52)));
        // A request cut half-way is not stored.
        QVERIFY(!QFile::exists(QStringLiteral("%1/127.0.3.6/F52.DAT").arg(tree.data())));
    }
    QVERIFY(sim.stop());
}

void TransferDriverTest::localFileFaults_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("code");

    QTest::newRow("send, data file is a folder") << "WR" << 1;
    QTest::newRow("fetch, data file cannot be replaced") << "RD" << 8;
}

void TransferDriverTest::localFileFaults()
{
    QFETCH(QString, op);
    QFETCH(int, code);
    ProgramTree tree;
    QVERIFY(tree.make());
    QVERIFY(QDir().mkpath(tree.data() + QStringLiteral("/127.0.0.2")));
    QVERIFY(writeAll(tree.data() + QStringLiteral("/127.0.0.2/F52.DAT"), "0102\r\n"));
    // A folder in place of the per-scale file: unreadable for WR, not replaceable for RD.
    const QString blocker = scaleFile(tree.bin(), "127.0.0.2", 52);
    QVERIFY(QDir().mkpath(blocker + QStringLiteral("/inside")));
    SimProcess sim;
    QVERIFY2(sim.start({"127.0.0.2"}, tree.data()), qPrintable(sim.log()));
    const DriverRun run = runDriver(tree.bin(), {op, "52", "127.0.0.2"}, sim.port());
    QVERIFY(run.finished);
    QCOMPARE(tree.result(), QStringLiteral("127.0.0.2:%1").arg(code));
    QVERIFY(QFileInfo(blocker + QStringLiteral("/inside")).isDir());
    QCOMPARE(tree.binEntries(), QStringList({"SM127.0.0.2F52.DAT", "result"}));
}

void TransferDriverTest::simulatorAnswersMalformedRequests_data()
{
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("wrong magic") << QByteArray("GET / HTTP/1.0\r\n\r\n");
    QTest::newRow("wrong version") << QByteArray("QSCL\x02\x01\x34\x00\x00\x00\x00\x00", 12);
    QTest::newRow("huge length") << QByteArray("QSCL\x01\x01\x34\x00\xff\xff\xff\xff", 12);
    QTest::newRow("unknown type") << QByteArray("QSCL\x01\x01\x35\x00\x00\x00\x00\x00", 12);
    QTest::newRow("unknown operation") << QByteArray("QSCL\x01\x07\x34\x00\x00\x00\x00\x00", 12);
}

void TransferDriverTest::simulatorAnswersMalformedRequests()
{
    QFETCH(QByteArray, request);
    ProgramTree tree;
    QVERIFY(tree.make());
    SimProcess sim;
    QVERIFY2(sim.start({"127.0.0.2"}, tree.data()), qPrintable(sim.log()));
    {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.2"), sim.port());
        QVERIFY(socket.waitForConnected(3000));
        socket.write(request);
        QVERIFY(socket.waitForBytesWritten(3000));
        QByteArray reply;
        while (reply.size() < 12 && socket.waitForReadyRead(3000))
            reply += socket.readAll();
        QCOMPARE(reply.left(5), QByteArray("QSCL\x01"));
        QCOMPARE(int(reply[5]), 3); // bad request
    }
    // The scale goes on serving afterwards.
    const DriverRun run = runDriver(tree.bin(), {"RD", "52", "127.0.0.2"}, sim.port());
    QVERIFY(run.finished);
    QCOMPARE(tree.result(), QStringLiteral("127.0.0.2:0"));
    QVERIFY(sim.stop());
}

void TransferDriverTest::invalidAddresses()
{
    ProgramTree tree;
    QVERIFY(tree.make());
    SimProcess sim;
    QVERIFY2(sim.start({"127.0.0.2"}, tree.data()), qPrintable(sim.log()));
    QVERIFY(writeAll(scaleFile(tree.bin(), "127.0.0.2", 52), "0102\r\n"));
    QVERIFY(writeAll(tree.root.path() + QStringLiteral("/x"), "keep"));
    const QStringList addresses = {"../x", "-rf", "127.0.0.2", "1.2.3", "256.1.1.1", "1.2.3.4/..",
                                   "", " 127.0.0.2", "127.0.0.2 ", "a;b:0", "127.0.0.2\r\n", "01.2.3.4"};
    const QStringList before = QDir(tree.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    for (const char *op : {"WR", "RD"}) {
        const DriverRun run = runDriver(tree.bin(), QStringList{op, "52"} + addresses, sim.port());
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(tree.result(),
                 QStringLiteral("../x:6;-rf:6;127.0.0.2:0;1.2.3:6;256.1.1.1:6;1.2.3.4/..:6;:6;"
                                " 127.0.0.2:6;127.0.0.2 :6;a?b?0:6;127.0.0.2??:6;01.2.3.4:6"));
        QCOMPARE(tree.binEntries(), QStringList({"SM127.0.0.2F52.DAT", "result"}));
        QCOMPARE(QDir(tree.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(readAll(tree.root.path() + QStringLiteral("/x")), QByteArray("keep"));
    }
}

void TransferDriverTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");

    QTest::newRow("nothing") << QStringList();
    QTest::newRow("operation only") << QStringList{"WR"};
    QTest::newRow("no address") << QStringList{"WR", "52"};
    QTest::newRow("no address, one argument") << QStringList{" RD 56 "};
    QTest::newRow("unknown operation") << QStringList{"XX", "52", "127.0.0.2"};
    QTest::newRow("unknown type") << QStringList{"WR", "53", "127.0.0.2"};
    QTest::newRow("type with sign") << QStringList{"WR", "+52", "127.0.0.2"};
    QTest::newRow("three words") << QStringList{" WR 52 x", "127.0.0.2"};
}

void TransferDriverTest::usageErrors()
{
    QFETCH(QStringList, args);
    ProgramTree tree;
    QVERIFY(tree.make());
    const DriverRun run = runDriver(tree.bin(), args, 1);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.stderrText.contains("usage"));
    QVERIFY(tree.binEntries().isEmpty());
}

void TransferDriverTest::staleResultReplaced()
{
    ProgramTree tree;
    QVERIFY(tree.make());
    QVERIFY(writeAll(tree.bin() + QStringLiteral("/result"), "127.0.0.2:0;127.0.0.3:0"));
    // No data files for these scales: every address fails, none may read as the old success.
    const DriverRun run = runDriver(tree.bin(), {"WR", "56", "127.0.0.3", "127.0.0.2"}, 1);
    QVERIFY(run.finished);
    QCOMPARE(tree.result(), QStringLiteral("127.0.0.3:1;127.0.0.2:1"));
}

void TransferDriverTest::hangingScaleCutAtDeadline()
{
    ProgramTree tree;
    QVERIFY(tree.make());
    SimProcess sim;
    QVERIFY2(sim.start({"127.0.4.1:hang", "127.0.4.2"}, tree.data()), qPrintable(sim.log()));
    for (const char *a : {"127.0.4.1", "127.0.4.2"})
        QVERIFY(writeAll(scaleFile(tree.bin(), a, 61), hexLine(100, 1)));
    // Default deadlines, no test override.
    const DriverRun run = runDriver(tree.bin(), {"WR", "61", "127.0.4.1", "127.0.4.2"}, sim.port(), 0, 25000);
    QVERIFY(run.finished);
    QCOMPARE(tree.result(), QStringLiteral("127.0.4.1:3;127.0.4.2:0"));
    QVERIFY(sim.stop());
}

void TransferDriverTest::moreScalesThanConnectionsAtOnce()
{
    // The first 66 hang and fill every connection slot; the rest must still get their turn.
    ProgramTree tree;
    QVERIFY(tree.make());
    const QStringList addresses = rangeAddresses("127.0.9.", 1, 130);
    QList<int> codes;
    for (int i = 0; i < addresses.size(); ++i) {
        codes << (i < 66 ? 3 : 0);
        QVERIFY(writeAll(scaleFile(tree.bin(), addresses[i], 52), hexLine(300, i)));
    }
    SimProcess sim;
    QVERIFY2(sim.start({"--range", "127.0.9.1-66:hang", "--range", "127.0.9.67-130"}, tree.data()),
             qPrintable(sim.log()));
    const DriverRun run = runDriver(tree.bin(), QStringList{"WR", "52"} + addresses, sim.port(), 1000);
    QVERIFY(run.finished);
    const QStringList got = tree.result().split(QLatin1Char(';'));
    const QStringList want = expectedResult(addresses, codes).split(QLatin1Char(';'));
    QCOMPARE(got.size(), want.size());
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(got[i] == want[i], qPrintable(got[i] + " / sim: " + sim.log().split(QLatin1Char(10)).filter(addresses[i] + " ").join(" | ")));
    QCOMPARE(readAll(tree.data() + QStringLiteral("/127.0.9.130/F52.DAT")), hexLine(300, 129));
    QVERIFY(sim.stop());
}

void TransferDriverTest::portFromIni()
{
    ProgramTree tree;
    QVERIFY(tree.make());
    SimProcess sim;
    QVERIFY2(sim.start({"127.0.0.2"}, tree.data()), qPrintable(sim.log()));
    QVERIFY(writeAll(tree.root.path() + QStringLiteral("/Vexo2005.INI"),
                     QStringLiteral("[Setting]\r\nLanguage=EN\r\n[Transfer]\r\nPort=%1\r\n")
                         .arg(sim.port()).toLatin1()));
    const DriverRun run = runDriver(tree.bin(), {"RD", "52", "127.0.0.2"}, 0);
    QVERIFY(run.finished);
    QCOMPARE(tree.result(), QStringLiteral("127.0.0.2:0"));
    QCOMPARE(readAll(scaleFile(tree.bin(), "127.0.0.2", 52)), QByteArray("E2\r\n"));
}

void TransferDriverTest::simulatorServesLoopbackOnly_data()
{
    QTest::addColumn<QStringList>("args");

    QTest::newRow("lan address") << QStringList{"127.0.0.2", "192.168.1.21"};
    QTest::newRow("wildcard") << QStringList{"0.0.0.0"};
    QTest::newRow("range off loopback") << QStringList{"--range", "10.0.0.1-3"};
    QTest::newRow("not an address") << QStringList{"localhost"};
    QTest::newRow("unknown mode") << QStringList{"127.0.0.2:explode"};
    QTest::newRow("twice") << QStringList{"127.0.0.2", "127.0.0.2:hang"};
}

void TransferDriverTest::simulatorServesLoopbackOnly()
{
    QFETCH(QStringList, args);
    QProcess p;
    p.start(simPath(), QStringList{"--port", "0"} + args);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(!p.readAllStandardOutput().contains("listening"));
}

QTEST_GUILESS_MAIN(TransferDriverTest)
#include "test_transfer_driver.moc"
