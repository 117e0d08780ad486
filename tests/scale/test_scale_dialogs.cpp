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

namespace {

// Clicks a row of the list a little right of its start, twice when `twice`.
void clickRow(QTreeWidget* list, int row, bool twice)
{
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center() + QPoint(40, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class TestScaleDialogs : public QObject {
    Q_OBJECT
private slots:
    void addScale_data();
    void addScale();
    void editScale();
    void deleteKeepsHighlightPositions();
    void boundValuesNeverChangeAQuery();
    void pickerSelection_data();
    void pickerSelection();
    void pingStates();
};

void TestScaleDialogs::addScale_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("model");
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
    QFETCH(int, model);
    QFETCH(bool, stored);
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    env.addScale(5, QStringLiteral("10.0.0.5"), 0);
    QStringList expected = env.rows();
    if (stored)
        expected << QStringLiteral("7|97|10.0.0.7|1|%1").arg(env.modelId(model));

    ScaleListDialog dlg(env.ctx);
    QString title, problem;
    OnNextModal<ScaleEditDialog>([&](ScaleEditDialog* edit) {
        title = edit->windowTitle();
        QVERIFY(edit->txtIP->text().isEmpty());
        QCOMPARE(edit->cboScaleModal->currentIndex(), 0);
        QTest::keyClicks(edit->txtIP, ip);
        edit->cboScaleModal->setCurrentIndex(model);
        QTest::mouseClick(edit->cmdOK, Qt::LeftButton);
        if (edit->isVisible()) {
            problem = edit->lblProblem->text();
            QTest::mouseClick(edit->cmdCancel, Qt::LeftButton);
        }
    });
    QTest::mouseClick(dlg.cmdAddNew, Qt::LeftButton);
    QCOMPARE(title, env.text("frmScaleEdit", "CaptionAdd"));
    // A refused address stays in the dialog, explained.
    QCOMPARE(problem.isEmpty(), stored);
    QCOMPARE(env.rows(), expected);
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), expected.size());
    if (stored) {
        QCOMPARE(dlg.lvwScale->topLevelItem(1)->text(0), QStringLiteral("7"));
        QCOMPARE(dlg.lvwScale->topLevelItem(1)->text(2), env.ctx.tables.g_arrScaleModel[model].SCALE_NAME);
    }
    QVERIFY(env.reporter.entries.isEmpty());
}

void TestScaleDialogs::editScale()
{
    ScaleTestEnv env;
    QVERIFY(env.setUp());
    env.addScale(7, QStringLiteral("10.0.0.7"), 3);
    env.addScale(7, QStringLiteral("10.0.1.7"), 0);   // same last part: both listed
    ScaleListDialog dlg(env.ctx);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 2);
    // Nothing highlighted: Edit does nothing.
    QTest::mouseClick(dlg.cmdEdit, Qt::LeftButton);

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
    clickRow(dlg.lvwScale, dlg.lvwScale->indexOfTopLevelItem(dlg.lvwScale->findItems("10.0.0.7", {}, 1).value(0)), true);
    QCOMPARE(shownIp, QStringLiteral("10.0.0.7"));
    QCOMPARE(shownModel, 3);
    QCOMPARE(title, env.text("frmScaleEdit", "CaptionEdit"));
    const QStringList rows{QStringLiteral("9|97|10.0.0.9|1|%1").arg(env.modelId(3)),
                           QStringLiteral("7|97|10.0.1.7|1|%1").arg(env.modelId(0))};
    QCOMPARE(env.rows(), rows);

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
    for (int n : {10, 20, 30, 40, 50})
        env.addScale(n, QStringLiteral("10.0.0.%1").arg(n), 0, n < 50);   // 50 not in use: never listed
    ScaleListDialog dlg(env.ctx);
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 4);
    dlg.lvwScale->topLevelItem(1)->setSelected(true);
    dlg.lvwScale->topLevelItem(2)->setSelected(true);
    QTest::mouseClick(dlg.cmdDelete, Qt::LeftButton);
    const int id = env.modelId(0);
    QCOMPARE(env.rows(), (QStringList{QStringLiteral("10|97|10.0.0.10|1|%1").arg(id),
                                      QStringLiteral("40|97|10.0.0.40|1|%1").arg(id),
                                      QStringLiteral("50|97|10.0.0.50|0|%1").arg(id)}));
    // The rows at the highlighted positions are highlighted again, beyond the end skipped.
    QCOMPARE(dlg.lvwScale->topLevelItemCount(), 2);
    QVERIFY(!dlg.lvwScale->topLevelItem(0)->isSelected());
    QVERIFY(dlg.lvwScale->topLevelItem(1)->isSelected());

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
            clickRow(list, row, true);
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
