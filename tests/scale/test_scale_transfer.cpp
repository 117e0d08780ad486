// Reading the driver's result, the result pop-up, and the send/receive runs with
// stand-in drivers (the real driver and simulator are in the end-to-end tests).
#include "scaletestenv.h"
#include "common/simprocess.h"

#include "scale/resultpopup.h"

#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>

using namespace quillon;
using namespace quillon::scaletest;
using transfertest::readAll;
using transfertest::writeAll;

namespace {

// A harness whose exports write placeholders and whose imports are recorded.
struct Harness : TransferHarness {
    struct Import {
        QString text, shop;
        int model = -1;
        QByteArray format;
    };
    QList<Import> imports;
    bool exportOk = true;
    QString log = tmp.path() + QStringLiteral("/driver.log");

    bool setUp()
    {
        cb.exportFormatData = [this](const QString& path) { return exportOk && writeAll(path, "F52DATA\r\n"); };
        cb.exportTextData = [](const QString& path, int type) { return writeAll(path, type == 10 ? "F56\r\n" : "F61\r\n"); };
        cb.importReceivedData = [this](const QString& f, const QString& t, const QString& s, int model) {
            imports << Import{t, s, model, readAll(f)};
        };
        if (!TransferHarness::setUp())
            return false;
        start();
        return true;
    }
    // A stand-in driver that logs its arguments, then runs `body`.
    bool driver(const QByteArray& body)
    {
        return WriteScript(ctl->DriverProgram(), "echo \"$@\" >> '" + log.toUtf8() + "'\n" + body);
    }
    // Report lines from "address:code" entries joined by blanks.
    QString lines(const QString& spec)
    {
        QString out;
        for (const QString& entry : spec.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            out += line(entry.section(QLatin1Char(':'), 0, -2), entry.section(QLatin1Char(':'), -1).toInt());
        return out;
    }
};

} // namespace

class TestScaleTransfer : public QObject {
    Q_OBJECT
private slots:
    void readDriverResult_data();
    void readDriverResult();
    void popupPlacement_data();
    void popupPlacement();
    void popupReplacedAndClosed();
    void sendRunsThreeTypesAndCleansUp();
    void sendReports_data();
    void sendReports();
    void nothingSentOrDriverStopped();
    void receive_data();
    void receive();
};

void TestScaleTransfer::readDriverResult_data()
{
    QTest::addColumn<QByteArray>("content");   // "<none>": no file
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("report");
    const QStringList two{QStringLiteral("192.168.1.5"), QStringLiteral("192.168.1.6")};
    QTest::newRow("one failure, trailing separator")
        << QByteArray("192.168.1.5:0;192.168.1.6:7;") << two << "192.168.1.6     :text7\r\n";
    QTest::newRow("all success") << QByteArray("192.168.1.5:0;192.168.1.6:0\r\nignored:3") << two << "";
    QTest::newRow("missing file") << QByteArray("<none>") << two
                                  << "192.168.1.5     :text98\r\n192.168.1.6     :text98\r\n";
    QTest::newRow("empty file") << QByteArray("") << two << "192.168.1.5     :text99\r\n192.168.1.6     :text99\r\n";
    QTest::newRow("address not listed") << QByteArray("192.168.1.5:0") << two << "192.168.1.6     :text99\r\n";
    QTest::newRow("code not a number") << QByteArray("192.168.1.5:ok;192.168.1.6: 3") << two
                                       << "192.168.1.5     :text99\r\n192.168.1.6     :text3\r\n";
    QTest::newRow("entries without colon skipped") << QByteArray("junk;192.168.1.5:2;;192.168.1.6:0") << two
                                                   << "192.168.1.5     :text2\r\n";
    QTest::newRow("negative code") << QByteArray("10.0.0.1:-4") << QStringList{"10.0.0.1"}
                                   << "10.0.0.1        :text-4\r\n";
    QTest::newRow("16 characters, no padding") << QByteArray("100.100.100.100:2") << QStringList{"100.100.100.100"}
                                               << "100.100.100.100 :text2\r\n";
    QTest::newRow("repeated address at each place") << QByteArray("10.0.0.1:3;10.0.0.1:3")
                                                    << QStringList{"10.0.0.1", "10.0.0.1"}
                                                    << "10.0.0.1        :text3\r\n10.0.0.1        :text3\r\n";
}

void TestScaleTransfer::readDriverResult()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, addresses);
    QFETCH(QString, report);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("result"));
    QVERIFY(content == "<none>" || writeAll(path, content));
    QCOMPARE(ReadDriverResult(path, addresses, [](int code) { return QStringLiteral("text%1").arg(code); }), report);
}

