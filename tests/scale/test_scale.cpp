// The scale list, its edit dialog and the picker driven as a user would; the driver's result, the pop-up;
// transfers with stand-in drivers, and end to end with the real driver and the simulator on loopback.
#include "common/simprocess.h"
#include "context/appcontext.h"
#include "model/datafile.h"
#include "model/f52data.h"
#include "model/f56f61data.h"
#include "model/label.h"
#include "platform/database.h"
#include "platform/csv.h"
#include "platform/errorreport.h"
#include "platform/log.h"
#include "platform/placement.h"
#include "scale/reachability.h"
#include "scale/resultpopup.h"
#include "scale/scaledata.h"
#include "scale/scaledialog.h"
#include "scale/scaleeditdialog.h"
#include "scale/scalelistdialog.h"
#include "scale/scalepickerdialog.h"
#include "scale/transfer.h"
#include "scale/transferhistorydialog.h"
#include "scale/transferjournal.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace quillon;
using transfertest::readAll;
using transfertest::writeAll;

namespace {

struct Popup {
    QString message, title;
    int kind = -1;
};

// The daily log's text (UTF-16LE).
QString readLog(const QString& path)
{
    const QByteArray bytes = readAll(path);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

// A small executable shell script.
bool WriteScript(const QString& path, const QByteArray& body)
{
    return writeAll(path, "#!/bin/sh\n" + body) &&
           QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A temporary runtime tree with its own databases, INI and placement store, and a transfer controller over
// it whose pop-ups, critical messages and imports are recorded and whose exports write placeholders. `picks`
// answers the picker in turn ("" cancels). Set other callbacks in `cb`, then start() again.
struct Env {
    QTemporaryDir tmp;
    QString programDir;   // ends with "/"
    AppContext ctx;
    RecordingReporter reporter;
    ErrorReporter* previousReporter = nullptr;
    TransferCallbacks cb;
    std::unique_ptr<TransferController> ctl;
    QStringList picks;
    QList<bool> pickModes;
    QList<Popup> popups;
    QStringList criticals;
    QStringList imports; // model|format data|text arrived|shop name arrived
    bool exportOk = true;
    QString log = tmp.filePath(QStringLiteral("driver.log"));

    // `ping` is the INI's ping program.
    bool setUp(const QString& ping = QStringLiteral("ping"))
    {
        if (!tmp.isValid())
            return false;
        // One ping per address, so that the stand-in pings are the ones asked.
        const QByteArray ini = "[Transfer]\r\nPing=" + ping.toUtf8() + "\r\nFping=none\r\n";
        programDir = transfertest::makeRuntimeTree(tmp.filePath(QStringLiteral("root")), ini) + QLatin1Char('/');
        qputenv("QUILLON_PROGRAM_DIR", programDir.toUtf8());
        SetPlacementStoreFile(tmp.filePath(QStringLiteral("placement.ini")));
        previousReporter = SetErrorReporter(&reporter);
        if (!ctx.InitApplication(programDir))
            return false;
        SetApp(&ctx);
        cb.hasActiveDocument = [] { return true; };
        cb.pickScales = [this](bool multi) {
            pickModes << multi;
            const QString answer = picks.isEmpty() ? QString() : picks.takeFirst();
            return ScalePick{answer.isEmpty(), answer};
        };
        cb.showCritical = [this](const QString& t) { criticals << t; };
        cb.showPopup = [this](const QString& m, const QString& t, int k) { popups << Popup{m, t, k}; };
        cb.exportFormatData = [this](const QString& path) { return exportOk && writeAll(path, "F52DATA\r\n"); };
        cb.exportTextData = [](const QString& path, int t) { return writeAll(path, "F" + QByteArray::number(t)); };
        cb.importReceivedData = [this](const QString& f, const QString& t, const QString& s, int model) {
            imports << QStringLiteral("%1|%2|%3|%4").arg(model).arg(readAll(f)).arg(!t.isEmpty()).arg(!s.isEmpty());
        };
        start();
        return true;
    }

    ~Env()
    {
        ctl.reset();
        SetApp(nullptr);
        SetErrorReporter(previousReporter);
        SetPlacementStoreFile(QString());
    }

    void start() { ctl = std::make_unique<TransferController>(ctx, nullptr, cb); }
    // Runs one command to its end.
    bool run(void (TransferController::*command)(), int ms = 40000)
    {
        (ctl.get()->*command)();
        return QTest::qWaitFor([this] { return !ctl->busy(); }, ms);
    }
    // A stand-in driver that logs its arguments, then runs `body`.
    bool driver(const QByteArray& body)
    {
        return WriteScript(ctl->DriverProgram(), "echo \"$@\" >> '" + log.toUtf8() + "'\n" + body);
    }
    // Exchange files left in the program folder.
    QStringList leftovers() const
    {
        return QDir(programDir).entryList({QStringLiteral("SM*"), QStringLiteral("~tmp*")}, QDir::Files, QDir::Name);
    }

    // Adds a scale row directly (as another tool would have stored it); `model` is an index.
    void addScale(int no, const QString& ip, int model, bool used = true, const QString& store = QString())
    {
        QSqlQuery q(ctx.db().mainDb());
        q.prepare(QStringLiteral("insert into SCALE(SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID,Store) values(?,97,?,?,?,?)"));
        for (const QVariant& v : {QVariant(no), QVariant(ip), QVariant(used ? 1 : 0), QVariant(modelId(model)), QVariant(store)})
            q.addBindValue(v);
        QVERIFY2(q.exec(), qPrintable(ip));
    }
    int modelId(int index) const { return index < 0 ? 999 : ctx.tables.g_arrScaleModel.at(index).ID; }

    // SC_NO|DP_NO|SC_IP|SC_USED|SC_MODEL_ID of every row, sorted as text.
    QStringList rows()
    {
        QStringList out;
        QSqlQuery q(ctx.db().mainDb());
        q.exec(QStringLiteral("select SC_NO||'|'||DP_NO||'|'||SC_IP||'|'||SC_USED||'|'||SC_MODEL_ID "
                              "from SCALE order by 1"));
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    QString text(const char* section, const char* key)
    {
        return ctx.db().GetLangString(QString::fromLatin1(section), QString::fromLatin1(key));
    }
};

// Runs `action` on the next modal dialog of type T as soon as it is shown.
template <typename T>
void OnNextModal(std::function<void(T*)> action, int tries = 200)
{
    QTimer::singleShot(10, [action, tries]() {
        if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget()))
            action(dlg);
        else if (tries > 0)
            OnNextModal<T>(action, tries - 1);
    });
}

} // namespace

class TestScale : public QObject {
    Q_OBJECT
private slots:
    // Adding, editing and deleting through the list and its edit dialog.
    void scaleList()
    {
        Env env;
        QVERIFY(env.setUp());
        for (int no : {5, 40, 50}) // 50 not in use: never listed
            env.addScale(no, QStringLiteral("10.0.0.%1").arg(no), 0, no != 50);
        env.addScale(7, QStringLiteral("10.0.1.7"), 0);
        ScaleListDialog dlg(env.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTreeWidget* list = dlg.lvwScale;
        QStringList rows = env.rows();
        // Fills the edit dialog opened by `open` and gives what it showed and, when it stayed open, why.
        // A null `store` leaves the store field as the dialog showed it.
        const auto edit = [&](const std::function<void()>& open, const QString& ip, int model,
                              const QString& store = QString()) {
            QStringList seen;
            OnNextModal<ScaleEditDialog>([&](ScaleEditDialog* e) {
                seen << e->windowTitle() << e->txtIP->text() << QString::number(e->cboScaleModal->currentIndex());
                e->txtIP->selectAll();
                QTest::keyClicks(e->txtIP, ip);
                e->cboScaleModal->setCurrentIndex(model);
                if (!store.isNull())
                    e->txtStore->setText(store);
                QTest::keyClick(e->txtIP, Qt::Key_Return);
                seen << (e->isVisible() ? e->lblProblem->text() : QString());
                QTest::mouseClick(e->cmdCancel, Qt::LeftButton);
            });
            open();
            return seen;
        };
        const auto add = [&] { QTest::mouseClick(dlg.cmdAddNew, Qt::LeftButton); };
        const QString addTitle = env.text("frmScaleEdit", "CaptionAdd");
        // Refused addresses stay in the dialog, explained, and store nothing.
        for (const char* ip : {"10.0.0.5", "10.0.0.0", "10.0.0.8'); delete from SCALE; --"}) {
            const QStringList seen = edit(add, QString::fromUtf8(ip), 1);
            QCOMPARE(seen.mid(0, 3), (QStringList{addTitle, "", "0"}));
            QVERIFY2(!seen.value(3).isEmpty(), ip);
            QCOMPARE(env.rows(), rows);
        }
        QCOMPARE(edit(add, QStringLiteral("10.0.0.7"), 2, QStringLiteral(" Köln ")), (QStringList{addTitle, "", "0", ""}));
        rows << QStringLiteral("7|97|10.0.0.7|1|%1").arg(env.modelId(2));
        rows.sort();
        QCOMPARE(env.rows(), rows);
        QCOMPARE(list->topLevelItemCount(), 4);
        QTreeWidgetItem* added = list->findItems(QStringLiteral("10.0.0.7"), Qt::MatchExactly, 1).value(0);
        QVERIFY(added && added->text(0) == QStringLiteral("7"));
        QCOMPARE(added->text(2), env.ctx.tables.g_arrScaleModel[2].SCALE_NAME);
        QCOMPARE(added->text(3), QStringLiteral("Köln"));

        // Nothing highlighted: Edit does nothing. A double-click on a row edits it.
        QTest::mouseClick(dlg.cmdEdit, Qt::LeftButton);
        const QPoint at = list->visualItemRect(added).center() + QPoint(40, 0);
        const auto dclick = [&] {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        };
        QCOMPARE(edit(dclick, QStringLiteral("10.0.0.9"), 2),
                 (QStringList{env.text("frmScaleEdit", "CaptionEdit"), "10.0.0.7", "2", ""}));
        rows.replaceInStrings(QStringLiteral("7|97|10.0.0.7"), QStringLiteral("9|97|10.0.0.9"));
        rows.sort();
        QCOMPARE(env.rows(), rows);
        QCOMPARE(ScalesOfStore(env.ctx.db(), QStringLiteral("Köln")), QStringList{"10.0.0.9"}); // kept by the edit
        // Editing into an address another scale has is explained and stores nothing.
        list->clearSelection();
        list->findItems(QStringLiteral("10.0.0.9"), Qt::MatchExactly, 1).value(0)->setSelected(true);
        QVERIFY(!edit([&] { QTest::mouseClick(dlg.cmdEdit, Qt::LeftButton); }, "10.0.0.5", 2).value(3).isEmpty());
        QCOMPARE(env.rows(), rows);

        // By number: 5, 7, 9, 40. Deleting the middle two highlights the rows at their places, beyond the end skipped.
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

        // Bound values never change a query; such an address is stored as it stands, harmless text.
        rows = env.rows();
        const QString evil = QStringLiteral("x' OR '1'='1");
        QVERIFY(!ScaleExists(env.ctx.db(), evil) && DeleteScale(env.ctx.db(), evil));
        QVERIFY(ChangeScale(env.ctx.db(), evil, QStringLiteral("10.0.0.6"), env.modelId(1)));
        QCOMPARE(GetScaleModelIndexByIP(env.ctx, evil), 0);
        QCOMPARE(env.rows(), rows);
        QVERIFY(AddScale(env.ctx.db(), evil, env.modelId(1)) && ScaleExists(env.ctx.db(), evil));
        QCOMPARE(env.rows().size(), rows.size() + 1);
    }

    void pickerSelection_data()
    {
        QTest::addColumn<bool>("single");
        // Steps: 2 3 tick rows by their box, d2 double-click row 2, h2 highlight row 2,
        // and the menu's m select all, u unselect all, s select the highlighted.
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("scales");   // "": the picker stays open
        QTest::newRow("multi, toggle one off") << false << "2" << "10.0.0.1;10.0.0.3";
        QTest::newRow("single, none ticked keeps open") << true << "" << "";
        QTest::newRow("single, last click wins") << true << "2 3" << "10.0.0.3";
        QTest::newRow("single, click on the ticked row keeps it") << true << "3 3" << "10.0.0.3";
        QTest::newRow("single, select all still ticks one") << true << "m" << "10.0.0.1";
        QTest::newRow("single, double-click") << true << "2 d3" << "10.0.0.3";
        QTest::newRow("multi, double-click toggles") << false << "d1" << "10.0.0.2;10.0.0.3";
        QTest::newRow("multi, unselect all") << false << "u" << "";
        QTest::newRow("multi, highlighted only") << false << "u h2 s" << "10.0.0.2";
    }

    void pickerSelection()
    {
        QFETCH(bool, single);
        QFETCH(QString, script);
        QFETCH(QString, scales);
        Env env;
        // No ping program: the rows say so and can be chosen all the same.
        QVERIFY(env.setUp(QStringLiteral("/nonexistent/ping")));
        // Scale 4 is not in use, 5 of an unknown model.
        for (const auto& [no, model] : {std::pair(3, 0), {1, 1}, {2, 2}, {4, 0}, {5, -1}})
            env.addScale(no, QStringLiteral("10.0.0.%1").arg(no), model, no != 4);

        ScalePickerDialog dlg(env.ctx);
        dlg.m_bJustOneSelected = single;
        dlg.Form_Load();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTreeWidget* list = dlg.lvwScale;
        QCOMPARE(list->topLevelItemCount(), 3);
        QTRY_COMPARE(dlg.pendingPings(), 0);
        QCOMPARE(dlg.pingState(0), int(PingNotStarted));
        QVERIFY2(dlg.statusText(0).contains("/nonexistent/ping"), qPrintable(dlg.statusText(0)));

        const QHash<QString, QString> menus{{"m", "mnuSelectAll"}, {"u", "mnuUnselectAll"}, {"s", "mnuSelect"}};
        for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int row = step.right(1).toInt() - 1;
            if (menus.contains(step)) {
                dlg.mnuPopup->findChild<QAction*>(menus[step])->trigger();
            } else if (step.startsWith(QLatin1Char('h'))) {
                list->topLevelItem(row)->setSelected(true);
            } else if (step.startsWith(QLatin1Char('d'))) {
                const QPoint at = list->visualItemRect(list->topLevelItem(row)).center() + QPoint(40, 0);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            } else { // as a click on the row's box does
                QTreeWidgetItem* item = list->topLevelItem(row);
                item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            }
        }
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        QVERIFY(dlg.isVisible() == scales.isEmpty() && dlg.m_bCancel == scales.isEmpty());
        QCOMPARE(dlg.m_strScales, scales);
        if (scales.isEmpty()) {
            QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
            QVERIFY(!dlg.isVisible() && dlg.m_bCancel);
        }
    }

