// Send and receive through the transfer code with the real driver and the scale
// simulator on loopback.
#include "scaletestenv.h"
#include "common/simprocess.h"

#include "model/datafile.h"
#include "model/f52data.h"
#include "model/label.h"
#include "model/f56f61data.h"
#include "scale/scalepicker.h"
#include "scale/scalepickerdialog.h"
#include "scale/transfer.h"

#include <QDirIterator>
#include <QTreeWidget>

using namespace quillon;
using namespace quillon::scaletest;

namespace {

struct Popup {
    QString message, title;
    int kind = -1;
};

class E2E {
public:
    ScaleTestEnv env;
    transfertest::SimProcess sim;
    QTemporaryDir simData;
    std::unique_ptr<Label> label;
    std::unique_ptr<TransferController> ctl;
    QStringList picks;   // empty: the real picker
    QList<Popup> popups;
    QStringList criticals;
    QList<Label> received;

    bool setUp(const QStringList& scales)
    {
        if (!env.setUp(QStringLiteral("Ping=/bin/true")))
            return false;
        env.ctx.LoadFieldFonts();
        env.ctx.BuildCodePageTables();
        if (!env.ctx.LoadFieldCatalogue())
            return false;
        if (!QFile::copy(transfertest::driverPath(), env.programDir + QStringLiteral("vexowtcp")))
            return false;
        if (!scales.isEmpty()) {
            if (!sim.start(scales, simData.path()))
                return false;
            qputenv("QUILLON_SCALE_PORT", QByteArray::number(sim.port()));
        }
        label = std::make_unique<Label>(env.ctx.tables);
        for (int i = 0; i < label->fieldCount(); ++i) {
            const qint32 type = label->fieldType(i);
            if (type == FT_TEXT || type == FT_SHOPNAME) {
                label->m_arrFields[i].bUsed = true;
                label->m_arrFields[i].iTextLine = 2;
                label->m_arrFields[i].strText[1] = QStringLiteral("Fresh bread %1").arg(i);
                label->m_arrFields[i].strText[2] = QStringLiteral("Line two");
            } else if (i < 4) {
                label->m_arrFields[i].bUsed = true;
            }
        }
        label->m_iFormatNo = 7;

        TransferCallbacks cb;
        cb.hasActiveDocument = [] { return true; };
        cb.exportFormatData = [this](const QString& path) { return bool(ExportFormatData(*label, path)); };
        cb.exportTextData = [this](const QString& path, int type) { return bool(ExportTextData(*label, path, type)); };
        cb.importReceivedData = [this](const QString& f, const QString& t, const QString& s, int model) {
            QByteArray line;
            QVERIFY(ReadFirstLine(f, &line));
            for (const QString& record : SplitFormatRecords(QString::fromLatin1(line))) {
                Label doc(env.ctx.tables);
                doc.m_iScaleModelIndex = qint16(model);
                QVERIFY(ImportFormatData(doc, record));
                if (!t.isEmpty())
                    QVERIFY(ImportTextData(doc, t, FT_TEXT));
                if (!s.isEmpty())
                    QVERIFY(ImportTextData(doc, s, FT_SHOPNAME));
                received << doc;
            }
        };
        cb.pickScales = [this](bool multi) -> ScalePick {
            if (!picks.isEmpty())
                return ScalePick{false, picks.takeFirst()};
            // The real picker: accept what it offers.
            ScalePicker picker(env.ctx);
            picker.m_bMultiSelect = multi;
            OnNextModal<ScalePickerDialog>([multi](ScalePickerDialog* dlg) {
                if (!multi)
                    dlg->RowDoubleClicked(dlg->lvwScale->topLevelItem(0));
                QTest::keyClick(dlg->lvwScale, Qt::Key_Return);
            });
            picker.Show();
            return ScalePick{picker.m_bCancel, picker.m_strScales};
        };
        cb.showCritical = [this](const QString& t) { criticals << t; };
        cb.showPopup = [this](const QString& m, const QString& t, int k) { popups << Popup{m, t, k}; };
        ctl = std::make_unique<TransferController>(env.ctx, nullptr, cb);
        return true;
    }

    ~E2E()
    {
        qunsetenv("QUILLON_SCALE_PORT");
        qunsetenv("QUILLON_SCALE_TIMEOUT_MS");
        qunsetenv("QUILLON_DRIVER_TIMEOUT_MS");
    }

    bool waitIdle(int ms = 40000)
    {
        return QTest::qWaitFor([this] { return !ctl->busy(); }, ms);
    }

    QByteArray exported(int type)
    {
        const QString path = env.tmp.path() + QStringLiteral("/expected.dat");
        if (type == 52)
            ExportFormatData(*label, path);
        else
            ExportTextData(*label, path, type == 56 ? FT_TEXT : FT_SHOPNAME);
        return transfertest::readAll(path);
    }

    QByteArray stored(const QString& address, int type)
    {
        return transfertest::readAll(simData.path() + QStringLiteral("/%1/F%2.DAT").arg(address).arg(type));
    }