void TestScaleTransfer::popupPlacement_data()
{
    QTest::addColumn<QRect>("mainRect");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shownTitle");
    QTest::addColumn<QString>("kindBitmap");
    QTest::newRow("error, empty title") << QRect(100, 80, 600, 400) << 0 << "" << "Error" << "error.bmp";
    QTest::newRow("information, empty title") << QRect(0, 0, 500, 300) << 1 << "" << "Information" << "info.bmp";
    QTest::newRow("given title, other kind") << QRect(50, 50, 400, 300) << 7 << "Send to Scales" << "Send to Scales" << "";
    QTest::newRow("beyond the screen") << QRect(700, 500, 800, 600) << 1 << "" << "Information" << "info.bmp";
}

void TestScaleTransfer::popupPlacement()
{
    QFETCH(QRect, mainRect);
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QString, shownTitle);
    QFETCH(QString, kindBitmap);
    const QString programDir = QStringLiteral(QUILLON_SOURCE_DIR) + QStringLiteral("/data/program/");
    QWidget main;
    main.setGeometry(mainRect);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const QRect outer = main.frameGeometry();
    ResultPopup* p = ShowPopupMsg(&main, programDir, QStringLiteral("line 1\r\nline 2"), title, kind);
    QVERIFY(p && p->isVisible());
    QCOMPARE(ResultPopup::current(), p);
    // Half the main window, in its lower right corner, never off the screen.
    QCOMPARE(p->size(), QSize(qRound(outer.width() / 2.0), qRound(outer.height() / 2.0)));
    const QRect screen = main.screen()->geometry();
    QCOMPARE(p->geometry().bottomRight() + QPoint(1, 1),
             QPoint(qMin(outer.right(), screen.right()) + 1, qMin(outer.bottom(), screen.bottom()) + 1));
    QVERIFY(screen.contains(p->geometry()));
    QCOMPARE(p->titleItem()->text(), shownTitle);
    QCOMPARE(p->messageItem()->text(), QStringLiteral("line 1\nline 2"));
    QCOMPARE(p->kindItem()->pixmap().isNull(), kindBitmap.isEmpty());
    if (!kindBitmap.isEmpty())
        QCOMPARE(p->kindItem()->pixmap().toImage(), QPixmap(programDir + "Icon/" + kindBitmap).toImage());
    QVERIFY(!p->closeItem()->icon().isNull());
    QCOMPARE(p->closeItem()->geometry(), QRect(QPoint(p->width() - 20, 14), QPoint(p->width() - 4, 30)));
    p->close();
}

void TestScaleTransfer::popupReplacedAndClosed()
{
    QTemporaryDir noIcons;
    QPointer<ResultPopup> first = ShowPopupMsg(nullptr, noIcons.path(), QStringLiteral("first"), QString(), 0);
    QVERIFY(first);
    // Missing bitmaps leave their items empty; the pop-up shows all the same.
    QVERIFY(first->kindItem()->pixmap().isNull());
    QVERIFY(first->closeItem()->icon().isNull());
    QPointer<ResultPopup> second = ShowPopupMsg(nullptr, noIcons.path(), QStringLiteral("second"), QString(), 1);
    QVERIFY(!first);
    QVERIFY(second && second->isVisible());
    QTest::mouseClick(second->closeItem(), Qt::LeftButton);
    QTRY_VERIFY(!second);
    QVERIFY(!ResultPopup::current());
}

