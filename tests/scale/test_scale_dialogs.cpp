// The scale list, its add/edit dialog and the scale picker, driven as a user would.
#include "scaletestenv.h"

#include "scale/scalepicker.h"
#include "scale/scalelistdialog.h"
#include "scale/scaleeditdialog.h"
#include "scale/scalepickerdialog.h"
#include "scale/resultpopup.h"
#include "scale/scaledata.h"
#include "scale/scaledialog.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QTreeWidget>

using namespace quillon;
using namespace quillon::scaletest;

class TestScaleDialogs : public QObject {
    Q_OBJECT
private slots:
    void addressRules_data();
    void addressRules();
    void addScale_data();
    void addScale();
    void editScale();
    void deleteKeepsHighlightPositions();
    void boundValuesNeverChangeAQuery();
    void pickerSelection_data();
    void pickerSelection();
    void pickerThroughComponent();
    void pingStates();
    void pingProgramMissing();
    void grabDialogs();
};

void TestScaleDialogs::addressRules_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("dotted");
    QTest::addColumn<int>("scaleNo");
    QTest::newRow("plain") << "192.168.1.21" << true << 21;
    QTest::newRow("zero scale") << "10.0.0.0" << true << 0;
    QTest::newRow("top") << "255.255.255.255" << true << 255;
    QTest::newRow("part over 255") << "10.0.0.256" << false << 256;
    QTest::newRow("letter tail") << "192.168.1.x" << false << 0;
    QTest::newRow("leading zero") << "10.0.0.07" << false << 7;
    QTest::newRow("three parts") << "10.0.7" << false << 7;
    QTest::newRow("option") << "-oProxy=1" << false << 0;
    QTest::newRow("traversal") << "../../etc.1" << false << 1;
    QTest::newRow("blank inside") << "10.0.0. 5" << false << 5;
    QTest::newRow("no dot") << "42" << false << 42;
    QTest::newRow("digits then junk") << "10.0.0.12ab" << false << 12;
    QTest::newRow("beyond 16 bits") << "1.1.1.99999" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
}

void TestScaleDialogs::addressRules()
{
    QFETCH(QString, ip);
    QFETCH(bool, dotted);
    QFETCH(int, scaleNo);
    QCOMPARE(IsDottedIPv4(ip), dotted);
    QCOMPARE(int(GetScaleNoFromIP(ip)), scaleNo);
}

void TestScaleDialogs::addScale_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("modelIndex");
    QTest::addColumn<bool>("stored");
    QTest::newRow("third model") << "10.0.0.7" << 2 << true;
    QTest::newRow("duplicate") << "10.0.0.5" << 0 << false;
    QTest::newRow("scale number 0") << "10.0.0.0" << 0 << false;
    QTest::newRow("not an address") << "192.168.1.x" << 0 << false;
    QTest::newRow("quote injection") << "10.0.0.8'); delete from SCALE; --" << 1 << false;
    QTest::newRow("option-like") << "-c 9 10.0.0.9" << 1 << false;
}

void TestScaleDialogs::addScale()
{
    QFETCH(QString, ip);
    QFETCH(int, modelIndex);
    QFETCH(bool, stored);
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    const auto& models = env.ctx.tables.g_arrScaleModel;
    QVERIFY(models.size() > 2);
    env.addScale(5, QStringLiteral("10.0.0.5"), models[0].ID);
    const auto before = env.rows();

    ScaleListDialog dlg(env.ctx);
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 1);
    bool sawDialog = false, keptOpen = false;
    QString problem, title;
    OnNextModal<ScaleEditDialog>([&](ScaleEditDialog* edit) {
        sawDialog = true;
        title = edit->windowTitle();
        QVERIFY(edit->txtIP->text().isEmpty());
        QCOMPARE(edit->cboScaleModal->currentIndex(), 0);
        QTest::keyClicks(edit->txtIP, ip);
        edit->cboScaleModal->setCurrentIndex(modelIndex);
        QTest::mouseClick(edit->cmdOK, Qt::LeftButton);
        if (edit->isVisible()) {
            keptOpen = true;
            problem = edit->lblProblem->text();
            QTest::mouseClick(edit->cmdCancel, Qt::LeftButton);
        }
    });
    QTest::mouseClick(dlg.cmdAddNew, Qt::LeftButton);
    QVERIFY(sawDialog);
    QCOMPARE(title, env.text("frmScaleEdit", "CaptionAdd"));
    QCOMPARE(env.tableCount(QStringLiteral("SCALE")), 1);
    if (!stored) {
        QVERIFY(keptOpen);
        QVERIFY(!problem.isEmpty());
        QCOMPARE(env.rows(), before);
        QCOMPARE(dlg.lvwScale->topLevelItemCount(), 1);
        return;
    }
    QVERIFY(!keptOpen);
    const auto after = env.rows();
    QCOMPARE(after.size(), 2);
    const ScaleTestEnv::Row added{7, 97, ip, true, models[modelIndex].ID};
    QVERIFY(after.contains(added));
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 2);
    QCOMPARE(dlg.lvwScale->topLevelItem(1)->text(0), QStringLiteral("7"));
    QCOMPARE(dlg.lvwScale->topLevelItem(1)->text(2), models[modelIndex].SCALE_NAME);
    QVERIFY(env.reporter.entries.isEmpty());
}

