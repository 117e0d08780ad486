// The scale list, its add/edit dialog and the scale picker, driven as a user would.
#include "scaletestenv.h"

#include "scale/scaledata.h"
#include "scale/scaledialog.h"
#include "scale/scaleeditdialog.h"
#include "scale/scalelistdialog.h"
#include "scale/scalepickerdialog.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTreeWidget>

using namespace quillon;
using namespace quillon::scaletest;

class TestScaleDialogs : public QObject {
    Q_OBJECT
private slots:
    void scaleList();
    void boundValuesNeverChangeAQuery();
    void pickerSelection_data();
    void pickerSelection();
    void pingStates();
};

// Adding, editing and deleting through the list and its edit dialog.
void TestScaleDialogs::scaleList()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    env.addScale(5, QStringLiteral("10.0.0.5"), 0);
    env.addScale(7, QStringLiteral("10.0.1.7"), 0);
    env.addScale(40, QStringLiteral("10.0.0.40"), 0);
    env.addScale(50, QStringLiteral("10.0.0.50"), 0, false);   // not in use: never listed
    ScaleListDialog dlg(env.ctx);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTreeWidget* list = dlg.lvwScale;
    QStringList rows = env.rows();
    // Fills the edit dialog opened by `open` and gives what it showed and, when it stayed open, why.
    const auto edit = [&](const std::function<void()>& open, const QString& ip, int model) {
        QStringList seen;
        OnNextModal<ScaleEditDialog>([&](ScaleEditDialog* e) {
            seen << e->windowTitle() << e->txtIP->text() << QString::number(e->cboScaleModal->currentIndex());
            e->txtIP->selectAll();
            QTest::keyClicks(e->txtIP, ip);
            e->cboScaleModal->setCurrentIndex(model);
            QTest::keyClick(e->txtIP, Qt::Key_Return);
            seen << (e->isVisible() ? e->lblProblem->text() : QString());
            QTest::mouseClick(e->cmdCancel, Qt::LeftButton);
        });
        open();
        return seen;
    };
    const auto add = [&] { QTest::mouseClick(dlg.cmdAddNew, Qt::LeftButton); };
    const QString addTitle = env.text("frmScaleEdit", "CaptionAdd");
    const QString editTitle = env.text("frmScaleEdit", "CaptionEdit");
    // Refused addresses stay in the dialog, explained, and store nothing.
    for (const char* ip : {"10.0.0.5", "10.0.0.0", "192.168.1.x", "10.0.0.8'); delete from SCALE; --", "-c 9 1.1.1.9"}) {
        const QStringList seen = edit(add, QString::fromUtf8(ip), 1);
        QCOMPARE(seen.mid(0, 3), (QStringList{addTitle, "", "0"}));
        QVERIFY2(!seen.value(3).isEmpty(), ip);
        QCOMPARE(env.rows(), rows);
    }
    QCOMPARE(edit(add, QStringLiteral("10.0.0.7"), 2), (QStringList{addTitle, "", "0", ""}));
    rows << QStringLiteral("7|97|10.0.0.7|1|%1").arg(env.modelId(2));
    rows.sort();
    QCOMPARE(env.rows(), rows);
    QCOMPARE(list->topLevelItemCount(), 4);
    QTreeWidgetItem* added = list->findItems(QStringLiteral("10.0.0.7"), Qt::MatchExactly, 1).value(0);
    QVERIFY(added && added->text(0) == QStringLiteral("7"));
    QCOMPARE(added->text(2), env.ctx.tables.g_arrScaleModel[2].SCALE_NAME);

    // Nothing highlighted: Edit does nothing. A double-click on a row edits it.
    QTest::mouseClick(dlg.cmdEdit, Qt::LeftButton);
    const QPoint at = list->visualItemRect(added).center() + QPoint(40, 0);
    const auto dclick = [&] {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    };
    QCOMPARE(edit(dclick, QStringLiteral("10.0.0.9"), 2), (QStringList{editTitle, "10.0.0.7", "2", ""}));
    rows.replaceInStrings(QStringLiteral("7|97|10.0.0.7"), QStringLiteral("9|97|10.0.0.9"));
    rows.sort();
    QCOMPARE(env.rows(), rows);
    // Editing into an address another scale has is explained and stores nothing.
    list->clearSelection();
    list->findItems(QStringLiteral("10.0.0.9"), Qt::MatchExactly, 1).value(0)->setSelected(true);
    QVERIFY(!edit([&] { QTest::mouseClick(dlg.cmdEdit, Qt::LeftButton); }, "10.0.0.5", 2).value(3).isEmpty());
    QCOMPARE(env.rows(), rows);

    // By number: 5, 7, 9, 40. Deleting the middle two highlights the rows at their positions, beyond the end skipped.
    list->clearSelection();
    list->topLevelItem(1)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    QTest::mouseClick(dlg.cmdDelete, Qt::LeftButton);
    QCOMPARE(env.rows(), rows.filter(QRegularExpression("^(5|40|50)\\|")));
    QCOMPARE(list->topLevelItemCount(), 2);
    QVERIFY(!list->topLevelItem(0)->isSelected() && list->topLevelItem(1)->isSelected());
    QVERIFY(env.reporter.entries.isEmpty());
    // Enter closes the list and stores its placement.
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(!dlg.isVisible());
    QVERIFY(ReadPlacement(QStringLiteral("ScaleEditWidth"), -1) > 0);
}