void TestScaleTransfer::sendRunsThreeTypesAndCleansUp()
{
    Harness h;
    QVERIFY(h.setUp());
    // Records the exchange files it sees and reports success for every address.
    QVERIFY(h.driver(QStringLiteral("ls SM* ~tmp* 2>/dev/null | tr '\\n' ' ' >> '%1'; echo >> '%1'\n"
                                    "shift 2; r=; for a; do r=\"$r$a:0;\"; done\n"
                                    "printf %s \"${r%;}\" > result\n").arg(h.log).toUtf8()));
    h.picks << QStringLiteral("127.0.0.2;127.0.0.3;127.0.0.4");
    QSignalSpy busy(h.ctl.get(), &TransferController::busyChanged);
    QSignalSpy progress(h.ctl.get(), &TransferController::progressChanged);
    h.ctl->SendToScales();
    QVERIFY(h.ctl->busy());
    // A second command while one runs is not started.
    h.ctl->SendToScales();
    h.ctl->ReceiveFromScale();
    QVERIFY(QTest::qWaitFor([&] { return !h.ctl->busy(); }, 20000));
    QCOMPARE(h.pickModes, QList<bool>{true});
    QCOMPARE(busy.size(), 2);
    QCOMPARE(progress.last().mid(0, 2), (QVariantList{9, 9}));

    QString files;
    for (const char* a : {"2", "3", "4"})
        for (const char* t : {"52", "56", "61"})
            files += QStringLiteral("SM127.0.0.%1F%2.DAT ").arg(QLatin1String(a), QLatin1String(t));
    files += QStringLiteral("~tmpSendFormat.dat ~tmpSendShopName.dat ~tmpSendText.dat \n");
    QString expected;
    for (const char* t : {"52", "56", "61"})
        expected += QStringLiteral("WR %1 127.0.0.2 127.0.0.3 127.0.0.4\n").arg(QLatin1String(t)) + files;
    QCOMPARE(QString::fromUtf8(readAll(h.log)), expected);
    QCOMPARE(h.leftovers(), QStringList());
    QCOMPARE(h.popups.size(), 1);
    QCOMPARE(h.popups[0].message, h.sendReport({}));
    QCOMPARE(h.popups[0].title, h.text("frmMain", "msgSendToScaleResult"));
    QCOMPARE(h.popups[0].kind, 1);
    QCOMPARE(h.ctl->lastReport(), h.popups[0].message);
}

void TestScaleTransfer::sendReports_data()
{
    QTest::addColumn<QByteArray>("driver");
    QTest::addColumn<QString>("picks");
    QTest::addColumn<QString>("valid");        // the addresses the driver is given; "": it never runs
    QTest::addColumn<QStringList>("failures"); // per type, "address:code" entries
    QTest::newRow("per address and type")
        << QByteArray("case $2 in\n"
                      " 52) printf '10.0.0.1:0;10.0.0.2:0' > result;;\n"
                      " 56) printf '10.0.0.1:0;10.0.0.2:3' > result;;\n"
                      " 61) printf '10.0.0.2:0' > result;;\n"   // one address left out
                      "esac\n")
        << "10.0.0.1;10.0.0.2" << "10.0.0.1 10.0.0.2" << QStringList{"", "10.0.0.2:3", "10.0.0.1:99"};
    QTest::newRow("no result: the stale one is not read again")
        << QByteArray("exit 0\n") << "10.0.0.1" << "10.0.0.1" << QStringList(3, "10.0.0.1:98");
    QTest::newRow("invalid addresses reported and skipped")
        << QByteArray("printf '10.0.0.1:0' > result\n") << "../../evil;10.0.0.1;-rf;10.0.0.01" << "10.0.0.1"
        << QStringList(3, "../../evil:6 -rf:6 10.0.0.01:6");
    QTest::newRow("only invalid ones") << QByteArray() << "-x" << "" << QStringList(3, "-x:6");
}

void TestScaleTransfer::sendReports()
{
    QFETCH(QByteArray, driver);
    QFETCH(QString, picks);
    QFETCH(QString, valid);
    QFETCH(QStringList, failures);
    Harness h;
    QVERIFY(h.setUp());
    QVERIFY(h.driver(driver));
    QVERIFY(writeAll(h.ctl->ResultFile(), "10.0.0.1:0"));
    h.picks << picks;
    QVERIFY(h.run(&TransferController::SendToScales));
    QString expected;
    for (const char* t : {"52", "56", "61"})
        expected += valid.isEmpty() ? QString() : QStringLiteral("WR %1 %2\n").arg(QLatin1String(t), valid);
    QCOMPARE(QString::fromUtf8(readAll(h.log)), expected);
    for (QString& f : failures)
        f = h.lines(f);
    QCOMPARE(h.popups.size(), 1);
    QCOMPARE(h.popups[0].message, h.sendReport(failures));
    QCOMPARE(h.leftovers(), QStringList());
    QVERIFY(!QFileInfo::exists(h.tmp.path() + QStringLiteral("/evilF52.DAT")));
}