    void pingStates()
    {
        Env env;
        // A stand-in ping that logs its arguments: answers for 127.0.0.2 at once, times out for the others.
        const QString fakePing = env.tmp.filePath("fakeping"), argsLog = env.tmp.filePath("ping-args.txt");
        QVERIFY(WriteScript(fakePing, QStringLiteral("echo \"$@\" >> '%1'\n[ \"$5\" = 127.0.0.2 ] && exit 0\n"
                                                     "sleep 0.4; exit 1\n").arg(argsLog).toUtf8()));
        QVERIFY(env.setUp(fakePing));
        env.addScale(2, QStringLiteral("127.0.0.2"), 0);
        env.addScale(3, QStringLiteral("127.0.0.3"), 0);
        env.addScale(4, QStringLiteral("-c9 127.0.0.4"), 0);   // never a ping argument
        ScalePickerDialog dlg(env.ctx);
        dlg.Form_Load();
        QCOMPARE(dlg.pingState(2), int(PingInvalid));
        QTRY_COMPARE_WITH_TIMEOUT(dlg.pingState(0), int(PingOK), 5000);
        // The slow one is still pending while the quick one is already shown.
        QCOMPARE(dlg.pingState(1), int(PingChecking));
        QTRY_COMPARE_WITH_TIMEOUT(dlg.pingState(1), int(PingTimeOut), 5000);
        QCOMPARE(dlg.pendingPings(), 0);
        QStringList lines = QString::fromUtf8(readAll(argsLog)).split(u'\n', Qt::SkipEmptyParts);
        lines.sort();
        QCOMPARE(lines, (QStringList{"-c 1 -W 1.5 127.0.0.2", "-c 1 -W 1.5 127.0.0.3"}));
        // An invalid address can still be chosen; the transfer reports it.
        QCOMPARE(dlg.lvwScale->topLevelItem(2)->checkState(0), Qt::Checked);
    }