void TestScaleDialogs::editScale()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    const auto& models = env.ctx.tables.g_arrScaleModel;
    env.addScale(7, QStringLiteral("10.0.0.7"), models[3].ID);
    env.addScale(7, QStringLiteral("10.0.1.7"), models[0].ID);   // same last part: both listed

    ScaleListDialog dlg(env.ctx);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 2);
    // Nothing highlighted: Edit does nothing.
    QTest::mouseClick(dlg.cmdEdit, Qt::LeftButton);

    QTreeWidgetItem* row = dlg.lvwScale->findItems(QStringLiteral("10.0.0.7"), Qt::MatchExactly, 1).value(0);
    QVERIFY(row);
    QString shownIp, title;
    int shownModel = -1;
    OnNextModal<ScaleEditDialog>([&](ScaleEditDialog* edit) {
        shownIp = edit->txtIP->text();
        shownModel = edit->cboScaleModal->currentIndex();
        title = edit->windowTitle();
        edit->txtIP->selectAll();
        QTest::keyClicks(edit->txtIP, QStringLiteral("10.0.0.9"));
        QTest::keyClick(edit->txtIP, Qt::Key_Return);
    });
    // A double-click on the row edits it.
    const QRect r = dlg.lvwScale->visualItemRect(row);
    QTest::mouseClick(dlg.lvwScale->viewport(), Qt::LeftButton, {}, r.center() + QPoint(40, 0));
    QTest::mouseDClick(dlg.lvwScale->viewport(), Qt::LeftButton, {}, r.center() + QPoint(40, 0));
    QCOMPARE(shownIp, QStringLiteral("10.0.0.7"));
    QCOMPARE(shownModel, 3);
    QCOMPARE(title, env.text("frmScaleEdit", "CaptionEdit"));
    const auto rows = env.rows();
    QVERIFY(rows.contains(ScaleTestEnv::Row{9, 97, QStringLiteral("10.0.0.9"), true, models[3].ID}));
    QVERIFY(rows.contains(ScaleTestEnv::Row{7, 97, QStringLiteral("10.0.1.7"), true, models[0].ID}));

    // Editing into an address another scale has is explained and stores nothing.
    dlg.lvwScale->clearSelection();
    dlg.lvwScale->topLevelItem(0)->setSelected(true);
    QString problem;
    OnNextModal<ScaleEditDialog>([&](ScaleEditDialog* edit) {
        edit->txtIP->setText(QStringLiteral("10.0.0.9"));
        QTest::mouseClick(edit->cmdOK, Qt::LeftButton);
        problem = edit->lblProblem->isVisible() ? edit->lblProblem->text() : QString();
        QTest::mouseClick(edit->cmdCancel, Qt::LeftButton);
    });
    QTest::mouseClick(dlg.cmdEdit, Qt::LeftButton);
    QVERIFY(!problem.isEmpty());
    QCOMPARE(env.rows(), rows);
    QVERIFY(env.reporter.entries.isEmpty());
}