void TestScaleDialogs::boundValuesNeverChangeAQuery()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    env.addScale(5, QStringLiteral("10.0.0.5"), 1);
    const QStringList before = env.rows();
    const QString evil = QStringLiteral("x' OR '1'='1");
    QVERIFY(!ScaleExists(env.ctx.db(), evil));
    QVERIFY(DeleteScale(env.ctx.db(), evil));
    QVERIFY(ChangeScale(env.ctx.db(), evil, QStringLiteral("10.0.0.6"), env.modelId(1)));
    QCOMPARE(GetScaleModelIndexByIP(env.ctx, evil), 0);
    QCOMPARE(env.rows(), before);
    // Stored as it stands, harmless text.
    QVERIFY(AddScale(env.ctx.db(), evil, env.modelId(1)));
    QVERIFY(ScaleExists(env.ctx.db(), evil));
    QCOMPARE(env.rows().size(), 2);
    QCOMPARE(GetScaleModelIndexByIP(env.ctx, QStringLiteral("10.0.0.5")), 1);
    QCOMPARE(GetScaleModelIndexByIP(env.ctx, QStringLiteral("10.0.0.99")), 0);
}

void TestScaleDialogs::pickerSelection_data()
{
    QTest::addColumn<bool>("single");
    // Steps: 2 3 tick rows by their box, d2 double-click row 2, h2 highlight row 2,
    // and the menu's m select all, u unselect all, s select the highlighted.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("scales");   // "": the picker stays open
    QTest::newRow("multi, all ticked at start") << false << "" << "10.0.0.1;10.0.0.2;10.0.0.3";
    QTest::newRow("multi, toggle one off") << false << "2" << "10.0.0.1;10.0.0.3";
    QTest::newRow("single, none ticked keeps open") << true << "" << "";
    QTest::newRow("single, last click wins") << true << "2 3" << "10.0.0.3";
    QTest::newRow("single, click on the ticked row keeps it") << true << "3 3" << "10.0.0.3";
    QTest::newRow("single, select all ticks several") << true << "m" << "10.0.0.1;10.0.0.2;10.0.0.3";
    QTest::newRow("single, double-click") << true << "2 d3" << "10.0.0.3";
    QTest::newRow("multi, double-click toggles") << false << "d1" << "10.0.0.2;10.0.0.3";
    QTest::newRow("multi, unselect all") << false << "u" << "";
    QTest::newRow("multi, highlighted only") << false << "u h2 s" << "10.0.0.2";
}