    // Sorted by store then address; the filter, the tick buttons and a store's ticks; the ticked set comes back.
    void pickerChainSize()
    {
        const struct {
            QString filter, store;    // typed in the filter; chosen from the store box ("" none)
            const char* button;       // clicked after that ("" none)
            QString scales;           // what OK returns
        } cases[] = {
            {"", "", "", "10.0.1.2;10.0.1.10;10.0.2.1;10.0.0.5"},
            {"berlin", "", "cmdTickShown", "10.0.1.2;10.0.1.10"},
            {"self-serv", "", "cmdTickShown", "10.0.2.1"},
            {"", "Köln", "", "10.0.2.1"},
            {"nothing matches", "", "cmdTickShown", ""},
            {"", "", "cmdTickNone", ""},
        };
        for (const auto& c : cases) {
            Env env;
            QVERIFY(env.setUp(QStringLiteral("/nonexistent/ping")));
            env.addScale(5, "10.0.0.5", 0);
            env.addScale(10, "10.0.1.10", 0, true, "Berlin");
            env.addScale(1, "10.0.2.1", 6, true, "Köln");
            env.addScale(2, "10.0.1.2", 0, true, "Berlin");
            ScalePickerDialog dlg(env.ctx);
            dlg.Form_Load();
            QCOMPARE(dlg.cboStore->count(), 3);
            dlg.txtFilter->setText(c.filter);
            if (!c.store.isEmpty()) {
                dlg.cboStore->setCurrentText(c.store);
                emit dlg.cboStore->activated(dlg.cboStore->currentIndex());
            }
            if (*c.button)
                dlg.findChild<QPushButton*>(c.button)->click();
            dlg.cmdOK_Click();
            QCOMPARE(dlg.m_strScales, c.scales);
            // The next picker ticks what was confirmed (all when nothing was).
            ScalePickerDialog next(env.ctx);
            next.Form_Load();
            QCOMPARE(next.tickedAddresses().join(';'),
                     c.scales.isEmpty() ? QStringLiteral("10.0.1.2;10.0.1.10;10.0.2.1;10.0.0.5") : c.scales);
        }
    }