void TestScaleDialogs::deleteKeepsHighlightPositions()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    const int id = env.ctx.tables.g_arrScaleModel[0].ID;
    for (int n : {10, 20, 30, 40})
        env.addScale(n, QStringLiteral("10.0.0.%1").arg(n), id);
    env.addScale(50, QStringLiteral("10.0.0.50"), id, false);   // not in use: never listed

    ScaleListDialog dlg(env.ctx);
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 4);
    dlg.lvwScale->topLevelItem(1)->setSelected(true);
    dlg.lvwScale->topLevelItem(2)->setSelected(true);
    QTest::mouseClick(dlg.cmdDelete, Qt::LeftButton);
    QStringList left;
    for (const auto& r : env.rows())
        left << r.ip;
    QCOMPARE(left, (QStringList{QStringLiteral("10.0.0.10"), QStringLiteral("10.0.0.40"), QStringLiteral("10.0.0.50")}));
    // The rows at the highlighted positions are highlighted again, beyond the end skipped.
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 2);
    QVERIFY(!dlg.lvwScale->topLevelItem(0)->isSelected());
    QVERIFY(dlg.lvwScale->topLevelItem(1)->isSelected());
    QCOMPARE(dlg.lvwScale->topLevelItem(1)->text(1), QStringLiteral("10.0.0.40"));

    // Enter closes the list and stores its placement.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTest::keyClick(dlg.lvwScale, Qt::Key_Return);
    QVERIFY(!dlg.isVisible());
    QVERIFY(ReadPlacement(QStringLiteral("ScaleEditWidth"), -1) > 0);
}

void TestScaleDialogs::boundValuesNeverChangeAQuery()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    const int id = env.ctx.tables.g_arrScaleModel[1].ID;
    env.addScale(5, QStringLiteral("10.0.0.5"), id);
    const QString evil = QStringLiteral("x' OR '1'='1");
    QVERIFY(!ScaleExists(env.ctx.db(), evil));
    QVERIFY(DeleteScale(env.ctx.db(), evil));
    QVERIFY(ChangeScale(env.ctx.db(), evil, QStringLiteral("10.0.0.6"), id));
    QCOMPARE(GetScaleModelIndexByIP(env.ctx, evil), 0);
    QCOMPARE(env.rows().size(), 1);
    QCOMPARE(env.rows().first().ip, QStringLiteral("10.0.0.5"));
    // Stored as it stands, harmless text.
    QVERIFY(AddScale(env.ctx.db(), evil, id));
    QVERIFY(ScaleExists(env.ctx.db(), evil));
    QCOMPARE(env.rows().size(), 2);
    QCOMPARE(GetScaleModelIndexByIP(env.ctx, QStringLiteral("10.0.0.5")), 1);
    QCOMPARE(GetScaleModelIndexByIP(env.ctx, QStringLiteral("10.0.0.99")), 0);
}

void TestScaleDialogs::pickerSelection_data()
{
    QTest::addColumn<bool>("single");
    QTest::addColumn<QString>("script");   // actions: 2 3 tick rows (by click), m menu select-all, u unselect-all, d2 double-click row 2
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("scales");
    QTest::newRow("multi, all ticked at start") << false << "" << true << "10.0.0.1;10.0.0.2;10.0.0.3";
    QTest::newRow("multi, toggle one off") << false << "2" << true << "10.0.0.1;10.0.0.3";
    QTest::newRow("single, none ticked keeps open") << true << "" << false << "";
    QTest::newRow("single, last click wins") << true << "2 3" << true << "10.0.0.3";
    QTest::newRow("single, click on the ticked row keeps it") << true << "3 3" << true << "10.0.0.3";
    QTest::newRow("single, select all ticks several") << true << "m" << true << "10.0.0.1;10.0.0.2;10.0.0.3";
    QTest::newRow("single, double-click") << true << "2 d3" << true << "10.0.0.3";
    QTest::newRow("multi, double-click toggles") << false << "d1" << true << "10.0.0.2;10.0.0.3";
    QTest::newRow("multi, unselect all") << false << "u" << false << "";
    QTest::newRow("multi, highlighted only") << false << "u h2 s" << true << "10.0.0.2";
}