    // Files the transfer left anywhere in the temporary tree, other than the tree's own.
    QStringList leftovers()
    {
        QStringList out;
        QDirIterator it(env.programDir, QDir::Files);
        while (it.hasNext()) {
            const QString name = QFileInfo(it.next()).fileName();
            if (name.startsWith(QLatin1String("SM")) || name.startsWith(QLatin1Char('~')) || name.contains(QLatin1String(".DAT")))
                out << name;
        }
        return out;
    }

    QString t(const char* section, const char* key) { return env.text(section, key); }
    QString line(const QString& address, int code)
    {
        return address.leftJustified(16, QLatin1Char(' ')) + QLatin1Char(':') +
               env.ctx.db().GetLangString(QStringLiteral("Global"), QStringLiteral("msgTCPDriver%1").arg(code)) +
               QStringLiteral("\r\n");
    }
    QString allOk()
    {
        const QString ok = t("frmMain", "msgAllSuccessful") + QStringLiteral("\r\n");
        return t("frmMain", "msgSendFormatToScale") + ok + QStringLiteral("\r\n") + t("frmMain", "msgSendTextToScale") +
               ok + QStringLiteral("\r\n") + t("frmMain", "msgSendShopnameToScale") + ok;
    }
};

} // namespace

class TestE2ETransfer : public QObject {
    Q_OBJECT
private slots:
    void sendToScales_data();
    void sendToScales();
    void receiveTwoRecords();
    void faultModes();
    void driverThatNeverEnds();
    void missingDriver();
    void invalidAddressesInTheScaleList();
};

void TestE2ETransfer::sendToScales_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("3 scales through the picker") << 3;
    QTest::newRow("50 scales") << 50;
}

void TestE2ETransfer::sendToScales()
{
    QFETCH(int, count);
    QStringList addresses;
    for (int i = 1; i <= count; ++i)
        addresses << QStringLiteral("127.0.3.%1").arg(i);
    E2E t;
    QVERIFY(t.setUp({QStringLiteral("--range"), QStringLiteral("127.0.3.1-%1").arg(count)}));
    const int model = t.env.ctx.tables.g_arrScaleModel[1].ID;
    if (count <= 3) {
        for (int i = count; i >= 1; --i)
            t.env.addScale(i, addresses[i - 1], model);
    } else {
        t.picks << addresses.join(QLatin1Char(';'));
    }
    // A result left over from before must not count.
    QVERIFY(transfertest::writeAll(t.ctl->ResultFile(), "127.0.3.1:0"));
    t.ctl->SendToScales();
    QVERIFY(t.waitIdle());
    QCOMPARE(t.popups.size(), 1);
    QCOMPARE(t.popups[0].message, t.allOk());
    QCOMPARE(t.popups[0].kind, 1);
    for (int type : {52, 56, 61}) {
        const QByteArray expected = t.exported(type);
        QVERIFY(expected.size() > 4);
        for (const QString& a : addresses)
            QCOMPARE(t.stored(a, type), expected);
    }
    QCOMPARE(t.leftovers(), QStringList());
}

void TestE2ETransfer::receiveTwoRecords()
{
    E2E t;
    QVERIFY(t.setUp({}));
    // Two format records on the scale, as a scale that holds two labels would answer.
    Label a(t.env.ctx.tables), b(t.env.ctx.tables);
    a.m_iFormatNo = 3;
    b.m_iFormatNo = 12;
    b.m_arrFields[0].bUsed = true;
    const QByteArray f52 = (FormatRecord(a) + FormatRecord(b)).toLatin1() + "\r\n";
    QTemporaryDir preload;
    QDir().mkpath(preload.path() + QStringLiteral("/127.0.0.2"));
    QVERIFY(transfertest::writeAll(preload.path() + QStringLiteral("/127.0.0.2/F52.DAT"), f52));
    QVERIFY(t.sim.start({QStringLiteral("127.0.0.2")}, preload.path()));
    qputenv("QUILLON_SCALE_PORT", QByteArray::number(t.sim.port()));
    const auto& models = t.env.ctx.tables.g_arrScaleModel;
    t.env.addScale(2, QStringLiteral("127.0.0.2"), models[5].ID);
    t.ctl->ReceiveFromScale();
    QVERIFY(t.waitIdle());
    QVERIFY(t.popups.isEmpty());
    QCOMPARE(t.received.size(), 2);
    QCOMPARE(t.received[0].m_iFormatNo, qint16(3));
    QCOMPARE(t.received[1].m_iFormatNo, qint16(12));
    QVERIFY(t.received[1].m_arrFields[0].bUsed);
    for (const Label& doc : std::as_const(t.received))
        QCOMPARE(doc.m_iScaleModelIndex, qint16(5));
    QCOMPARE(t.leftovers(), QStringList());

    // A scale without data: "E2" opens nothing and reports nothing.
    t.sim.stop();
    QTemporaryDir empty;
    transfertest::SimProcess sim2;
    QVERIFY(sim2.start({QStringLiteral("127.0.0.2")}, empty.path()));
    qputenv("QUILLON_SCALE_PORT", QByteArray::number(sim2.port()));
    t.received.clear();
    t.ctl->ReceiveFromScale();
    QVERIFY(t.waitIdle());
    QVERIFY(t.received.isEmpty());
    QVERIFY(t.popups.isEmpty());
    QCOMPARE(t.leftovers(), QStringList());
}