    // Checks of many addresses: bounded, queued rows say so, none stays "checking", a failed start says why.
    void reachability()
    {
        QTemporaryDir tmp;
        const QString slowPing = tmp.filePath("slowping"), hangPing = tmp.filePath("hangping"),
                      badFping = tmp.filePath("badfping");
        QVERIFY(WriteScript(slowPing, "sleep 0.2; [ \"$5\" = 127.0.0.2 ]\n"));
        QVERIFY(WriteScript(hangPing, "exec sleep 30\n"));
        QVERIFY(WriteScript(badFping, "echo '127.0.0.3 is alive'; exit 1\n"));
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 closedPort = closed.serverPort();
        closed.close();
        const QString fping = QStandardPaths::findExecutable("fping");
        using M = ReachabilityCheck::Method;
        using S = ReachabilityCheck::State;
        const QList<S> none;
        const struct {
            M method;
            QString ping, fping;
            quint16 port;
            QStringList addresses;
            QList<S> states;
            QString reason; // in every row's reason
        } cases[] = {
            {M::Ping, slowPing, "", 0, {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.2", "127.0.0.5"},
             {S::NoAnswer, S::Answered, S::NoAnswer, S::Answered, S::NoAnswer}, ""},
            {M::Ping, "/nonexistent/ping", "", 0, {"127.0.0.1", "127.0.0.2", "127.0.0.3"},
             {S::NotStarted, S::NotStarted, S::NotStarted}, "/nonexistent/ping"},
            {M::Ping, hangPing, "", 0, {"127.0.0.1", "127.0.0.2", "127.0.0.3"},
             {S::NoAnswer, S::NoAnswer, S::NoAnswer}, "no answer within 300 ms"},
            // What fping gives no verdict for (or all when it cannot start), ping is asked.
            {M::Ping, slowPing, badFping, 0, {"127.0.0.2", "127.0.0.3"}, {S::Answered, S::Answered}, ""},
            {M::Ping, slowPing, "/nonexistent/fping", 0, {"127.0.0.2", "127.0.0.3"}, {S::Answered, S::NoAnswer}, ""},
            {M::Ping, "/nonexistent/ping", fping, 0, {"127.0.0.1", "127.0.0.9"}, {S::Answered, S::Answered}, ""},
            {M::Port, "", "", listener.serverPort(), {"127.0.0.1", "127.0.0.1", "127.0.0.1"},
             {S::Answered, S::Answered, S::Answered}, ""},
            {M::Port, "", "", closedPort, {"127.0.0.1", "127.0.0.1", "127.0.0.1"},
             {S::PortClosed, S::PortClosed, S::PortClosed}, "refused"},
        };
        for (const auto& c : cases) {
            // Without fping installed, its row has nothing to check.
            if (c.method == M::Ping && c.fping.isEmpty() && c.ping.startsWith("/nonexistent") && c.reason.isEmpty())
                continue;
            ReachabilityCheck::Settings s;
            s.method = c.method;
            s.pingProgram = c.ping;
            s.fpingProgram = c.fping;
            s.port = c.port;
            s.deadlineMs = 300;
            s.maxParallel = 2;
            ReachabilityCheck check(s);
            int peak = 0;
            QList<S> seen; // the state of each change signal, in order
            QObject::connect(&check, &ReachabilityCheck::changed, [&](int i) {
                peak = qMax(peak, check.running());
                seen << check.state(i);
            });
            QSignalSpy finished(&check, &ReachabilityCheck::finished);
            check.start(c.addresses);
            if (c.fping.isEmpty())
                QCOMPARE(check.state(c.addresses.size() - 1), S::Queued);
            QVERIFY(finished.size() == 1 || finished.wait(8000));
            QCOMPARE(check.pending(), 0);
            QVERIFY2(peak <= 2, qPrintable(QString::number(peak)));
            QList<S> states;
            for (int i = 0; i < c.addresses.size(); ++i) {
                states << check.state(i);
                QVERIFY2(check.reason(i).contains(c.reason, Qt::CaseInsensitive), qPrintable(check.reason(i)));
            }
            QCOMPARE(states, c.states);
        }
    }

    void readDriverResult()
    {
        const QStringList two{"192.168.1.5", "192.168.1.6"};
        const QString five = "192.168.1.5     :text", six = "192.168.1.6     :text";
        const struct {
            QByteArray content; // "<none>": no file
            QStringList addresses;
            QString report;
        } cases[] = {
            {"192.168.1.5:0;192.168.1.6:7;", two, six + "7\r\n"},                    // no colon: skipped
            {"192.168.1.5:0;192.168.1.6:0\r\nignored:3", two, ""},
            {"<none>", two, five + "98\r\n" + six + "98\r\n"},
            {"", two, five + "99\r\n" + six + "99\r\n"},                           // addresses not listed
            {"192.168.1.5:ok;192.168.1.6: 3", two, five + "99\r\n" + six + "3\r\n"}, // not a number
            {"100.100.100.100:-4", {"100.100.100.100"}, "100.100.100.100 :text-4\r\n"}, // no padding
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
        Env env; // the buttons' texts
        QVERIFY(env.setUp());
        const QString programDir = QStringLiteral(QUILLON_SOURCE_DIR "/data/program/");
        QWidget main;
        main.setGeometry(700, 500, 800, 600); // beyond the screen's lower right corner
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        const QRect outer = main.frameGeometry(), screen = main.screen()->geometry();
        QPointer<ResultPopup> p = ShowPopupMsg(&main, programDir, QStringLiteral("line 1\r\nline 2"), QString(), 0);
        QVERIFY(p && p->isVisible());
        QCOMPARE(p->size(), QSize(qRound(outer.width() / 2.0), qRound(outer.height() / 2.0)));
        QCOMPARE(p->geometry().bottomRight(),
                 QPoint(qMin(outer.right(), screen.right()), qMin(outer.bottom(), screen.bottom())));
        QCOMPARE(p->titleItem()->text(), QStringLiteral("Error"));
        QCOMPARE(p->messageItem()->text(), QStringLiteral("line 1\nline 2"));
        QCOMPARE(p->kindItem()->pixmap().toImage(), QPixmap(programDir + "Icon/error.bmp").toImage());
        // Without a window, and with missing bitmaps that leave their items empty; the next one replaces it.
        QTemporaryDir noIcons;
        QPointer<ResultPopup> first = ShowPopupMsg(nullptr, noIcons.path(), QStringLiteral("first"), "Sent", 7);
        QVERIFY(!p && first->isVisible() && first->closeItem()->icon().isNull());
        QCOMPARE(first->titleItem()->text(), QStringLiteral("Sent"));
        QPointer<ResultPopup> second = ShowPopupMsg(nullptr, noIcons.path(), QStringLiteral("second"), QString(), 1);
        QVERIFY(!first && second->isVisible() && second->kindItem()->pixmap().isNull());
        QCOMPARE(second->titleItem()->text(), QStringLiteral("Information"));
        // The report can be copied and, when it comes with CSV, saved; the pop-up can be dragged off the label.
        QVERIFY(second->copyButton()->isVisible() && !second->saveCsvButton()->isVisible());
        QTest::mouseClick(second->copyButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("second"));
        second->setCsv("a,b\r\n");
        QVERIFY(second->saveCsvButton()->isVisible());
        QString error;
        QVERIFY(second->saveCsv(noIcons.filePath("report.csv"), &error) && readAll(noIcons.filePath("report.csv")) == "a,b\r\n");
        QVERIFY(!second->saveCsv(noIcons.filePath("missing/report.csv"), &error) && !error.isEmpty());
        const QPoint from = second->pos();
        QTest::mousePress(second->titleItem(), Qt::LeftButton, {}, QPoint(5, 5));
        QMouseEvent drag(QEvent::MouseMove, QPointF(45, 25), second->titleItem()->mapToGlobal(QPointF(45, 25)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(second->titleItem(), &drag);
        QTest::mouseRelease(second->titleItem(), Qt::LeftButton, {}, QPoint(45, 25));
        QCOMPARE(second->pos(), from + QPoint(40, 20));
        QTest::mouseClick(second->closeItem(), Qt::LeftButton);
        QTRY_VERIFY(!second);
        QVERIFY(!ResultPopup::current());
        QPointer<ResultPopup> third = ShowPopupMsg(nullptr, noIcons.path(), QStringLiteral("third"), QString(), 1);
        QTest::keyClick(third, Qt::Key_Escape);
        QTRY_VERIFY(!third);
    }

    // The report: a summary, every scale with its outcome, failures first; a dead scale skips its other types.
    void sendReports()
    {
        const auto L = [](const QString& address, const QString& text) {
            return address.leftJustified(16, u' ') + u':' + text + "\r\n";
        };
        const struct {
            QByteArray driver;
            QString picks;
            QString log;      // the driver's command lines
            QString report;
        } cases[] = {
            {"case $2 in\n 52) printf '10.0.0.1:0;10.0.0.2:3;10.0.0.3:2;10.0.0.4:0' > result;;\n"
             " *) printf '10.0.0.1:0;10.0.0.3:2;10.0.0.4:0' > result;;\nesac\n",
             "10.0.0.1;10.0.0.2;10.0.0.3;10.0.0.4",
             "WR 52 10.0.0.1 10.0.0.2 10.0.0.3 10.0.0.4\nWR 56 10.0.0.1 10.0.0.3 10.0.0.4\n"
             "WR 61 10.0.0.1 10.0.0.3 10.0.0.4\n",
             "2 of 4 scales received the label; 1 unreachable; 1 timed out\r\n"
                 + L("10.0.0.3", "Cannot connect to the scale (connection refused or scale unreachable)") +
                 L("10.0.0.2", "The scale did not answer in time") + L("10.0.0.1", "Transfer completed") +
                 L("10.0.0.4", "Transfer completed")},
            // Format taken, texts not: the scale prints a label nobody sent. One address left out of a result.
            {"case $2 in\n 52) printf '10.0.0.1:0;10.0.0.2:0' > result;;\n"
             " 56) printf '10.0.0.1:0;10.0.0.2:3' > result;;\n"
             " 61) printf '10.0.0.2:0' > result;;\nesac\n",
             "10.0.0.1;10.0.0.2", "WR 52 10.0.0.1 10.0.0.2\nWR 56 10.0.0.1 10.0.0.2\nWR 61 10.0.0.1\n",
             "0 of 2 scales received the label; 2 inconsistent (new format, old texts)\r\n" +
                 L("10.0.0.1", "Inconsistent: new format, old texts (Shop name data: missing from the driver's result)") +
                 L("10.0.0.2", "Inconsistent: new format, old texts (Text data: timed out; Shop name data: not attempted)")},
            // No result, and a result from a driver that failed: neither the stale nor its own file is read.
            {"exit 0\n", "10.0.0.1", QString("WR %1 10.0.0.1\n").repeated(3),
             "0 of 1 scales received the label; 1 no result from the driver\r\n" +
                 L("10.0.0.1", "The transfer driver left no result")},
            {"printf '10.0.0.1:0' > result; exit 1\n", "10.0.0.1", QString("WR %1 10.0.0.1\n").repeated(3),
             "0 of 1 scales received the label; 1 no result from the driver\r\n" +
                 L("10.0.0.1", "The transfer driver left no result")},
            {"printf '10.0.0.1:0' > result; exit 2\n", "10.0.0.1", QString("WR %1 10.0.0.1\n").repeated(3),
             "0 of 1 scales received the label; 1 driver usage error\r\n" +
                 L("10.0.0.1", "Transfer driver usage error")},
            {"", "-x", "", "0 of 1 scales received the label; 1 invalid address\r\n" + L("-x", "Invalid scale address")},
        };
        for (const auto& c : cases) {
            Env h;
            QVERIFY(h.setUp() && h.driver(c.driver));
            QVERIFY(writeAll(h.ctl->ResultFile(), "10.0.0.1:0"));
            h.picks << c.picks;
            QVERIFY(h.run(&TransferController::SendToScales));
            QString log = c.log;
            for (const char* t : {"52", "56", "61"}) // "%1": each type in turn
                if (log.contains(QStringLiteral("%1")))
                    log.replace(log.indexOf(QStringLiteral("%1")), 2, QLatin1String(t));
            QCOMPARE(QString::fromUtf8(readAll(h.log)), log);
            QCOMPARE(h.popups.size(), 1);
            QCOMPARE(h.popups[0].message, c.report);
            QCOMPARE(h.ctl->lastReport(), h.popups[0].message);
            QCOMPARE(h.leftovers(), QStringList());
        }
    }

    void nothingSentOrDriverStopped()
    {
        Env h;
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
        QVERIFY(h.popups.size() == 1 && h.popups[0].title.isEmpty() && h.popups[0].kind == 0);
        // Stopped, with every scale's outcome: none reported anything.
        QCOMPARE(h.popups[0].message, h.text("frmMain", "msgUnknownError") + "\r\n" +
                                          "0 of 2 scales received the label; 2 no result from the driver\r\n" +
                                          "10.0.0.1        :The transfer driver left no result\r\n" +
                                          "10.0.0.2        :The transfer driver left no result\r\n");
        QSqlQuery journal(h.ctx.db().mainDb());   // the stopped run is in the journal too
        QVERIFY(journal.exec("select count(*) from TRANSFER_JOURNAL where TJ_CODE = 98") && journal.next());
        QCOMPARE(journal.value(0).toInt(), 6);
        const QString proc = QStringLiteral("/proc/") + QString::fromLatin1(readAll(pidFile).trimmed());
        QVERIFY(!QFileInfo::exists(proc + "/cmdline") || readAll(proc + "/stat").contains(") Z"));
        QCOMPARE(h.leftovers(), QStringList());

        // A result that cannot be removed stops the command before any driver runs.
        QVERIFY(QDir().mkpath(h.ctl->ResultFile() + "/inside"));
        QFile::remove(h.log);
        h.picks << QStringLiteral("10.0.0.1");
        QVERIFY(h.run(&TransferController::SendToScales));
        QVERIFY(!QFileInfo::exists(h.log) && h.popups.size() == 1);
        QCOMPARE(h.criticals, QStringList(h.text("frmMain", "msgResultNotDeleted").arg(h.ctl->ResultFile())));
        QVERIFY(QDir(h.ctl->ResultFile()).removeRecursively());
        h.criticals.clear();

        // A driver that is missing, or there and executable but no program.
        QFile::remove(h.ctl->DriverProgram());
        h.picks << QStringLiteral("10.0.0.1") << QStringLiteral("10.0.0.1");
        QVERIFY(h.run(&TransferController::SendToScales));
        QVERIFY(writeAll(h.ctl->DriverProgram(), "not a program"));
        QVERIFY(QFile::setPermissions(h.ctl->DriverProgram(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(h.run(&TransferController::ReceiveFromScale));
        QCOMPARE(h.criticals, QStringList(2, h.text("frmMain", "msgCreateDriverError")));
        QCOMPARE(h.popups.size(), 1);
        QVERIFY(h.imports.isEmpty());
        QCOMPARE(h.leftovers(), QStringList());
    }

    // [Transfer] reaches the driver's command line; values out of range keep the defaults.
    void transferSettings()
    {
        const struct {
            QByteArray ini;
            QString options;
        } cases[] = {
            {"", ""},
            {"Parallel=500\r\nConnectTimeoutMs=800\r\nReplyTimeoutMs=1500\r\n",
             "--parallel 500 --connect-ms 800 --reply-ms 1500 "},
            {"Parallel=0\r\nConnectTimeoutMs=-5\r\nReplyTimeoutMs=soon\r\nPort=70000\r\n", ""},
            {"Port=3005\r\nParallel=64\r\n", "--port 3005 "},
        };
        for (const auto& c : cases) {
            Env h;
            QVERIFY(h.setUp() && h.driver("exit 0\n"));
            QVERIFY(writeAll(h.ctx.paths.g_strIniFile, "[Transfer]\r\n" + c.ini));
            h.picks << QStringLiteral("10.0.0.1");
            QVERIFY(h.run(&TransferController::SendToScales));
            QCOMPARE(QString::fromUtf8(readAll(h.log)).section(u'\n', 0, 0), c.options + "WR 52 10.0.0.1");
        }
    }

    // The run reports each finished scale; Cancel ends it with the rest as cancelled, never timed out;
    // a driver that keeps reporting outlives the stall limit, one that stops does not (above).
    void progressCancelAndStall()
    {
        Env t;
        QVERIFY(t.setUp());
        QVERIFY(QFile::copy(transfertest::driverPath(), t.programDir + QStringLiteral("vexowtcp")));
        transfertest::SimProcess sim;
        QVERIFY(sim.start({"127.0.12.1", "--range", "127.0.12.2-9:hang"}));
        qputenv("QUILLON_SCALE_PORT", QByteArray::number(sim.port()));
        QStringList picked;
        for (int i = 1; i <= 9; ++i)
            picked << QStringLiteral("127.0.12.%1").arg(i);
        t.picks << picked.join(u';');
        QSignalSpy progress(t.ctl.get(), &TransferController::scaleProgress);
        t.ctl->SendToScales();
        QVERIFY(QTest::qWaitFor([&] { return !progress.isEmpty(); }, 10000));
        QCOMPARE(progress.first(), (QVariantList{1, 9, 0}));
        t.ctl->Cancel();
        QVERIFY(QTest::qWaitFor([&] { return !t.ctl->busy(); }, 10000));
        qunsetenv("QUILLON_SCALE_PORT");
        const QList<ScaleOutcome> outcomes = t.ctl->lastOutcomes();
        QCOMPARE(outcomes.size(), 9);
        for (const ScaleOutcome& o : outcomes) {
            const QList<int> codes(std::begin(o.codes), std::end(o.codes));
            const QList<int> expected = o.address == picked[0] ? QList<int>{0, 11, 11} : QList<int>{11, 11, 11};
            QCOMPARE(codes, expected);
        }
        QVERIFY(t.popups.size() == 1 && t.popups[0].message.contains(t.text("Global", "msgTCPDriver11")));
        QVERIFY(!t.popups[0].message.contains(t.text("Global", "msgTCPDriver3")));
        QCOMPARE(t.leftovers(), QStringList());

        // Three scales, 0.3 s apart, each type: slower than the limit as a whole, never silent for as long.
        Env h;
        QVERIFY(h.setUp() && h.driver("for a; do case $a in 10.*) sleep 0.3; echo \"$a 0\"; r=\"$r;$a:0\";; esac; done\n"
                                      "printf \"${r#;}\" > result\n"));
        h.picks << QStringLiteral("10.0.0.1;10.0.0.2;10.0.0.3");
        qputenv("QUILLON_DRIVER_TIMEOUT_MS", "700");
        QVERIFY(h.run(&TransferController::SendToScales));
        qunsetenv("QUILLON_DRIVER_TIMEOUT_MS");
        QCOMPARE(h.popups.size(), 1);
        QVERIFY2(h.popups[0].message.startsWith(QStringLiteral("3 of 3 scales received the label")),
                 qPrintable(h.popups[0].message));
    }

    // What arrived is imported, and the pop-up says what did not; a dead scale is asked once.
    void receive()
    {
        const auto L = [](const QString& text) { return QStringLiteral("127.0.0.2       :") + text + "\r\n"; };
        const QByteArray arrives = "printf 'DATA%s\\r\\n' $2 > SM$3F$2.DAT; printf \"$3:0\" > result\n";
        const QString text = "\r\nText data:\r\n", shop = "\r\nShop name data:\r\n";
        const struct {
            QByteArray script;
            QString import;  // model|format|text arrived|shop name arrived; "": nothing imported
            QString popup;   // "": none
            int kind, runs;
        } cases[] = {
            {arrives, "4|DATA52\r\n|1|1", "", -1, 3},
            {"[ $2 = 56 ] && { printf half > SM$3F$2.DAT; printf \"$3:7\" > result; exit 0; }\n" + arrives,
             "4|DATA52\r\n|0|1",
             "The label was opened without the data below, which did not arrive. Sending it back would replace that "
             "data on the scale.\r\nText data:\r\n" + L("The connection was dropped during the transfer"), 0, 3},
            {"[ $2 = 52 ] && { printf \"$3:2\" > result; exit 0; }\n" + arrives, "",
             "Format data:\r\n" + L("Cannot connect to the scale (connection refused or scale unreachable)"), 0, 3},
            {"printf \"$3:3\" > result\n", "",
             "Format data:\r\n" + L("The scale did not answer in time") + text + L("The scale was not contacted: "
             "the transfer ended or stopped before its turn") + shop + L("The scale was not contacted: the transfer "
             "ended or stopped before its turn"), 0, 1},
            {"printf 'E2\\r\\n' > SM$3F$2.DAT; printf \"$3:0\" > result\n", "4|E2\r\n|1|1",
             "The scale holds no label.", 1, 3},
        };
        for (const auto& c : cases) {
            Env h;
            QVERIFY(h.setUp() && h.driver(c.script));
            h.addScale(2, QStringLiteral("127.0.0.2"), 4);
            // A stale file from an earlier run must not pass for received data.
            QVERIFY(writeAll(h.ctl->PerScaleFile(QStringLiteral("127.0.0.2"), 56), "STALE\r\n"));
            h.picks << QStringLiteral("127.0.0.2");
            QVERIFY(h.run(&TransferController::ReceiveFromScale));
            QCOMPARE(h.pickModes, QList<bool>{false});
            QCOMPARE(h.imports, c.import.isEmpty() ? QStringList() : QStringList{c.import});
            QCOMPARE(readAll(h.log).count('\n'), c.runs);
            QCOMPARE(h.popups.size(), c.popup.isEmpty() ? 0 : 1);
            if (!c.popup.isEmpty()) {
                QCOMPARE(h.popups[0].message, c.popup);
                QVERIFY(h.popups[0].title == h.text("frmMain", "msgRecvFromScaleResult") && h.popups[0].kind == c.kind);
            }
            QCOMPARE(h.leftovers(), QStringList());
        }
    }

    // A main database from before the journal gains its table and indexes at the next start; its rows stay.
    void oldDatabaseGainsJournal()
    {
        Env t;
        QVERIFY(t.setUp());
        t.addScale(1, QStringLiteral("10.0.0.1"), 0);
        const auto schema = [&] {
            QSqlQuery q(t.ctx.db().mainDb());
            q.exec(QStringLiteral("select name from sqlite_master where name like '%TJ%' or name like '%JOURNAL' order by 1"));
            QStringList names;
            while (q.next())
                names << q.value(0).toString();
            return names;
        };
        const QStringList made = schema();
        QCOMPARE(made.size(), 5);
        QVERIFY(QSqlQuery(t.ctx.db().mainDb()).exec(QStringLiteral("drop table TRANSFER_JOURNAL")));
        QCOMPARE(schema(), QStringList());
        QVERIFY(t.ctx.db().OpenDatabases(t.tmp.filePath(QStringLiteral("root/"))));
        QCOMPARE(schema(), made);
        QCOMPARE(t.rows().size(), 1);
        QSqlQuery models(t.ctx.db().mainDb());
        QVERIFY(models.exec(QStringLiteral("select count(*) from SCALE_MODEL")) && models.next());
        QCOMPARE(models.value(0).toInt(), 7);
    }

    // The history over runs written as the program writes them: filters, pages, sort, CSV, a past
    // report shown again and its failed scales handed to the resend.
    void transferHistory()
    {
        Env t;
        QVERIFY(t.setUp(QStringLiteral("/bin/true")));
        QSqlDatabase db = t.ctx.db().mainDb();
        QList<ScaleOutcome> many;   // two pages and more
        for (int i = 0; i < 300; ++i)
            many << ScaleOutcome{QStringLiteral("10.0.%1.%2").arg(i / 200).arg(i % 200 + 1), {0, 0, 0}};
        const struct { int daysAgo; QString label; QList<ScaleOutcome> outcomes; } runs[] = {
            {2, "Old 100%_x.qlf", {{"10.0.0.1", {0, 0, 0}}, {"10.0.0.2", {3, 10, 10}}}},
            {1, "Bread.qlf", {{"10.0.0.3", {0, 0, 0}}, {"10.0.0.2", {2, 2, 2}}, {"10.0.0.1", {0, 4, 0}}}},
            {0, "Cheese.qlf", many}};
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const auto& r : runs) {
            JournalRun run = NewJournalRun(TransferDirection::Send, r.label, {});
            run.utc = now.addDays(-r.daysAgo);
            QString why;
            QVERIFY2(WriteJournal(db, run, r.outcomes, &why), qPrintable(why));
        }
        TransferHistoryDialog dlg(t.ctx);
        JournalModel* m = dlg.model();
        QCOMPARE(m->rowCount(), JournalModel::kPageRows);
        const auto all = [m] {
            while (m->canFetchMore({}))
                m->fetchMore({});
            return m->rowCount();
        };
        const auto row = [m](int r) {
            const JournalEntry& e = m->entry(r);
            return QStringLiteral("%1|%2|%3|%4").arg(e.label, e.address).arg(e.type).arg(e.code);
        };
        const QDate today = QDate::currentDate();
        const struct { const char* address; const char* label; int from, to; int rows; const char* first; } filters[] = {
            {"", "", -1, -1, 915, "Cheese.qlf|10.0.0.1|52|0"},
            {"10.0.0.1", "", -1, -1, 9, "Cheese.qlf|10.0.0.1|52|0"},   // whole: not 10.0.0.10
            {"10.0.1.", "", -1, -1, 300, "Cheese.qlf|10.0.1.1|52|0"},
            {" 10.0.0.2 ", "bREAD", -1, -1, 3, "Bread.qlf|10.0.0.2|52|2"},
            {"", "%_", -1, -1, 6, "Old 100%_x.qlf|10.0.0.1|52|0"},      // wildcards are text
            {"", "", 1, -1, 909, "Cheese.qlf|10.0.0.1|52|0"},
            {"", "", -1, 1, 15, "Bread.qlf|10.0.0.1|52|0"},
            {"10.0.0.2", "", 2, 2, 3, "Old 100%_x.qlf|10.0.0.2|52|3"},
            {"10.9.", "", -1, -1, 0, ""}};
        for (const auto& f : filters) {
            dlg.txtAddress->setText(QString::fromLatin1(f.address));
            dlg.txtLabel->setText(QString::fromLatin1(f.label));
            dlg.chkFrom->setChecked(f.from >= 0);
            dlg.dtpFrom->setDate(today.addDays(-f.from));
            dlg.chkTo->setChecked(f.to >= 0);
            dlg.dtpTo->setDate(today.addDays(-f.to));
            dlg.applyFilter();
            QCOMPARE(all(), f.rows);
            QCOMPARE(f.rows ? row(0) : QString(), QString::fromLatin1(f.first));
        }

        // Sorted by a column the header was clicked on, ties newest first.
        dlg.txtAddress->setText(QString());
        dlg.chkFrom->setChecked(false);
        dlg.chkTo->setChecked(false);
        dlg.applyFilter();
        dlg.lvwJournal->sortByColumn(JournalModel::ColCode, Qt::DescendingOrder);
        QCOMPARE(row(0), "Old 100%_x.qlf|10.0.0.2|56|10");
        dlg.lvwJournal->sortByColumn(JournalModel::ColLabel, Qt::AscendingOrder);
        QCOMPARE(row(0), "Bread.qlf|10.0.0.1|52|0");

        // The export holds every row of the filter, not only the fetched page.
        const QString csv = t.tmp.filePath(QStringLiteral("history.csv"));
        dlg.m_askCsvFile = [&](QWidget*, const QString&) { return std::optional(csv); };
        dlg.cmdExportCsv_Click();
        QString error;
        const auto records = ParseCsv(readAll(csv), &error);
        QVERIFY2(records && records->size() == 916, qPrintable(error));
        QCOMPARE(records->at(1).mid(1, 5), (CsvRecord{"10.0.0.1", "Bread.qlf", "send", "52", "0"}));
        QVERIFY(!m->exportCsv(t.tmp.path(), &error) && !error.isEmpty());

        // A past run's report comes back, and its failed scales go to the resend with the run's label.
        QStringList resent;
        dlg.m_sendAgain = [&](const QStringList& addresses, const QString& label) { resent = addresses + QStringList{label}; };
        dlg.txtLabel->setText(QStringLiteral("bread"));
        dlg.applyFilter();
        dlg.cmdShowReport_Click();
        QVERIFY(dlg.shownReport());
        QVERIFY(dlg.shownReport()->messageItem()->text().contains("Bread.qlf") &&
                dlg.shownReport()->messageItem()->text().contains("1 of 3 scales received the label"));
        auto* again = dlg.shownReport()->findChild<QPushButton*>(QStringLiteral("popupAction"));
        QVERIFY(again);
        again->click();
        QCOMPARE(resent, (QStringList{"10.0.0.1", "10.0.0.2", "Bread.qlf"}));
    }

    void receiveThenSend()
    {
        Env t;
        QVERIFY(t.setUp(QStringLiteral("/bin/true")));
        t.ctx.LoadFieldFonts();
        t.ctx.BuildCodePageTables();
        QVERIFY(t.ctx.LoadFieldCatalogue());
        QVERIFY(QFile::copy(transfertest::driverPath(), t.programDir + QStringLiteral("vexowtcp")));
        Label label(t.ctx.tables);
        label.m_iFormatNo = 7;
        for (int i = 0; i < label.fieldCount(); ++i) {
            FieldRecord& r = label.m_arrFields[i];
            r.bUsed = i < 4 || label.fieldType(i) == FT_TEXT || label.fieldType(i) == FT_SHOPNAME;
            r.iTextLine = 1;
            r.strText[1] = QStringLiteral("Fresh bread %1").arg(i);
        }
        QStringList received; // the format records that arrived, and the scale's model
        t.cb.exportFormatData = [&](const QString& path) { return bool(ExportFormatData(label, path)); };
        t.cb.exportTextData = [&](const QString& path, int type) { return bool(ExportTextData(label, path, type)); };
        t.cb.importReceivedData = [&](const QString& f, const QString&, const QString&, int model) {
            QByteArray line;
            QVERIFY(ReadFirstLine(f, &line));
            received = SplitFormatRecords(QString::fromLatin1(line)) << QString::number(model);
        };
        t.cb.pickScales = nullptr;
        t.cb.labelName = [] { return QStringLiteral("Bread.qlf"); };
        t.start();
        // The picker takes what it offers; with one scale to pick, the row double-clicked.
        const auto accept = [](int row) {
            OnNextModal<ScalePickerDialog>([row](ScalePickerDialog* dlg) {
                if (row >= 0)
                    dlg->RowDoubleClicked(dlg->lvwScale->topLevelItem(row));
                QTest::keyClick(dlg->lvwScale, Qt::Key_Return);
            });
        };

        // Two format records on a scale, as a scale that holds two labels would answer.
        QTemporaryDir data;
        Label a(t.ctx.tables), b(t.ctx.tables);
        a.m_iFormatNo = 3;
        b.m_iFormatNo = 12;
        b.m_arrFields[0].bUsed = true;
        QVERIFY(QDir().mkpath(data.filePath("127.0.3.2")) &&
                writeAll(data.filePath("127.0.3.2/F52.DAT"), (FormatRecord(a) + FormatRecord(b)).toLatin1() + "\r\n"));
        transfertest::SimProcess sim;
        QVERIFY(sim.start({"127.0.3.1", "127.0.3.2", "127.0.3.3:refuse", "127.0.3.4:hang"}, data.path()));
        qputenv("QUILLON_SCALE_PORT", QByteArray::number(sim.port()));
        const QStringList list{"../../outside", "127.0.3.1", "127.0.3.2", "127.0.3.3", "-rf", "127.0.3.4"};
        for (int i = 0; i < list.size(); ++i)
            t.addScale(i + 1, list[i], 5);
        accept(1); // the picker lists by address, invalid ones last: 127.0.3.2 is the second row
        QVERIFY(t.run(&TransferController::ReceiveFromScale));
        QVERIFY(t.popups.isEmpty());
        QCOMPARE(received, (QStringList{FormatRecord(a), FormatRecord(b), "5"}));
        QCOMPARE(t.leftovers(), QStringList());

        // Send to every scale of the list; a result left over from before must not count.
        QVERIFY(writeAll(t.ctl->ResultFile(), "127.0.3.3:0"));
        QSignalSpy busy(t.ctl.get(), &TransferController::busyChanged);
        QSignalSpy progress(t.ctl.get(), &TransferController::progressChanged);
        accept(-1);
        qputenv("QUILLON_SCALE_TIMEOUT_MS", "500");
        t.ctl->SendToScales();
        QVERIFY(t.ctl->busy());
        // A second command while one runs is not started.
        t.ctl->SendToScales();
        t.ctl->ReceiveFromScale();
        QVERIFY(QTest::qWaitFor([&] { return !t.ctl->busy(); }, 40000));
        qunsetenv("QUILLON_SCALE_PORT");
        qunsetenv("QUILLON_SCALE_TIMEOUT_MS");
        QCOMPARE(busy.size(), 2);
        QCOMPARE(progress.last().mid(0, 2), (QVariantList{12, 12}));
        QCOMPARE(t.popups.size(), 1);
        const auto L = [](const QString& address, const QString& text) {
            return address.leftJustified(16, u' ') + u':' + text + "\r\n";
        };
        QCOMPARE(t.popups[0].message,
                 "2 of 6 scales received the label; 1 unreachable; 1 timed out; 2 invalid address\r\n" +
                     L(list[3], "Cannot connect to the scale (connection refused or scale unreachable)") +
                     L(list[5], "The scale did not answer in time") + L(list[4], "Invalid scale address") +
                     L(list[0], "Invalid scale address") + L(list[1], "Transfer completed") +
                     L(list[2], "Transfer completed"));
        // The hanging scale was asked for the format only.
        QCOMPARE(sim.log().count(QStringLiteral("127.0.3.4 WR")), 1);
        QCOMPARE(QString::fromUtf8(t.ctl->lastReportCsv()).section(u'\n', 1, 2),
                 QStringLiteral("127.0.3.3,unreachable,unreachable,unreachable,unreachable\r\n"
                                "127.0.3.4,timed out,timed out,not attempted,not attempted\r"));
        for (int type : {52, 56, 61}) {
            const QString path = t.tmp.filePath("expected.dat");
            QVERIFY(type == 52 ? ExportFormatData(label, path)
                               : ExportTextData(label, path, type == 56 ? FT_TEXT : FT_SHOPNAME));
            QVERIFY(readAll(path).size() > 4);
            // The scale that held formats 3 and 12 keeps them beside the new 7.
            const QByteArray kept = type == 52 ? (FormatRecord(a) + QString::fromLatin1(readAll(path).trimmed()) +
                                                  FormatRecord(b)).toLatin1() + "\r\n"
                                               : readAll(path);
            QCOMPARE(readAll(data.filePath(list[1] + QStringLiteral("/F%1.DAT").arg(type))), readAll(path));
            QCOMPARE(readAll(data.filePath(list[2] + QStringLiteral("/F%1.DAT").arg(type))), kept);
        }
        QCOMPARE(t.leftovers(), QStringList());
        QVERIFY(!QFileInfo::exists(t.tmp.filePath("outsideF52.DAT")));

        // The journal: the receive's three rows, then the send's six scales by three types, with the
        // hash of what went out; the daily log has one line per run.
        QSqlQuery q(t.ctx.db().mainDb());
        QVERIFY(q.exec("select TJ_DIRECTION, TJ_LABEL, TJ_ADDRESS, TJ_TYPE, TJ_CODE, TJ_HASH <> '', TJ_USER <> '', "
                       "TJ_HOST <> '' from TRANSFER_JOURNAL order by TJ_TIME, TJ_ADDRESS, TJ_TYPE"));
        QStringList journal;
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < 8; ++c)
                row << q.value(c).toString();
            journal << row.join(u'|');
        }
        QCOMPARE(journal.size(), 3 + 6 * 3);
        QCOMPARE(journal.mid(0, 3), (QStringList{"receive||127.0.3.2|52|0|1|1|1", "receive||127.0.3.2|56|0|1|1|1",
                                                 "receive||127.0.3.2|61|0|1|1|1"}));
        QVERIFY(journal.contains("send|Bread.qlf|127.0.3.4|52|3|1|1|1") &&
                journal.contains("send|Bread.qlf|127.0.3.4|61|10|1|1|1") &&
                journal.contains("send|Bread.qlf|-rf|56|6|1|1|1"));
        QVERIFY(q.exec("select distinct TJ_HASH from TRANSFER_JOURNAL where TJ_DIRECTION = 'send' and TJ_TYPE = 52"));
        QVERIFY(q.next());
        const QString exported = t.tmp.filePath("expected52.dat");
        QVERIFY(ExportFormatData(label, exported));
        QCOMPARE(q.value(0).toString(), QCryptographicHash::hash(readAll(exported), QCryptographicHash::Sha256).toHex());
        QVERIFY(!q.next());
        const QString log = readLog(LogFilePath(QDateTime::currentDateTime()));
        QCOMPARE(log.count("Transfer journal: "), 2);
        QVERIFY(log.contains("Transfer journal: send \"Bread.qlf\", 6 scale(s), 2 received the label; code 0 x6, "
                             "code 2 x3, code 3 x1, code 6 x6, code 10 x2"));

        // The scale list shows each scale's last run; the resend ticks exactly the scales that failed.
        ScaleListDialog scales(t.ctx);
        const auto lastResult = [&](int row) { return scales.lvwScale->topLevelItem(row)->text(6); };
        QCOMPARE(scales.lvwScale->topLevelItem(2)->text(5), "Bread.qlf");
        QCOMPARE((QStringList{lastResult(0), lastResult(1), lastResult(2), lastResult(3), lastResult(5)}),
                 (QStringList{"invalid address", "received", "received", "unreachable", "timed out"}));
        const QStringList failed = FailedAddresses(t.ctl->lastOutcomes());
        QCOMPARE(QSet<QString>(failed.cbegin(), failed.cend()), (QSet<QString>{list[0], list[3], list[4], list[5]}));
        ScalePickerDialog picker(t.ctx);
        picker.m_preselected = failed;
        picker.Form_Load();
        QStringList ticked;
        for (int i = 0; i < picker.lvwScale->topLevelItemCount(); ++i)
            if (picker.lvwScale->topLevelItem(i)->checkState(0) == Qt::Checked)
                ticked << picker.lvwScale->topLevelItem(i)->text(1);
        QCOMPARE(ticked, failed);
    }
};

QTEST_MAIN(TestScale)
#include "test_scale.moc"