void TestScaleDialogs::pickerSelection()
{
    QFETCH(bool, single);
    QFETCH(QString, script);
    QFETCH(bool, accepted);
    QFETCH(QString, scales);
    ScaleTestEnv env;
    // Every address answers at once: the states are not what this test is about.
    QVERIFY(env.setUp(QStringLiteral("Ping=/bin/true")));
    const auto& models = env.ctx.tables.g_arrScaleModel;
    env.addScale(3, QStringLiteral("10.0.0.3"), models[0].ID);
    env.addScale(1, QStringLiteral("10.0.0.1"), models[1].ID);
    env.addScale(2, QStringLiteral("10.0.0.2"), models[2].ID);
    env.addScale(4, QStringLiteral("10.0.0.4"), models[0].ID, false);   // not in use
    env.addScale(5, QStringLiteral("10.0.0.5"), 999);                   // unknown model

    ScalePickerDialog dlg(env.ctx);
    dlg.m_bJustOneSelected = single;
    dlg.Form_Load();
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 3);
    QCOMPARE(dlg.lvwScale->topLevelItem(0)->text(1), QStringLiteral("10.0.0.1"));
    QCOMPARE(dlg.lvwScale->topLevelItem(1)->text(2), models[2].SCALE_NAME);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(dlg.lvwScale->topLevelItem(i)->checkState(0), single ? Qt::Unchecked : Qt::Checked);

    auto clickCheck = [&](int row) {
        QTreeWidgetItem* item = dlg.lvwScale->topLevelItem(row);
        QStyleOptionViewItem opt;
        opt.initFrom(dlg.lvwScale);
        opt.rect = dlg.lvwScale->visualItemRect(item);
        opt.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = dlg.lvwScale->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt,
                                                                dlg.lvwScale);
        QTest::mouseClick(dlg.lvwScale->viewport(), Qt::LeftButton, {}, box.center());
    };
    for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (step == QLatin1String("m"))
            dlg.mnuPopup->findChild<QAction*>(QStringLiteral("mnuSelectAll"))->trigger();
        else if (step == QLatin1String("u"))
            dlg.mnuPopup->findChild<QAction*>(QStringLiteral("mnuUnselectAll"))->trigger();
        else if (step == QLatin1String("s"))
            dlg.mnuPopup->findChild<QAction*>(QStringLiteral("mnuSelect"))->trigger();
        else if (step.startsWith(QLatin1Char('h')))
            dlg.lvwScale->topLevelItem(step.mid(1).toInt() - 1)->setSelected(true);
        else if (step.startsWith(QLatin1Char('d'))) {
            QTreeWidgetItem* item = dlg.lvwScale->topLevelItem(step.mid(1).toInt() - 1);
            const QPoint at = dlg.lvwScale->visualItemRect(item).center() + QPoint(60, 0);
            QTest::mouseClick(dlg.lvwScale->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(dlg.lvwScale->viewport(), Qt::LeftButton, {}, at);
        } else
            clickCheck(step.toInt() - 1);
    }
    QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    QCOMPARE(dlg.isVisible(), !accepted);
    QCOMPARE(dlg.m_bCancel, !accepted);
    QCOMPARE(dlg.m_strScales, scales);
    if (!accepted) {
        QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QVERIFY(dlg.m_bCancel);
    }
}

void TestScaleDialogs::pickerThroughComponent()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp(QStringLiteral("Ping=/bin/true")));
    env.addScale(1, QStringLiteral("10.0.0.1"), env.ctx.tables.g_arrScaleModel[0].ID);
    env.addScale(2, QStringLiteral("10.0.0.2"), env.ctx.tables.g_arrScaleModel[0].ID);

    ScalePicker picker(env.ctx);
    picker.m_bMultiSelect = true;
    OnNextModal<ScalePickerDialog>([](ScalePickerDialog* dlg) { QTest::keyClick(dlg->lvwScale, Qt::Key_Return); });
    picker.Show();
    QVERIFY(!picker.m_bCancel);
    QCOMPARE(picker.m_strScales, QStringLiteral("10.0.0.1;10.0.0.2"));
    QVERIFY(ReadPlacement(QStringLiteral("ScaleSelectHeight"), -1) > 0);

    ScalePicker single(env.ctx);
    single.m_bMultiSelect = false;
    OnNextModal<ScalePickerDialog>([](ScalePickerDialog* dlg) { dlg->close(); });
    single.Show();
    QVERIFY(single.m_bCancel);
    QVERIFY(single.m_strScales.isEmpty());
}