void TestE2ETransfer::faultModes()
{
    E2E t;
    qputenv("QUILLON_SCALE_TIMEOUT_MS", "600");
    QVERIFY(t.setUp({QStringLiteral("127.0.4.1"), QStringLiteral("127.0.4.2:refuse"), QStringLiteral("127.0.4.3:hang"),
                     QStringLiteral("127.0.4.4:garbage"), QStringLiteral("127.0.4.5:reject"),
                     QStringLiteral("127.0.4.6:drop"), QStringLiteral("127.0.4.7")}));
    t.picks << QStringLiteral("127.0.4.1;127.0.4.2;127.0.4.3;127.0.4.4;127.0.4.5;127.0.4.6;127.0.4.7");
    t.ctl->SendToScales();
    QVERIFY(t.waitIdle());
    QCOMPARE(t.popups.size(), 1);
    const QString failures = t.line(QStringLiteral("127.0.4.2"), 2) + t.line(QStringLiteral("127.0.4.3"), 3) +
                             t.line(QStringLiteral("127.0.4.4"), 5) + t.line(QStringLiteral("127.0.4.5"), 4) +
                             t.line(QStringLiteral("127.0.4.6"), 7);
    const QString crlf = QStringLiteral("\r\n");
    QCOMPARE(t.popups[0].message, t.t("frmMain", "msgSendFormatToScale") + crlf + failures + crlf +
                                      t.t("frmMain", "msgSendTextToScale") + crlf + failures + crlf +
                                      t.t("frmMain", "msgSendShopnameToScale") + crlf + failures);
    for (int type : {52, 56, 61}) {
        QCOMPARE(t.stored(QStringLiteral("127.0.4.1"), type), t.exported(type));
        QCOMPARE(t.stored(QStringLiteral("127.0.4.7"), type), t.exported(type));
    }
    QCOMPARE(t.leftovers(), QStringList());
}

void TestE2ETransfer::driverThatNeverEnds()
{
    E2E t;
    QVERIFY(t.setUp({QStringLiteral("127.0.0.2")}));
    QFile::remove(t.ctl->DriverProgram());
    QVERIFY(WriteScript(t.ctl->DriverProgram(), "exec sleep 120\n"));
    qputenv("QUILLON_DRIVER_TIMEOUT_MS", "1500");
    t.picks << QStringLiteral("127.0.0.2");
    QElapsedTimer clock;
    clock.start();
    t.ctl->SendToScales();
    QVERIFY(t.waitIdle());
    QVERIFY(clock.elapsed() >= 1500 && clock.elapsed() < 10000);
    QCOMPARE(t.popups.size(), 1);
    QCOMPARE(t.popups[0].message, t.t("frmMain", "msgUnknownError"));
    QCOMPARE(t.popups[0].kind, 0);
    QVERIFY(t.popups[0].title.isEmpty());
    QCOMPARE(t.leftovers(), QStringList());
    QVERIFY(t.stored(QStringLiteral("127.0.0.2"), 52).isEmpty());
}

void TestE2ETransfer::missingDriver()
{
    E2E t;
    QVERIFY(t.setUp({QStringLiteral("127.0.0.2")}));
    QFile::remove(t.ctl->DriverProgram());
    t.picks << QStringLiteral("127.0.0.2");
    t.ctl->SendToScales();
    QVERIFY(t.waitIdle());
    QCOMPARE(t.criticals, QStringList{t.t("frmMain", "msgCreateDriverError")});
    QVERIFY(t.popups.isEmpty());
    QCOMPARE(t.leftovers(), QStringList());
}

void TestE2ETransfer::invalidAddressesInTheScaleList()
{
    E2E t;
    QVERIFY(t.setUp({QStringLiteral("127.0.0.2")}));
    const int model = t.env.ctx.tables.g_arrScaleModel[0].ID;
    t.env.addScale(1, QStringLiteral("../../outside"), model);
    t.env.addScale(2, QStringLiteral("127.0.0.2"), model);
    t.env.addScale(3, QStringLiteral("-rf"), model);
    t.ctl->SendToScales();   // the real picker, every row ticked
    QVERIFY(t.waitIdle());
    QCOMPARE(t.popups.size(), 1);
    const QString invalid = t.line(QStringLiteral("../../outside"), 6) + t.line(QStringLiteral("-rf"), 6);
    QCOMPARE(t.popups[0].message.count(invalid), 3);
    QCOMPARE(t.stored(QStringLiteral("127.0.0.2"), 61), t.exported(61));
    QVERIFY(!QFileInfo::exists(t.env.tmp.path() + QStringLiteral("/root/outsideF52.DAT")));
    QVERIFY(!QFileInfo::exists(t.env.tmp.path() + QStringLiteral("/outsideF52.DAT")));
    QCOMPARE(t.leftovers(), QStringList());
}

QTEST_MAIN(TestE2ETransfer)
#include "test_e2e_transfer.moc"
