// The real driver against the real simulator, on loopback only.
#include "common/simprocess.h"

#include <QTcpSocket>
#include <QtTest>

using namespace transfertest;

namespace {

const int kTypes[] = {52, 56, 61};

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

// A program folder "bin" inside a root folder, as the program lays them out, and the simulator's data folder.
struct ProgramTree {
    QTemporaryDir root;
    QString bin = root.path() + QStringLiteral("/bin");
    QString data = root.path() + QStringLiteral("/simdata");
    bool make() { return root.isValid() && QDir().mkpath(bin) && QDir().mkpath(data); }
    QString scaleFile(const QString &address, int type) const
    {
        return QStringLiteral("%1/SM%2F%3.DAT").arg(bin, address).arg(type);
    }
    QString simFile(const QString &address, int type) const
    {
        return QStringLiteral("%1/%2/F%3.DAT").arg(data, address).arg(type);
    }
    QString result() const { return QString::fromLatin1(readAll(bin + QStringLiteral("/result"))); }
    QStringList binEntries() const
    {
        return QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    // Runs the driver and gives its result file ("" when it did not finish).
    QString run(const QStringList &args, quint16 port, int timeoutMs = 0) const
    {
        const DriverRun r = runDriver(bin, args, port, timeoutMs);
        return r.finished && r.exitCode == 0 ? result() : QString();
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
    void invalidAddressesAndStaleResult();
    void usageErrors_data();
    void usageErrors();
    void moreScalesThanConnectionsAtOnce();
    void portFromIniAndDefaultDeadlines();
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
    QVERIFY2(sim.start(simArgs, tree.data), qPrintable(sim.log()));
    QHash<QString, QByteArray> sent;
    for (int i = 0; i < addresses.size(); ++i)
        for (int type : kTypes) {
            QByteArray bytes = hexLine(type == 56 ? 4000 : 600, i * 100 + type);
            if (type == 61)
                bytes.prepend(QByteArray("\x00\xff\x80", 3)); // sent as is, not as text
            sent.insert(tree.scaleFile(addresses[i], type), bytes);
            QVERIFY(writeAll(tree.scaleFile(addresses[i], type), bytes));
        }
    for (int type : kTypes) {
        const QStringList op = opAsOneArgument ? QStringList{QStringLiteral(" WR %1 ").arg(type)}
                                               : QStringList{"WR", QString::number(type)};
        QCOMPARE(tree.run(op + addresses, sim.port()), expectedResult(addresses, QList<int>(addresses.size(), 0)));
    }
    for (const QString &a : addresses)
        for (int type : kTypes)
            QCOMPARE(readAll(tree.simFile(a, type)), sent.value(tree.scaleFile(a, type)));

    // Fetch back from the first and the last scale, after the simulator restarted from its folder.
    QVERIFY(sim.stop());
    SimProcess again;
    QVERIFY2(again.start(simArgs, tree.data), qPrintable(again.log()));
    for (const QString &address : {addresses.first(), addresses.last()})
        for (int type : kTypes) {
            const QString file = tree.scaleFile(address, type);
            QVERIFY(QFile::remove(file));
            QCOMPARE(tree.run({"RD", QString::number(type), address}, again.port()), address + QStringLiteral(":0"));
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
    const bool read = op == QLatin1String("RD");
    // One scale per behaviour, with the code both operations report for it.
    const QList<std::pair<QString, int>> cases = {
        {"127.0.3.1", 0}, {"127.0.3.2:hang", 3}, {"127.0.3.3:refuse", 2},
        {"127.0.3.4:slow=300", 0}, {"127.0.3.5:garbage", 5}, {"127.0.3.6:drop", 7},
        {"127.0.3.7:reject", 4}, {"127.0.3.8:slow=6000", 3}, // trickles past the exchange deadline
        {"127.0.3.9", 0},
    };
    ProgramTree tree;
    QVERIFY(tree.make());
    QStringList simArgs, addresses;
    QList<int> codes;
    for (const auto &[spec, code] : cases) {
        simArgs << spec;
        addresses << spec.section(QLatin1Char(':'), 0, 0);
        codes << code;
        const QByteArray bytes = hexLine(2000, int(addresses.size()));
        if (read) {
            QVERIFY(QDir().mkpath(tree.data + QLatin1Char('/') + addresses.last()));
            QVERIFY(writeAll(tree.simFile(addresses.last(), 52), bytes));
        }
        // Read: an older file must not survive a failed read and pass for received data.
        QVERIFY(writeAll(tree.scaleFile(addresses.last(), 52), read ? QByteArray("stale\r\n") : bytes));
    }
    SimProcess sim;
    QVERIFY2(sim.start(simArgs, tree.data), qPrintable(sim.log()));
    QCOMPARE(tree.run(QStringList{op, "52"} + addresses, sim.port(), 1500), expectedResult(addresses, codes));
    for (int i = 0; i < addresses.size(); ++i) {
        const QString here = tree.scaleFile(addresses[i], 52);
        if (codes[i] == 0)
            QCOMPARE(readAll(here), readAll(tree.simFile(addresses[i], 52)));
        else if (read)
            QVERIFY(!QFile::exists(here));
    }
    // A request cut half-way is not stored.
    QVERIFY(read || !QFile::exists(tree.simFile("127.0.3.6", 52)));
    if (read) {
        // No temporary leftovers from the atomic writes.
        for (const QString &name : tree.binEntries())
            QVERIFY2(name == QLatin1String("result") || name.endsWith(QLatin1String(".DAT")), qPrintable(name));
        // A type the scale holds nothing for comes back as "E2".
        QCOMPARE(tree.run({"RD", "61", "127.0.3.1"}, sim.port()), QStringLiteral("127.0.3.1:0"));
        QCOMPARE(readAll(tree.scaleFile("127.0.3.1", 61)), QByteArray("E2\r\n"));
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
    QVERIFY(QDir().mkpath(tree.data + QStringLiteral("/127.0.0.2")));
    QVERIFY(writeAll(tree.simFile("127.0.0.2", 52), "0102\r\n"));
    // A folder in place of the per-scale file: unreadable for WR, not replaceable for RD.
    const QString blocker = tree.scaleFile("127.0.0.2", 52);
    QVERIFY(QDir().mkpath(blocker + QStringLiteral("/inside")));
    SimProcess sim;
    QVERIFY2(sim.start({"127.0.0.2"}, tree.data), qPrintable(sim.log()));
    QCOMPARE(tree.run({op, "52", "127.0.0.2"}, sim.port()), QStringLiteral("127.0.0.2:%1").arg(code));
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
    QVERIFY2(sim.start({"127.0.0.2"}, tree.data), qPrintable(sim.log()));
    {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.2"), sim.port());
        QVERIFY(socket.waitForConnected(3000));
        socket.write(request);
        QVERIFY(socket.waitForBytesWritten(3000));
        QByteArray reply;
        while (reply.size() < 12 && socket.waitForReadyRead(3000))
            reply += socket.readAll();
        QCOMPARE(reply.left(6), QByteArray("QSCL\x01\x03", 6)); // bad request
    }
    // The scale goes on serving afterwards.
    QCOMPARE(tree.run({"RD", "52", "127.0.0.2"}, sim.port()), QStringLiteral("127.0.0.2:0"));
    QVERIFY(sim.stop());
}

void TransferDriverTest::invalidAddressesAndStaleResult()
{
    ProgramTree tree;
    QVERIFY(tree.make());
    SimProcess sim;
    QVERIFY2(sim.start({"127.0.0.2"}, tree.data), qPrintable(sim.log()));
    QVERIFY(writeAll(tree.scaleFile("127.0.0.2", 52), "0102\r\n"));
    QVERIFY(writeAll(tree.root.path() + QStringLiteral("/x"), "keep"));
    const QStringList addresses = {"../x", "-rf", "127.0.0.2", "1.2.3", "256.1.1.1", "1.2.3.4/..", "",
                                   " 127.0.0.2", "127.0.0.2 ", "a;b:0", "127.0.0.2\r\n", "01.2.3.4", "127.0.0.3"};
    const QStringList before = QDir(tree.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const char *op : {"WR", "RD"}) {
        // A result left from before must be replaced as a whole.
        QVERIFY(writeAll(tree.bin + QStringLiteral("/result"), "127.0.0.3:0;x:0"));
        QCOMPARE(tree.run(QStringList{op, "52"} + addresses, sim.port()),
                 QStringLiteral("../x:6;-rf:6;127.0.0.2:0;1.2.3:6;256.1.1.1:6;1.2.3.4/..:6;:6;"
                                " 127.0.0.2:6;127.0.0.2 :6;a?b?0:6;127.0.0.2??:6;01.2.3.4:6;127.0.0.3:%1")
                     .arg(op[0] == 'W' ? 1 : 2));
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
    const DriverRun run = runDriver(tree.bin, args, 1);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.stderrText.contains("usage"));
    QVERIFY(tree.binEntries().isEmpty());
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
        QVERIFY(writeAll(tree.scaleFile(addresses[i], 52), hexLine(300, i)));
    }
    SimProcess sim;
    QVERIFY2(sim.start({"--range", "127.0.9.1-66:hang", "--range", "127.0.9.67-130"}, tree.data),
             qPrintable(sim.log()));
    QCOMPARE(tree.run(QStringList{"WR", "52"} + addresses, sim.port(), 1000), expectedResult(addresses, codes));
    QCOMPARE(readAll(tree.simFile("127.0.9.130", 52)), hexLine(300, 129));
    QVERIFY(sim.stop());
}

void TransferDriverTest::portFromIniAndDefaultDeadlines()
{
    ProgramTree tree;
    QVERIFY(tree.make());
    SimProcess sim;
    QVERIFY2(sim.start({"127.0.0.2", "127.0.4.1:hang"}, tree.data), qPrintable(sim.log()));
    QVERIFY(writeAll(tree.root.path() + QStringLiteral("/Vexo2005.INI"),
                     QStringLiteral("[Setting]\r\nLanguage=EN\r\n[Transfer]\r\nPort=%1\r\n").arg(sim.port()).toLatin1()));
    // No port and no deadline from the environment: the hanging scale is cut at the default deadline.
    QCOMPARE(tree.run({"RD", "52", "127.0.4.1", "127.0.0.2"}, 0), QStringLiteral("127.0.4.1:3;127.0.0.2:0"));
    QCOMPARE(readAll(tree.scaleFile("127.0.0.2", 52)), QByteArray("E2\r\n"));
    QVERIFY(sim.stop());
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