void TestScaleDialogs::pingStates()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    // A stand-in ping: answers for 127.0.0.2 at once, times out for the others after a while.
    const QString fakePing = env.programDir + QStringLiteral("fakeping");
    const QString argsLog = env.tmp.path() + QStringLiteral("/ping-args.txt");
    QVERIFY(WriteScript(fakePing, QStringLiteral("echo \"$@\" >> '%1'\n"
                                                 "for a; do last=$a; done\n"
                                                 "[ \"$last\" = 127.0.0.2 ] && exit 0\n"
                                                 "sleep 0.4; exit 1\n").arg(argsLog).toUtf8()));
    QFile ini(env.rootDir + QStringLiteral("Vexo2005.INI"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QByteArray text = ini.readAll();
    ini.close();
    text.replace("Ping=ping", "Ping=" + fakePing.toUtf8());
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(text);
    ini.close();

    const int id = env.ctx.tables.g_arrScaleModel[0].ID;
    env.addScale(2, QStringLiteral("127.0.0.2"), id);
    env.addScale(3, QStringLiteral("127.0.0.3"), id);
    env.addScale(4, QStringLiteral("-c9 127.0.0.4"), id);   // never a ping argument

    ScalePickerDialog dlg(env.ctx);
    dlg.Form_Load();
    QCOMPARE(dlg.pingState(0), int(PingChecking));
    QCOMPARE(dlg.pingState(1), int(PingChecking));
    QCOMPARE(dlg.pingState(2), int(PingInvalid));
    QVERIFY(dlg.tmrCheckPing->isActive());
    QCOMPARE(dlg.tmrCheckPing->interval(), 50);
    QTRY_COMPARE_WITH_TIMEOUT(dlg.pingState(0), int(PingOK), 5000);
    // The slow one is still pending while the quick one is already shown.
    QCOMPARE(dlg.pingState(1), int(PingChecking));
    QTRY_COMPARE_WITH_TIMEOUT(dlg.pingState(1), int(PingTimeOut), 5000);
    QTRY_VERIFY(!dlg.tmrCheckPing->isActive());
    QCOMPARE(dlg.pendingPings(), 0);

    QFile log(argsLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(lines, (QStringList{QStringLiteral("-c 1 -W 1.5 127.0.0.2"), QStringLiteral("-c 1 -W 1.5 127.0.0.3")}));
    // An invalid address can still be chosen; the transfer reports it.
    QCOMPARE(dlg.lvwScale->topLevelItem(2)->checkState(0), Qt::Checked);
}

void TestScaleDialogs::pingProgramMissing()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp(QStringLiteral("Ping=/nonexistent/ping")));
    env.addScale(2, QStringLiteral("127.0.0.2"), env.ctx.tables.g_arrScaleModel[0].ID);
    ScalePickerDialog dlg(env.ctx);
    dlg.Form_Load();
    QTRY_COMPARE(dlg.pendingPings(), 0);
    QCOMPARE(dlg.pingState(0), int(PingChecking));
    QTRY_VERIFY(!dlg.tmrCheckPing->isActive());
    QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    QCOMPARE(dlg.m_strScales, QStringLiteral("127.0.0.2"));
}

void TestScaleDialogs::grabDialogs()
{
    const QString out = qEnvironmentVariable("QUILLON_GRAB_DIR");
    if (out.isEmpty())
        QSKIP("set QUILLON_GRAB_DIR to write pictures of the dialogs");
    ScaleTestEnv env;
    QVERIFY(env.setUp(QStringLiteral("Ping=/bin/false")));
    const auto& models = env.ctx.tables.g_arrScaleModel;
    env.addScale(21, QStringLiteral("192.168.1.21"), models[0].ID);
    env.addScale(22, QStringLiteral("192.168.1.22"), models[2].ID);
    env.addScale(2, QStringLiteral("127.0.0.2"), models[1].ID);
    env.addScale(9, QStringLiteral("bad address"), models[1].ID);
    ScaleListDialog config(env.ctx);
    config.lvwScale->topLevelItem(1)->setSelected(true);
    config.show();
    QVERIFY(QTest::qWaitForWindowExposed(&config));
    config.grab().save(out + QStringLiteral("/scaleconfig.png"));
    ScaleEditDialog edit(env.ctx);
    edit.m_bAddNew = true;
    edit.Form_Load();
    edit.txtIP->setText(QStringLiteral("10.0.0.0"));
    edit.m_validate = ScaleAddressProblem;
    edit.show();
    edit.cmdOK_Click();
    QTest::qWait(50);
    edit.grab().save(out + QStringLiteral("/scaleedit.png"));
    ScalePickerDialog select(env.ctx);
    select.Form_Load();
    select.show();
    QTRY_VERIFY(!select.tmrCheckPing->isActive());
    select.grab().save(out + QStringLiteral("/scaleselect.png"));
    QWidget main;
    main.setGeometry(0, 0, 900, 600);
    main.show();
    ResultPopup* popup = ShowPopupMsg(&main, env.programDir, QStringLiteral("Format data:\r\n192.168.1.22    :The scale did not answer in time\r\n\r\nText data:All scales received the data.\r\n"),
                                   QStringLiteral("Send to Scales"), 1);
    QTest::qWait(50);
    popup->grab().save(out + QStringLiteral("/popup.png"));
}

QTEST_MAIN(TestScaleDialogs)
#include "test_scale_dialogs.moc"
