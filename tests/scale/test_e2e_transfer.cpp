// Send and receive through the transfer code, the real picker, the real driver and the
// scale simulator on loopback.
#include "scaletestenv.h"
#include "common/simprocess.h"

#include "model/datafile.h"
#include "model/f52data.h"
#include "model/f56f61data.h"
#include "model/label.h"
#include "scale/scalepickerdialog.h"

#include <QSignalSpy>
#include <QTreeWidget>

using namespace quillon;
using namespace quillon::scaletest;

namespace {

struct E2E : TransferHarness {
    transfertest::SimProcess sim;
    QTemporaryDir simData;
    std::unique_ptr<Label> label;
    QList<Label> received;

    bool setUp()
    {
        if (!TransferHarness::setUp(QStringLiteral("/bin/true")))
            return false;
        ctx.LoadFieldFonts();
        ctx.BuildCodePageTables();
        if (!ctx.LoadFieldCatalogue() || !QFile::copy(transfertest::driverPath(), programDir + QStringLiteral("vexowtcp")))
            return false;
        label = std::make_unique<Label>(ctx.tables);
        label->m_iFormatNo = 7;
        for (int i = 0; i < label->fieldCount(); ++i) {
            FieldRecord& r = label->m_arrFields[i];
            r.bUsed = i < 4 || label->fieldType(i) == FT_TEXT || label->fieldType(i) == FT_SHOPNAME;
            r.iTextLine = 2;
            r.strText[1] = QStringLiteral("Fresh bread %1").arg(i);
            r.strText[2] = QStringLiteral("Line two");
        }
        cb.exportFormatData = [this](const QString& path) { return bool(ExportFormatData(*label, path)); };
        cb.exportTextData = [this](const QString& path, int type) { return bool(ExportTextData(*label, path, type)); };
        cb.importReceivedData = [this](const QString& f, const QString& t, const QString& s, int model) {
            QByteArray line;
            QVERIFY(ReadFirstLine(f, &line));
            for (const QString& record : SplitFormatRecords(QString::fromLatin1(line))) {
                Label doc(ctx.tables);
                doc.m_iScaleModelIndex = qint16(model);
                QVERIFY(ImportFormatData(doc, record));
                QVERIFY(t.isEmpty() || ImportTextData(doc, t, FT_TEXT));
                QVERIFY(s.isEmpty() || ImportTextData(doc, s, FT_SHOPNAME));
                received << doc;
            }
        };
        cb.pickScales = nullptr;   // the program's own picker
        start();
        return true;
    }
    ~E2E() { qunsetenv("QUILLON_SCALE_PORT"); }
    bool serve(const QStringList& scales)
    {
        return sim.start(scales, simData.path()) && qputenv("QUILLON_SCALE_PORT", QByteArray::number(sim.port()));
    }

    // The real picker takes what it offers; with one scale to pick, the row double-clicked.
    void acceptPicker(int row = -1)
    {
        OnNextModal<ScalePickerDialog>([row](ScalePickerDialog* dlg) {
            if (row >= 0)
                dlg->RowDoubleClicked(dlg->lvwScale->topLevelItem(row));
            QTest::keyClick(dlg->lvwScale, Qt::Key_Return);
        });
    }
    QByteArray exported(int type)
    {
        const QString path = tmp.path() + QStringLiteral("/expected.dat");
        QFile::remove(path);
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
};

} // namespace

class TestE2ETransfer : public QObject {
    Q_OBJECT
private slots:
    void sendToScales();
    void receive();
};

void TestE2ETransfer::sendToScales()
{
    E2E t;
    QVERIFY(t.setUp());
    QVERIFY(t.serve({QStringLiteral("127.0.3.1"), QStringLiteral("127.0.3.2"), QStringLiteral("127.0.3.3:refuse")}));
    const QStringList list{"../../outside", "127.0.3.1", "127.0.3.2", "127.0.3.3", "-rf"};
    for (int i = 0; i < list.size(); ++i)
        t.addScale(i + 1, list[i], 1);
    // A result left over from before must not count.
    QVERIFY(transfertest::writeAll(t.ctl->ResultFile(), "127.0.3.3:0"));
    QSignalSpy busy(t.ctl.get(), &TransferController::busyChanged);
    QSignalSpy progress(t.ctl.get(), &TransferController::progressChanged);
    t.acceptPicker();
    t.ctl->SendToScales();
    QVERIFY(t.ctl->busy());
    // A second command while one runs is not started.
    t.ctl->SendToScales();
    t.ctl->ReceiveFromScale();
    QVERIFY(QTest::qWaitFor([&] { return !t.ctl->busy(); }, 40000));
    QCOMPARE(busy.size(), 2);
    QCOMPARE(progress.last().mid(0, 2), (QVariantList{9, 9}));
    const QString failures = t.line(list[3], 2) + t.line(list[0], 6) + t.line(list[4], 6);
    QCOMPARE(t.popups.size(), 1);
    QCOMPARE(t.popups[0].message, t.sendReport(QStringList(3, failures)));
    for (int type : {52, 56, 61}) {
        const QByteArray expected = t.exported(type);
        QVERIFY(expected.size() > 4);
        QCOMPARE(t.stored(list[1], type), expected);
        QCOMPARE(t.stored(list[2], type), expected);
    }
    QCOMPARE(t.leftovers(), QStringList());
    QVERIFY(!QFileInfo::exists(t.tmp.path() + QStringLiteral("/root/outsideF52.DAT")));
    QVERIFY(!QFileInfo::exists(t.tmp.path() + QStringLiteral("/outsideF52.DAT")));
}

void TestE2ETransfer::receive()
{
    E2E t;
    QVERIFY(t.setUp());
    // Two format records on one scale, as a scale that holds two labels would answer; none on the other.
    Label a(t.ctx.tables), b(t.ctx.tables);
    a.m_iFormatNo = 3;
    b.m_iFormatNo = 12;
    b.m_arrFields[0].bUsed = true;
    QDir().mkpath(t.simData.path() + QStringLiteral("/127.0.0.2"));
    QVERIFY(transfertest::writeAll(t.simData.path() + QStringLiteral("/127.0.0.2/F52.DAT"),
                                   (FormatRecord(a) + FormatRecord(b)).toLatin1() + "\r\n"));
    QVERIFY(t.serve({QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3")}));
    t.addScale(2, QStringLiteral("127.0.0.2"), 5);
    t.addScale(3, QStringLiteral("127.0.0.3"), 5);
    t.acceptPicker(0);
    QVERIFY(t.run(&TransferController::ReceiveFromScale));
    QVERIFY(t.popups.isEmpty());
    QCOMPARE(t.received.size(), 2);
    QCOMPARE(t.received[0].m_iFormatNo, qint16(3));
    QCOMPARE(t.received[1].m_iFormatNo, qint16(12));
    QVERIFY(t.received[1].m_arrFields[0].bUsed);
    for (const Label& doc : std::as_const(t.received))
        QCOMPARE(doc.m_iScaleModelIndex, qint16(5));
    QCOMPARE(t.leftovers(), QStringList());

    // A scale without data: "E2" opens nothing and reports nothing.
    t.received.clear();
    t.acceptPicker(1);
    QVERIFY(t.run(&TransferController::ReceiveFromScale));
    QVERIFY(t.received.isEmpty());
    QVERIFY(t.popups.isEmpty());
    QCOMPARE(t.leftovers(), QStringList());
}

QTEST_MAIN(TestE2ETransfer)
#include "test_e2e_transfer.moc"
