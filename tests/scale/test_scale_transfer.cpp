// Reading the driver's result, the result pop-up, and the send/receive runs with
// stand-in drivers (the real driver and simulator are in the end-to-end tests).
#include "scaletestenv.h"

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
    QStringList imports; // model|format data|text arrived|shop name arrived
    bool exportOk = true;
    QString log = tmp.path() + QStringLiteral("/driver.log");

    bool setUp()
    {
        cb.exportFormatData = [this](const QString& path) { return exportOk && writeAll(path, "F52DATA\r\n"); };
        cb.exportTextData = [](const QString& path, int type) { return writeAll(path, "F" + QByteArray::number(type)); };
        cb.importReceivedData = [this](const QString& f, const QString& t, const QString& s, int model) {
            imports << QStringLiteral("%1|%2|%3|%4").arg(model).arg(readAll(f)).arg(!t.isEmpty()).arg(!s.isEmpty());
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
    void readDriverResult()
    {
        const QStringList two{"192.168.1.5", "192.168.1.6"};
        const QString five = "192.168.1.5     :text", six = "192.168.1.6     :text";
        const struct {
            QByteArray content; // "<none>": no file
            QStringList addresses;
            QString report;
        } cases[] = {
            {"192.168.1.5:0;192.168.1.6:7;", two, six + "7\r\n"},
            {"192.168.1.5:0;192.168.1.6:0\r\nignored:3", two, ""},
            {"<none>", two, five + "98\r\n" + six + "98\r\n"},
            {"", two, five + "99\r\n" + six + "99\r\n"},
            {"192.168.1.5:0", two, six + "99\r\n"},                                  // address not listed
            {"192.168.1.5:ok;192.168.1.6: 3", two, five + "99\r\n" + six + "3\r\n"}, // not a number
            {"junk;192.168.1.5:2;;192.168.1.6:0", two, five + "2\r\n"},              // no colon: skipped
            {"10.0.0.1:-4", {"10.0.0.1"}, "10.0.0.1        :text-4\r\n"},
            {"100.100.100.100:2", {"100.100.100.100"}, "100.100.100.100 :text2\r\n"}, // no padding
            {"10.0.0.1:3;10.0.0.1:3", {"10.0.0.1", "10.0.0.1"}, QString("10.0.0.1        :text3\r\n").repeated(2)},
        };
        for (const auto& c : cases) {
            QTemporaryDir dir;
            QVERIFY(c.content == "<none>" || writeAll(dir.filePath("result"), c.content));
            const auto text = [](int n) { return QStringLiteral("text%1").arg(n); };
            QCOMPARE(ReadDriverResult(dir.filePath("result"), c.addresses, text), c.report);
        }
    }

    // Half the main window, in its lower right corner and never off the screen; one at a time.
    void popup()
    {
        const QString programDir = QStringLiteral(QUILLON_SOURCE_DIR "/data/program/");
        const struct {
            QRect main;
            int kind;
            QString title, shownTitle, bitmap;
        } cases[] = {
            {{100, 80, 600, 400}, 0, "", "Error", "error.bmp"},
            {{50, 50, 400, 300}, 7, "Send to Scales", "Send to Scales", ""},
            {{700, 500, 800, 600}, 1, "", "Information", "info.bmp"}, // beyond the screen
        };
        for (const auto& c : cases) {
            QWidget main;
            main.setGeometry(c.main);
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));
            const QRect outer = main.frameGeometry(), screen = main.screen()->geometry();
            ResultPopup* p = ShowPopupMsg(&main, programDir, QStringLiteral("line 1\r\nline 2"), c.title, c.kind);
            QVERIFY(p && p->isVisible());
            QCOMPARE(p->size(), QSize(qRound(outer.width() / 2.0), qRound(outer.height() / 2.0)));
            QCOMPARE(p->geometry().bottomRight(),
                     QPoint(qMin(outer.right(), screen.right()), qMin(outer.bottom(), screen.bottom())));
            QCOMPARE(p->titleItem()->text(), c.shownTitle);
            QCOMPARE(p->messageItem()->text(), QStringLiteral("line 1\nline 2"));
            const QString bitmap = c.bitmap.isEmpty() ? QString() : programDir + "Icon/" + c.bitmap;
            QCOMPARE(p->kindItem()->pixmap().toImage(), QPixmap(bitmap).toImage());
            QCOMPARE(p->closeItem()->geometry(), QRect(QPoint(p->width() - 20, 14), QPoint(p->width() - 4, 30)));
        }
        // Without a window, and with missing bitmaps that leave their items empty; the next one replaces it.
        QTemporaryDir noIcons;
        QPointer<ResultPopup> first = ShowPopupMsg(nullptr, noIcons.path(), QStringLiteral("first"), QString(), 0);
        QVERIFY(first->isVisible() && first->kindItem()->pixmap().isNull() && first->closeItem()->icon().isNull());
        QPointer<ResultPopup> second = ShowPopupMsg(nullptr, noIcons.path(), QStringLiteral("second"), QString(), 1);
        QVERIFY(!first && second->isVisible());
        QTest::mouseClick(second->closeItem(), Qt::LeftButton);
        QTRY_VERIFY(!second);
        QVERIFY(!ResultPopup::current());
    }

    void sendReports()
    {
        const struct {
            QByteArray driver;
            QString picks, valid; // the addresses the driver is given; "": it never runs
            QStringList failures; // per type, "address:code" entries
        } cases[] = {
            {"case $2 in\n 52) printf '10.0.0.1:0;10.0.0.2:0' > result;;\n"
             " 56) printf '10.0.0.1:0;10.0.0.2:3' > result;;\n"
             " 61) printf '10.0.0.2:0' > result;;\nesac\n", // one address left out
             "10.0.0.1;10.0.0.2", "10.0.0.1 10.0.0.2", {"", "10.0.0.2:3", "10.0.0.1:99"}},
            // No result: the stale one is not read again.
            {"exit 0\n", "10.0.0.1", "10.0.0.1", QStringList(3, "10.0.0.1:98")},
            {"printf '10.0.0.1:0' > result\n", "../../evil;10.0.0.1;-rf;10.0.0.01", "10.0.0.1",
             QStringList(3, "../../evil:6 -rf:6 10.0.0.01:6")},
            {"", "-x", "", QStringList(3, "-x:6")},
        };
        for (const auto& c : cases) {
            Harness h;
            QVERIFY(h.setUp() && h.driver(c.driver));
            QVERIFY(writeAll(h.ctl->ResultFile(), "10.0.0.1:0"));
            h.picks << c.picks;
            QVERIFY(h.run(&TransferController::SendToScales));
            QString expected;
            for (const char* t : {"52", "56", "61"})
                expected += c.valid.isEmpty() ? QString() : QStringLiteral("WR %1 %2\n").arg(QLatin1String(t), c.valid);
            QCOMPARE(QString::fromUtf8(readAll(h.log)), expected);
            QStringList failures = c.failures;
            for (QString& f : failures)
                f = h.lines(f);
            QCOMPARE(h.popups.size(), 1);
            QCOMPARE(h.popups[0].message, h.sendReport(failures));
            QCOMPARE(h.ctl->lastReport(), h.popups[0].message);
            QCOMPARE(h.leftovers(), QStringList());
            QVERIFY(!QFileInfo::exists(h.tmp.path() + QStringLiteral("/evilF52.DAT")));
        }
    }

    void nothingSentOrDriverStopped()
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
        QVERIFY(h.popups[0].title.isEmpty() && h.popups[0].kind == 0);
        const QString proc = QStringLiteral("/proc/") + QString::fromLatin1(readAll(pidFile).trimmed());
        QVERIFY(!QFileInfo::exists(proc + "/cmdline") || readAll(proc + "/stat").contains(") Z"));
        QCOMPARE(h.leftovers(), QStringList());

        // A driver that is missing, or there but cannot run.
        QFile::remove(h.ctl->DriverProgram());
        h.picks << QStringLiteral("10.0.0.1") << QStringLiteral("10.0.0.1");
        QVERIFY(h.run(&TransferController::SendToScales));
        QVERIFY(writeAll(h.ctl->DriverProgram(), "not a program"));
        QVERIFY(h.run(&TransferController::ReceiveFromScale));
        QCOMPARE(h.criticals, QStringList(2, h.text("frmMain", "msgCreateDriverError")));
        QCOMPARE(h.popups.size(), 1);
        QVERIFY(h.imports.isEmpty());
        QCOMPARE(h.leftovers(), QStringList());
    }

    void receive()
    {
        const QByteArray arrives = "printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT; printf \"$3:0\" > result\n";
        const struct {
            QByteArray script;
            bool imported, textArrived;
            QStringList reportKeys; // headings expected in the report
        } cases[] = {
            {arrives, true, true, {}},
            {"[ $2 = 56 ] && { printf 'half' > SM$3F$2.DAT; printf \"$3:7\" > result; exit 0; }\n" + arrives, true,
             false,
             {}},
            {"[ $2 = 52 ] && { printf \"$3:2\" > result; exit 0; }\n" + arrives, false, false,
             {"msgRecvFormatFromScale"}},
            {"printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT\n", false, false, // no result at all
             {"msgRecvFormatFromScale", "msgRecvTextFromScale", "msgRecvShopnameFromScale"}},
        };
        for (const auto& c : cases) {
            Harness h;
            QVERIFY(h.setUp() && h.driver(c.script));
            h.addScale(2, QStringLiteral("127.0.0.2"), 4);
            // A stale file from an earlier run must not pass for received data.
            QVERIFY(writeAll(h.ctl->PerScaleFile(QStringLiteral("127.0.0.2"), 56), "STALE\r\n"));
            h.picks << QStringLiteral("127.0.0.2");
            QVERIFY(h.run(&TransferController::ReceiveFromScale));
            QCOMPARE(h.pickModes, QList<bool>{false});
            QCOMPARE(h.imports, c.imported ? QStringList{QStringLiteral("4|DATA52\r\n|%1|1").arg(c.textArrived)}
                                           : QStringList());
            QCOMPARE(h.popups.size(), c.imported ? 0 : 1);
            for (const QString& key : c.reportKeys)
                QVERIFY(h.popups[0].message.contains(h.text("frmMain", qPrintable(key))));
            QVERIFY(c.imported || h.popups[0].title == h.text("frmMain", "msgRecvFromScaleResult"));
            QVERIFY(c.imported || h.popups[0].kind == 0);
            QCOMPARE(h.leftovers(), QStringList());
        }
    }
};

QTEST_MAIN(TestScaleTransfer)
#include "test_scale_transfer.moc"
