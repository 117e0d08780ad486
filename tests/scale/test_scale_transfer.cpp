// Reading the driver's result, the result pop-up, and the send/receive runs with
// stand-in drivers (the real driver and simulator are in the end-to-end tests).
#include "scaletestenv.h"

#include "scale/resultpopup.h"
#include "scale/transfer.h"

#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>

using namespace quillon;
using namespace quillon::scaletest;

namespace {

QString codeText(int code)
{
    return QStringLiteral("text%1").arg(code);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

struct Popup {
    QString message, title;
    int kind = -1;
};

// A controller over a temporary program folder whose "vexowtcp" is a script.
struct Harness {
    ScaleTestEnv env;
    std::unique_ptr<TransferController> ctl;
    QStringList picks;            // answers of the picker, in turn; "" = cancelled
    QList<bool> pickModes;
    QList<Popup> popups;
    QStringList criticals;
    struct Import {
        QString format, text, shop;
        int model = -1;
        QByteArray formatBytes;
    };
    QList<Import> imports;
    bool exportOk = true;

    bool setUp()
    {
        if (!env.setUp())
            return false;
        TransferCallbacks cb;
        cb.hasActiveDocument = [] { return true; };
        cb.exportFormatData = [this](const QString& path) { return exportOk && writeFile(path, "F52DATA\r\n"); };
        cb.exportTextData = [](const QString& path, int type) {
            return writeFile(path, type == 10 ? "F56DATA\r\n" : "F61DATA\r\n");
        };
        cb.importReceivedData = [this](const QString& f, const QString& t, const QString& s, int model) {
            imports << Import{f, t, s, model, readFile(f)};
        };
        cb.pickScales = [this](bool multi) {
            pickModes << multi;
            const QString answer = picks.isEmpty() ? QString() : picks.takeFirst();
            return ScalePick{answer.isEmpty(), answer};
        };
        cb.showCritical = [this](const QString& t) { criticals << t; };
        cb.showPopup = [this](const QString& m, const QString& t, int k) { popups << Popup{m, t, k}; };
        ctl = std::make_unique<TransferController>(env.ctx, nullptr, cb);
        return true;
    }

    bool driver(const QByteArray& body) { return WriteScript(ctl->DriverProgram(), body); }

    bool waitIdle(int ms = 20000)
    {
        return QTest::qWaitFor([this] { return !ctl->busy(); }, ms);
    }

    QStringList exchangeFiles() const
    {
        QStringList out = QDir(env.programDir).entryList({QStringLiteral("SM*"), QStringLiteral("~tmp*")}, QDir::Files);
        out.sort();
        return out;
    }
    QString t(const char* section, const char* key) { return env.text(section, key); }
    QString line(const QString& address, int code)
    {
        return address.leftJustified(16, QLatin1Char(' ')) + QLatin1Char(':') +
               env.ctx.db().GetLangString(QStringLiteral("Global"), QStringLiteral("msgTCPDriver%1").arg(code)) +
               QStringLiteral("\r\n");
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
    void sendReportsFailuresPerAddress();
    void staleResultIsNotReadAgain();
    void invalidAddressesAreReportedAndSkipped();
    void driverThatNeverEndsIsKilled();
    void missingDriver();
    void failedExportSendsNothing();
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
    QTest::newRow("empty file") << QByteArray("") << two
                                << "192.168.1.5     :text99\r\n192.168.1.6     :text99\r\n";
    QTest::newRow("address not listed") << QByteArray("192.168.1.5:0") << two << "192.168.1.6     :text99\r\n";
    QTest::newRow("code not a number") << QByteArray("192.168.1.5:ok;192.168.1.6: 3") << two
                                       << "192.168.1.5     :text99\r\n192.168.1.6     :text3\r\n";
    QTest::newRow("entries without colon skipped") << QByteArray("junk;192.168.1.5:2;;192.168.1.6:0") << two
                                                   << "192.168.1.5     :text2\r\n";
    QTest::newRow("negative code") << QByteArray("10.0.0.1:-4") << QStringList{QStringLiteral("10.0.0.1")}
                                   << "10.0.0.1        :text-4\r\n";
    QTest::newRow("16 characters, no padding") << QByteArray("100.100.100.100:2")
                                               << QStringList{QStringLiteral("100.100.100.100")}
                                               << "100.100.100.100 :text2\r\n";
    QTest::newRow("repeated address at each place") << QByteArray("10.0.0.1:3;10.0.0.1:3")
                                                    << QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.1")}
                                                    << "10.0.0.1        :text3\r\n10.0.0.1        :text3\r\n";
}

void TestScaleTransfer::readDriverResult()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, addresses);
    QFETCH(QString, report);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("result"));
    if (content != "<none>")
        QVERIFY(writeFile(path, content));
    QCOMPARE(ReadDriverResult(path, addresses, codeText), report);
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
    QCOMPARE(p->size(), QSize(qRound(outer.width() / 2.0), qRound(outer.height() / 2.0)));
    const QRect screen = main.screen()->geometry();
    const QPoint corner(qMin(outer.right() + 1, screen.right() + 1), qMin(outer.bottom() + 1, screen.bottom() + 1));
    QCOMPARE(p->geometry().bottomRight() + QPoint(1, 1), corner);
    QVERIFY(screen.contains(p->geometry()));
    QCOMPARE(p->titleItem()->text(), shownTitle);
    QVERIFY(p->titleItem()->font().bold() && p->titleItem()->font().underline());
    QCOMPARE(p->titleItem()->font().pointSize(), 12);
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
    QWidget main;
    main.setGeometry(40, 40, 600, 400);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QPointer<ResultPopup> first = ShowPopupMsg(&main, noIcons.path(), QStringLiteral("first"), QString(), 0);
    QVERIFY(first);
    // Missing bitmaps leave their items empty; the pop-up shows all the same.
    QVERIFY(first->kindItem()->pixmap().isNull());
    QVERIFY(first->closeItem()->icon().isNull());
    QPointer<ResultPopup> second = ShowPopupMsg(&main, noIcons.path(), QStringLiteral("second"), QString(), 1);
    QVERIFY(!first);
    QVERIFY(second && second->isVisible());
    QCOMPARE(second->messageItem()->text(), QStringLiteral("second"));
    QTest::mouseClick(second->closeItem(), Qt::LeftButton);
    QTRY_VERIFY(!second);
    QVERIFY(!ResultPopup::current());
}