void TestScaleTransfer::nothingSentOrDriverStopped()
{
    Harness h;
    QVERIFY(h.setUp());
    const QString pidFile = h.tmp.path() + QStringLiteral("/pid");
    QVERIFY(h.driver("echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 60\n"));
    // A failed export sends nothing, a cancelled picker starts nothing.
    h.exportOk = false;
    h.picks << QStringLiteral("10.0.0.1") << QString();
    QVERIFY(h.run(&TransferController::SendToScales));
    QVERIFY(h.run(&TransferController::SendToScales));
    QVERIFY(!QFileInfo::exists(h.log));
    QCOMPARE(h.pickModes.size(), 2);

    // A driver that never ends is stopped; only the first type ran.
    h.exportOk = true;
    qputenv("QUILLON_DRIVER_TIMEOUT_MS", "700");
    h.picks << QStringLiteral("10.0.0.1;10.0.0.2");
    QElapsedTimer clock;
    clock.start();
    QVERIFY(h.run(&TransferController::SendToScales, 10000));
    qunsetenv("QUILLON_DRIVER_TIMEOUT_MS");
    QVERIFY(clock.elapsed() >= 700);
    QCOMPARE(QString::fromUtf8(readAll(h.log)), QStringLiteral("WR 52 10.0.0.1 10.0.0.2\n"));
    QCOMPARE(h.popups.size(), 1);
    QCOMPARE(h.popups[0].message, h.text("frmMain", "msgUnknownError"));
    QCOMPARE(h.popups[0].title, QString());
    QCOMPARE(h.popups[0].kind, 0);
    const QString proc = QStringLiteral("/proc/") + QString::fromLatin1(readAll(pidFile).trimmed());
    QVERIFY(!QFileInfo::exists(proc + QStringLiteral("/cmdline")) || readAll(proc + QStringLiteral("/stat")).contains(") Z"));
    QCOMPARE(h.leftovers(), QStringList());

    // A driver that is missing, or there but cannot run.
    QFile::remove(h.ctl->DriverProgram());
    h.picks << QStringLiteral("10.0.0.1");
    QVERIFY(h.run(&TransferController::SendToScales));
    QVERIFY(writeAll(h.ctl->DriverProgram(), "not a program"));
    h.picks << QStringLiteral("10.0.0.1");
    QVERIFY(h.run(&TransferController::ReceiveFromScale));
    QCOMPARE(h.criticals, QStringList(2, h.text("frmMain", "msgCreateDriverError")));
    QCOMPARE(h.popups.size(), 1);
    QVERIFY(h.imports.isEmpty());
    QCOMPARE(h.leftovers(), QStringList());
}

void TestScaleTransfer::receive_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("imported");
    QTest::addColumn<bool>("textArrived");
    QTest::addColumn<QStringList>("reportKeys");   // headings expected in the report (kind 0)
    const QByteArray arrives = "printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT; printf \"$3:0\" > result\n";
    QTest::newRow("everything arrives") << arrives << true << true << QStringList{};
    QTest::newRow("text fails, format imported without it")
        << "[ $2 = 56 ] && { printf 'half' > SM$3F$2.DAT; printf \"$3:7\" > result; exit 0; }\n" + arrives << true
        << false << QStringList{};
    QTest::newRow("format fails: report, nothing imported")
        << "[ $2 = 52 ] && { printf \"$3:2\" > result; exit 0; }\n" + arrives << false << false
        << QStringList{"msgRecvFormatFromScale"};
    QTest::newRow("driver leaves no result")
        << QByteArray("printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT\n") << false << false
        << QStringList{"msgRecvFormatFromScale", "msgRecvTextFromScale", "msgRecvShopnameFromScale"};
}

void TestScaleTransfer::receive()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, imported);
    QFETCH(bool, textArrived);
    QFETCH(QStringList, reportKeys);
    Harness h;
    QVERIFY(h.setUp());
    QVERIFY(h.driver(script));
    h.addScale(2, QStringLiteral("127.0.0.2"), 4);
    // A stale file from an earlier run must not pass for received data.
    QVERIFY(writeAll(h.ctl->PerScaleFile(QStringLiteral("127.0.0.2"), 56), "STALE\r\n"));
    h.picks << QStringLiteral("127.0.0.2");
    QVERIFY(h.run(&TransferController::ReceiveFromScale));
    QCOMPARE(h.pickModes, QList<bool>{false});
    QCOMPARE(h.imports.size(), imported ? 1 : 0);
    QCOMPARE(h.popups.size(), imported ? 0 : 1);
    if (imported) {
        QCOMPARE(h.imports[0].model, 4);
        QCOMPARE(h.imports[0].format, QByteArray("DATA52\r\n"));
        QCOMPARE(h.imports[0].text.isEmpty(), !textArrived);
        QVERIFY(!h.imports[0].shop.isEmpty());
    } else {
        QCOMPARE(h.popups[0].kind, 0);
        QCOMPARE(h.popups[0].title, h.text("frmMain", "msgRecvFromScaleResult"));
        for (const QString& key : reportKeys)
            QVERIFY(h.popups[0].message.contains(h.text("frmMain", qPrintable(key))));
    }
    QCOMPARE(h.leftovers(), QStringList());
}

QTEST_MAIN(TestScaleTransfer)
#include "test_scale_transfer.moc"
