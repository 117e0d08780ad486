// Receive and send through the transfer code, the program's own picker, the real driver and
// the scale simulator on loopback.
#include "scaletestenv.h"

#include "model/datafile.h"
#include "model/f52data.h"
#include "model/f56f61data.h"
#include "model/label.h"
#include "scale/scalepickerdialog.h"

#include <QSignalSpy>
#include <QTreeWidget>

using namespace quillon;
using namespace quillon::scaletest;
using transfertest::readAll;

class TestE2ETransfer : public QObject {
    Q_OBJECT
private slots:
    void receiveThenSend();
};

void TestE2ETransfer::receiveThenSend()
{
    TransferHarness t;
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
        r.iTextLine = 2;
        r.strText[1] = QStringLiteral("Fresh bread %1").arg(i);
        r.strText[2] = QStringLiteral("Line two");
    }
    QList<Label> received;
    t.cb.exportFormatData = [&](const QString& path) { return bool(ExportFormatData(label, path)); };
    t.cb.exportTextData = [&](const QString& path, int type) { return bool(ExportTextData(label, path, type)); };
    t.cb.importReceivedData = [&](const QString& f, const QString& text, const QString& shop, int model) {
        QByteArray line;
        QVERIFY(ReadFirstLine(f, &line));
        for (const QString& record : SplitFormatRecords(QString::fromLatin1(line))) {
            Label doc(t.ctx.tables);
            doc.m_iScaleModelIndex = qint16(model);
            QVERIFY(ImportFormatData(doc, record));
            QVERIFY(text.isEmpty() || ImportTextData(doc, text, FT_TEXT));
            QVERIFY(shop.isEmpty() || ImportTextData(doc, shop, FT_SHOPNAME));
            received << doc;
        }
    };
    t.cb.pickScales = nullptr;
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
    QVERIFY(QDir().mkpath(data.filePath("127.0.3.2")));
    const QByteArray two = (FormatRecord(a) + FormatRecord(b)).toLatin1() + "\r\n";
    QVERIFY(transfertest::writeAll(data.filePath("127.0.3.2/F52.DAT"), two));
    transfertest::SimProcess sim;
    QVERIFY(sim.start({"127.0.3.1", "127.0.3.2", "127.0.3.3:refuse"}, data.path()));
    qputenv("QUILLON_SCALE_PORT", QByteArray::number(sim.port()));
    const QStringList list{"../../outside", "127.0.3.1", "127.0.3.2", "127.0.3.3", "-rf"};
    for (int i = 0; i < list.size(); ++i)
        t.addScale(i + 1, list[i], 5);
    accept(2);
    QVERIFY(t.run(&TransferController::ReceiveFromScale));
    QVERIFY(t.popups.isEmpty());
    QCOMPARE(received.size(), 2);
    QCOMPARE(received[0].m_iFormatNo, qint16(3));
    QCOMPARE(received[1].m_iFormatNo, qint16(12));
    QVERIFY(received[1].m_arrFields[0].bUsed);
    QCOMPARE(received[1].m_iScaleModelIndex, qint16(5));
    QCOMPARE(t.leftovers(), QStringList());

    // Send to every scale of the list; a result left over from before must not count.
    QVERIFY(transfertest::writeAll(t.ctl->ResultFile(), "127.0.3.3:0"));
    QSignalSpy busy(t.ctl.get(), &TransferController::busyChanged);
    QSignalSpy progress(t.ctl.get(), &TransferController::progressChanged);
    accept(-1);
    t.ctl->SendToScales();
    QVERIFY(t.ctl->busy());
    // A second command while one runs is not started.
    t.ctl->SendToScales();
    t.ctl->ReceiveFromScale();
    QVERIFY(QTest::qWaitFor([&] { return !t.ctl->busy(); }, 40000));
    qunsetenv("QUILLON_SCALE_PORT");
    QCOMPARE(busy.size(), 2);
    QCOMPARE(progress.last().mid(0, 2), (QVariantList{9, 9}));
    const QString failures = t.line(list[3], 2) + t.line(list[0], 6) + t.line(list[4], 6);
    QCOMPARE(t.popups.size(), 1);
    QCOMPARE(t.popups[0].message, t.sendReport(QStringList(3, failures)));
    for (int type : {52, 56, 61}) {
        const QString path = t.tmp.filePath("expected.dat");
        QVERIFY(type == 52 ? ExportFormatData(label, path)
                           : ExportTextData(label, path, type == 56 ? FT_TEXT : FT_SHOPNAME));
        QVERIFY(readAll(path).size() > 4);
        QCOMPARE(readAll(data.filePath(QStringLiteral("127.0.3.1/F%1.DAT").arg(type))), readAll(path));
        QCOMPARE(readAll(data.filePath(QStringLiteral("127.0.3.2/F%1.DAT").arg(type))), readAll(path));
    }
    QCOMPARE(t.leftovers(), QStringList());
    QVERIFY(!QFileInfo::exists(t.tmp.filePath("root/outsideF52.DAT")));
    QVERIFY(!QFileInfo::exists(t.tmp.filePath("outsideF52.DAT")));
}

QTEST_MAIN(TestE2ETransfer)
#include "test_e2e_transfer.moc"