void TestScaleTransfer::sendRunsThreeTypesAndCleansUp()
{
    Harness h;
    QVERIFY(h.setUp());
    const QString log = h.env.tmp.path() + QStringLiteral("/driver.log");
    // Records its arguments, the exchange files it sees, and reports success for every address.
    QVERIFY(h.driver(QStringLiteral("echo \"$@\" >> '%1'\n"
                                    "ls SM* ~tmp* 2>/dev/null | tr '\\n' ' ' >> '%1'; echo >> '%1'\n"
                                    "shift 2; r=; for a; do r=\"$r$a:0;\"; done\n"
                                    "printf %s \"${r%;}\" > result\n").arg(log).toUtf8()));
    h.picks << QStringLiteral("127.0.0.2;127.0.0.3;127.0.0.4");
    QSignalSpy busy(h.ctl.get(), &TransferController::busyChanged);
    QSignalSpy progress(h.ctl.get(), &TransferController::progressChanged);
    h.ctl->SendToScales();
    QVERIFY(h.ctl->busy());
    // A second command while one runs is not started.
    h.ctl->SendToScales();
    h.ctl->ReceiveFromScale();
    QCOMPARE(h.pickModes, QList<bool>{true});
    QVERIFY(h.waitIdle());
    QCOMPARE(busy.size(), 2);
    QCOMPARE(progress.last().at(0).toInt(), 9);
    QCOMPARE(progress.last().at(1).toInt(), 9);

    const QStringList lines = QString::fromUtf8(readFile(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    const QString nine = QStringLiteral(
        "SM127.0.0.2F52.DAT SM127.0.0.2F56.DAT SM127.0.0.2F61.DAT SM127.0.0.3F52.DAT SM127.0.0.3F56.DAT "
        "SM127.0.0.3F61.DAT SM127.0.0.4F52.DAT SM127.0.0.4F56.DAT SM127.0.0.4F61.DAT ~tmpSendFormat.dat "
        "~tmpSendShopName.dat ~tmpSendText.dat ");
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(lines[2 * k], QStringLiteral("WR %1 127.0.0.2 127.0.0.3 127.0.0.4").arg(QList<int>{52, 56, 61}[k]));
        QCOMPARE(lines[2 * k + 1], nine);
    }
    QVERIFY(h.exchangeFiles().isEmpty());
    QCOMPARE(h.popups.size(), 1);
    const QString ok = h.t("frmMain", "msgAllSuccessful") + QStringLiteral("\r\n");
    QCOMPARE(h.popups[0].message, h.t("frmMain", "msgSendFormatToScale") + ok + QStringLiteral("\r\n") +
                                      h.t("frmMain", "msgSendTextToScale") + ok + QStringLiteral("\r\n") +
                                      h.t("frmMain", "msgSendShopnameToScale") + ok);
    QCOMPARE(h.popups[0].title, h.t("frmMain", "msgSendToScaleResult"));
    QCOMPARE(h.popups[0].kind, 1);
    QCOMPARE(h.ctl->lastReport(), h.popups[0].message);
}

void TestScaleTransfer::sendReportsFailuresPerAddress()
{
    Harness h;
    QVERIFY(h.setUp());
    // 56 fails for one scale; 61 leaves one address out of its result.
    QVERIFY(h.driver("case $2 in\n"
                     " 52) printf '10.0.0.1:0;10.0.0.2:0' > result;;\n"
                     " 56) printf '10.0.0.1:0;10.0.0.2:3' > result;;\n"
                     " 61) printf '10.0.0.2:0' > result;;\n"
                     "esac\n"));
    h.picks << QStringLiteral("10.0.0.1;10.0.0.2");
    h.ctl->SendToScales();
    QVERIFY(h.waitIdle());
    QCOMPARE(h.popups.size(), 1);
    const QString crlf = QStringLiteral("\r\n");
    QCOMPARE(h.popups[0].message, h.t("frmMain", "msgSendFormatToScale") + h.t("frmMain", "msgAllSuccessful") + crlf +
                                      crlf + h.t("frmMain", "msgSendTextToScale") + crlf + h.line("10.0.0.2", 3) +
                                      crlf + h.t("frmMain", "msgSendShopnameToScale") + crlf + h.line("10.0.0.1", 99));
}

void TestScaleTransfer::staleResultIsNotReadAgain()
{
    Harness h;
    QVERIFY(h.setUp());
    QVERIFY(h.driver("exit 0\n"));   // leaves no result at all
    QVERIFY(writeFile(h.ctl->ResultFile(), "10.0.0.1:0"));
    h.picks << QStringLiteral("10.0.0.1");
    h.ctl->SendToScales();
    QVERIFY(h.waitIdle());
    QCOMPARE(h.popups.size(), 1);
    QVERIFY(h.popups[0].message.contains(h.line("10.0.0.1", 98)));
    QCOMPARE(h.popups[0].message.count(h.line("10.0.0.1", 98)), 3);
    QVERIFY(!h.popups[0].message.contains(h.t("frmMain", "msgAllSuccessful")));
}

void TestScaleTransfer::invalidAddressesAreReportedAndSkipped()
{
    Harness h;
    QVERIFY(h.setUp());
    const QString log = h.env.tmp.path() + QStringLiteral("/driver.log");
    QVERIFY(h.driver(QStringLiteral("echo \"$@\" >> '%1'\n"
                                    "printf '10.0.0.1:0' > result\n").arg(log).toUtf8()));
    h.picks << QStringLiteral("../../evil;10.0.0.1;-rf;10.0.0.01");
    h.ctl->SendToScales();
    QVERIFY(h.waitIdle());
    QCOMPARE(QString::fromUtf8(readFile(log)),
             QStringLiteral("WR 52 10.0.0.1\nWR 56 10.0.0.1\nWR 61 10.0.0.1\n"));
    const QString expectedBlock = h.line("../../evil", 6) + h.line("-rf", 6) + h.line("10.0.0.01", 6);
    QCOMPARE(h.popups.size(), 1);
    QCOMPARE(h.popups[0].message.count(expectedBlock), 3);
    QVERIFY(h.exchangeFiles().isEmpty());
    QVERIFY(!QFileInfo::exists(h.env.tmp.path() + QStringLiteral("/evilF52.DAT")));

    // Only invalid ones: the driver never runs, the report still says why.
    QFile::remove(log);
    h.picks << QStringLiteral("-x");
    h.ctl->SendToScales();
    QVERIFY(h.waitIdle());
    QVERIFY(!QFileInfo::exists(log));
    QCOMPARE(h.popups.size(), 2);
    QCOMPARE(h.popups[1].message.count(h.line("-x", 6)), 3);
}

void TestScaleTransfer::driverThatNeverEndsIsKilled()
{
    Harness h;
    QVERIFY(h.setUp());
    const QString log = h.env.tmp.path() + QStringLiteral("/driver.log");
    QVERIFY(h.driver(QStringLiteral("echo $$ >> '%1'\nexec sleep 60\n").arg(log).toUtf8()));
    qputenv("QUILLON_DRIVER_TIMEOUT_MS", "700");
    h.picks << QStringLiteral("10.0.0.1;10.0.0.2");
    QElapsedTimer clock;
    clock.start();
    h.ctl->SendToScales();
    QVERIFY(h.waitIdle(10000));
    qunsetenv("QUILLON_DRIVER_TIMEOUT_MS");
    QVERIFY(clock.elapsed() >= 700);
    QCOMPARE(h.popups.size(), 1);
    QCOMPARE(h.popups[0].message, h.t("frmMain", "msgUnknownError"));
    QCOMPARE(h.popups[0].title, QString());
    QCOMPARE(h.popups[0].kind, 0);
    // Only the first type ran, and it was stopped.
    const QStringList pids = QString::fromUtf8(readFile(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(pids.size(), 1);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/") + pids[0] + QStringLiteral("/cmdline")) ||
            readFile(QStringLiteral("/proc/") + pids[0] + QStringLiteral("/stat")).contains(") Z"));
    QVERIFY(h.exchangeFiles().isEmpty());
}

void TestScaleTransfer::missingDriver()
{
    Harness h;
    QVERIFY(h.setUp());
    QFile::remove(h.ctl->DriverProgram());
    h.picks << QStringLiteral("10.0.0.1");
    h.ctl->SendToScales();
    QVERIFY(h.waitIdle());
    QCOMPARE(h.criticals, QStringList{h.t("frmMain", "msgCreateDriverError")});
    QVERIFY(h.popups.isEmpty());
    QVERIFY(h.exchangeFiles().isEmpty());

    // The same when the file is there but cannot run.
    QVERIFY(writeFile(h.ctl->DriverProgram(), "not a program"));
    h.picks << QStringLiteral("10.0.0.1");
    h.ctl->ReceiveFromScale();
    QVERIFY(h.waitIdle());
    QCOMPARE(h.criticals.size(), 2);
    QVERIFY(h.imports.isEmpty());
}

void TestScaleTransfer::failedExportSendsNothing()
{
    Harness h;
    QVERIFY(h.setUp());
    const QString log = h.env.tmp.path() + QStringLiteral("/driver.log");
    QVERIFY(h.driver(QStringLiteral("echo ran >> '%1'\n").arg(log).toUtf8()));
    h.exportOk = false;
    h.picks << QStringLiteral("10.0.0.1");
    h.ctl->SendToScales();
    QVERIFY(h.waitIdle());
    QVERIFY(!QFileInfo::exists(log));
    QVERIFY(h.popups.isEmpty());
    QVERIFY(h.exchangeFiles().isEmpty());
    // A cancelled picker starts nothing either.
    h.exportOk = true;
    h.ctl->SendToScales();
    QVERIFY(!h.ctl->busy());
    QVERIFY(!QFileInfo::exists(log));
}

void TestScaleTransfer::receive_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("imported");
    QTest::addColumn<bool>("textArrived");
    QTest::addColumn<QStringList>("reportKeys");   // headings expected in the report (kind 0)
    QTest::newRow("everything arrives")
        << QByteArray("printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT; printf \"$3:0\" > result\n") << true << true << QStringList{};
    QTest::newRow("text fails, format imported without it")
        << QByteArray("[ $2 = 56 ] && { printf 'half' > SM$3F$2.DAT; printf \"$3:7\" > result; exit 0; }\n"
                      "printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT; printf \"$3:0\" > result\n")
        << true << false << QStringList{};
    QTest::newRow("format fails: report, nothing imported")
        << QByteArray("[ $2 = 52 ] && { printf \"$3:2\" > result; exit 0; }\n"
                      "printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT; printf \"$3:0\" > result\n")
        << false << false << QStringList{QStringLiteral("msgRecvFormatFromScale")};
    QTest::newRow("driver leaves no result") << QByteArray("printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT\n") << false << false
                                             << QStringList{QStringLiteral("msgRecvFormatFromScale"),
                                                            QStringLiteral("msgRecvTextFromScale"),
                                                            QStringLiteral("msgRecvShopnameFromScale")};
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
    h.env.addScale(2, QStringLiteral("127.0.0.2"), h.env.ctx.tables.g_arrScaleModel[4].ID);
    // A stale file from an earlier run must not pass for received data.
    QVERIFY(writeFile(h.ctl->PerScaleFile(QStringLiteral("127.0.0.2"), 56), "STALE\r\n"));
    h.picks << QStringLiteral("127.0.0.2");
    h.ctl->ReceiveFromScale();
    QVERIFY(h.waitIdle());
    QCOMPARE(h.pickModes, QList<bool>{false});
    QCOMPARE(h.imports.size(), imported ? 1 : 0);
    if (imported) {
        QCOMPARE(h.imports[0].model, 4);
        QCOMPARE(h.imports[0].formatBytes, QByteArray("DATA52\r\n"));
        QCOMPARE(h.imports[0].text.isEmpty(), !textArrived);
        QVERIFY(!h.imports[0].shop.isEmpty());
        QVERIFY(h.popups.isEmpty());
    } else {
        QCOMPARE(h.popups.size(), 1);
        QCOMPARE(h.popups[0].kind, 0);
        QCOMPARE(h.popups[0].title, h.t("frmMain", "msgRecvFromScaleResult"));
        for (const QString& key : reportKeys)
            QVERIFY(h.popups[0].message.contains(h.env.ctx.db().GetLangString(QStringLiteral("frmMain"), key)));
    }
    QVERIFY(h.exchangeFiles().isEmpty());
}

QTEST_MAIN(TestScaleTransfer)
#include "test_scale_transfer.moc"