void TestScaleDialogs::pickerSelection()
{
    QFETCH(bool, single);
    QFETCH(QString, script);
    QFETCH(QString, scales);
    ScaleTestEnv env;
    // No ping program: the rows stay "checking" and can be chosen all the same.
    QVERIFY(env.setUp(QStringLiteral("/nonexistent/ping")));
    env.addScale(3, QStringLiteral("10.0.0.3"), 0);
    env.addScale(1, QStringLiteral("10.0.0.1"), 1);
    env.addScale(2, QStringLiteral("10.0.0.2"), 2);
    env.addScale(4, QStringLiteral("10.0.0.4"), 0, false);   // not in use
    env.addScale(5, QStringLiteral("10.0.0.5"), -1);         // unknown model

    ScalePickerDialog dlg(env.ctx);
    dlg.m_bJustOneSelected = single;
    dlg.Form_Load();
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTreeWidget* list = dlg.lvwScale;
    QCOMPARE(list->topLevelItemCount(), 3);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("10.0.0.1"));
    QCOMPARE(list->topLevelItem(1)->text(2), env.ctx.tables.g_arrScaleModel[2].SCALE_NAME);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(list->topLevelItem(i)->checkState(0), single ? Qt::Unchecked : Qt::Checked);
    QTRY_COMPARE(dlg.pendingPings(), 0);
    QCOMPARE(dlg.pingState(0), int(PingChecking));

    for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const char* menu = step == "m"   ? "mnuSelectAll"
                           : step == "u" ? "mnuUnselectAll"
                           : step == "s" ? "mnuSelect"
                                         : nullptr;
        const int row = step.right(1).toInt() - 1;
        if (menu) {
            dlg.mnuPopup->findChild<QAction*>(QLatin1String(menu))->trigger();
        } else if (step.startsWith(QLatin1Char('h'))) {
            list->topLevelItem(row)->setSelected(true);
        } else if (step.startsWith(QLatin1Char('d'))) {
            const QPoint at = list->visualItemRect(list->topLevelItem(row)).center() + QPoint(40, 0);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        } else {
            QStyleOptionViewItem opt;
            opt.initFrom(list);
            opt.rect = list->visualItemRect(list->topLevelItem(row));
            opt.features |= QStyleOptionViewItem::HasCheckIndicator;
            const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, list);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
        }
    }
    QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    QCOMPARE(dlg.isVisible(), scales.isEmpty());
    QCOMPARE(dlg.m_bCancel, scales.isEmpty());
    QCOMPARE(dlg.m_strScales, scales);
    if (scales.isEmpty()) {
        QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
        QVERIFY(!dlg.isVisible() && dlg.m_bCancel);
    }
}

void TestScaleDialogs::pingStates()
{
    ScaleTestEnv env;
    // A stand-in ping: answers for 127.0.0.2 at once, times out for the others after a while.
    const QString fakePing = env.tmp.path() + QStringLiteral("/fakeping");
    const QString argsLog = env.tmp.path() + QStringLiteral("/ping-args.txt");
    QVERIFY(WriteScript(fakePing, QStringLiteral("echo \"$@\" >> '%1'\n"
                                                 "for a; do last=$a; done\n"
                                                 "[ \"$last\" = 127.0.0.2 ] && exit 0\n"
                                                 "sleep 0.4; exit 1\n").arg(argsLog).toUtf8()));
    QVERIFY(env.setUp(fakePing));
    env.addScale(2, QStringLiteral("127.0.0.2"), 0);
    env.addScale(3, QStringLiteral("127.0.0.3"), 0);
    env.addScale(4, QStringLiteral("-c9 127.0.0.4"), 0);   // never a ping argument

    ScalePickerDialog dlg(env.ctx);
    dlg.Form_Load();
    QCOMPARE(dlg.pingState(0), int(PingChecking));
    QCOMPARE(dlg.pingState(1), int(PingChecking));
    QCOMPARE(dlg.pingState(2), int(PingInvalid));
    QVERIFY(dlg.tmrCheckPing->isActive());
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

QTEST_MAIN(TestScaleDialogs)
#include "test_scale_dialogs.moc"
