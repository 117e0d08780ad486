// Printing, picture export, the scale list's CSV buttons, the drawn toolbar
// pictures and the theme choice, driven through the main window.
#include "shelltestenv.h"
#include "app/commandicons.h"
#include "app/mainwindow.h"
#include "app/labelprint.h"
#include "app/theme.h"
#include "editor/documentwindow.h"
#include "render/labelpainter.h"
#include "scale/scalelistimport.h"
#include "scale/scalelistdialog.h"
#include "scale/scaledata.h"
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

using namespace quillon;
using namespace quillon::testing;

namespace {

// The first page's size in points from a PDF written by Qt ("/MediaBox [0 0 w h]").
QSizeF pdfMediaBox(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    if (!bytes.startsWith("%PDF-"))
        return {};
    static const QRegularExpression re(QStringLiteral(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])"));
    const auto m = re.match(QString::fromLatin1(bytes));
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

bool sameMillimetres(const QSizeF& points, double wMM, double hMM)
{
    const double k = 72.0 / 25.4;
    return qAbs(points.width() - wMM * k) < 0.5 && qAbs(points.height() - hMM * k) < 0.5;
}

int paintedPixels(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 0)
                ++n;
    return n;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

    ShellTestEnv env;
    std::unique_ptr<MainWindow> w;

    void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    // A document of the given size with a few fields placed.
    DocumentWindow* labelDocument(int wMM, int hMM)
    {
        DocumentWindow* doc = w->NewDocument(true);
        if (!doc)
            return nullptr;
        doc->label().m_iHoriRulerWidth = qint16(wMM);
        doc->label().m_iVertRulerHeight = qint16(hMM);
        for (int f = 0; f < qMin(3, int(env.ctx.tables.g_arrFieldDef.size())); ++f)
            doc->ToggleField(f);
        return doc;
    }

private slots:
    void initTestCase() { QVERIFY(env.setUp()); }
    void cleanupTestCase() { env.tearDown(); }

    void init()
    {
        env.fileAnswers.clear();
        env.fileRequests.clear();
        env.messageAnswers.clear();
        env.messages.clear();
        env.reporter.clear();
        w = std::make_unique<MainWindow>(env.ctx);
        QVERIFY(w->Form_Load());
        w->SetModelChooser([] { return 0; });
        w->show();
    }

    void cleanup() { DiscardWindow(w); }

    // Without a label there is nothing to print or export, from the menu or a shortcut.
    void commandsFollowTheDocument()
    {
        const QList<Cmd> cmds{Cmd::mnuFilePrintPreview, Cmd::mnuFilePrint, Cmd::mnuFileExportPdf,
                              Cmd::mnuFileExportPng};
        for (Cmd id : cmds) {
            QVERIFY(w->action(id));
            QVERIFY2(!w->action(id)->text().isEmpty(), "caption from the language table");
            QVERIFY(!w->action(id)->isEnabled());
            w->Execute(id);
        }
        QVERIFY(env.fileRequests.isEmpty());
        QVERIFY(env.reporter.entries.isEmpty());
        DocumentWindow* doc = w->NewDocument(true);
        QVERIFY(doc);
        for (Cmd id : cmds)
            QVERIFY(w->action(id)->isEnabled());
        doc->close();
        settle();
        w->Update();
        for (Cmd id : cmds)
            QVERIFY(!w->action(id)->isEnabled());
        QVERIFY(env.reporter.entries.isEmpty());
    }

    void exportPictures_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QString>("name");   // empty: the user cancels
        QTest::addColumn<float>("zoom");
        QTest::addColumn<bool>("written");
        QTest::newRow("pdf") << int(Cmd::mnuFileExportPdf) << QStringLiteral("label.pdf") << 1.0f << true;
        QTest::newRow("pdf at zoom keeps true size") << int(Cmd::mnuFileExportPdf) << QStringLiteral("z.pdf") << 3.0f << true;
        QTest::newRow("png at 100%") << int(Cmd::mnuFileExportPng) << QStringLiteral("label.png") << 1.0f << true;
        QTest::newRow("png at 250%") << int(Cmd::mnuFileExportPng) << QStringLiteral("big.png") << 2.5f << true;
        QTest::newRow("pdf cancelled") << int(Cmd::mnuFileExportPdf) << QString() << 1.0f << false;
        QTest::newRow("png cancelled") << int(Cmd::mnuFileExportPng) << QString() << 1.0f << false;
        QTest::newRow("pdf into a missing folder") << int(Cmd::mnuFileExportPdf) << QStringLiteral("no/such/x.pdf") << 1.0f << false;
        QTest::newRow("png into a missing folder") << int(Cmd::mnuFileExportPng) << QStringLiteral("no/such/x.png") << 1.0f << false;
    }

    void exportPictures()
    {
        QFETCH(int, cmd);
        QFETCH(QString, name);
        QFETCH(float, zoom);
        QFETCH(bool, written);
        DocumentWindow* doc = labelDocument(58, 40);
        QVERIFY(doc);
        doc->ApplyLabelScale(zoom);
        const bool modified = doc->IsModified();
        const QString path = name.isEmpty() ? QString() : env.path(name);
        if (!path.isEmpty())
            QFile::remove(path);
        env.fileAnswers << (name.isEmpty() ? std::nullopt : std::optional<QString>(path));
        w->Execute(Cmd(cmd));
        QCOMPARE(env.fileRequests.size(), 1);
        QVERIFY(env.fileRequests[0].save);
        QCOMPARE(QFileInfo::exists(path), written);
        // A failure is said once; a cancel says nothing.
        QCOMPARE(env.reporter.entries.size(), (!written && !name.isEmpty()) ? 1 : 0);
        QCOMPARE(doc->IsModified(), modified);
        if (!written)
            return;
        if (cmd == int(Cmd::mnuFileExportPdf)) {
            QVERIFY(sameMillimetres(pdfMediaBox(path), 58, 40));
        } else {
            QImage img(path);
            QVERIFY(!img.isNull());
            // As the canvas shows it at this zoom, and not a blank picture.
            const QImage expected = RenderLabelToImage(doc->label(), doc->m_sngLabelScale());
            QCOMPARE(img.size(), expected.size());
            QVERIFY(qAbs(img.width() - 1 - 58 * zoom * RenderScreenDpi() / 25.4) <= 1.0);
            int dark = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    dark += qGray(img.pixel(x, y)) < 128;
            QVERIFY(dark > 0);
        }
        // Nothing beside the file is left behind by the atomic save.
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList({name + QStringLiteral("*")}, QDir::Files).size(), 1);
    }

    void printAtTrueSize_data()
    {
        QTest::addColumn<int>("wMM");
        QTest::addColumn<int>("hMM");
        QTest::addColumn<bool>("preview");
        QTest::newRow("preview 58 x 40") << 58 << 40 << true;
        QTest::newRow("preview taller than wide") << 30 << 90 << true;
        QTest::newRow("print 58 x 40") << 58 << 40 << false;
        QTest::newRow("print 60 x 100") << 60 << 100 << false;
    }

    // The page the preview and the printer get is the label's own size, one page.
    void printAtTrueSize()
    {
        QFETCH(int, wMM);
        QFETCH(int, hMM);
        QFETCH(bool, preview);
        QVERIFY(labelDocument(wMM, hMM));
        const QString pdf = env.path(QStringLiteral("printed-%1x%2-%3.pdf").arg(wMM).arg(hMM).arg(preview));
        QFile::remove(pdf);
        int pages = -1;
        bool ran = false;
        if (preview) {
            w->SetPreviewRunner([&](QPrintPreviewDialog& dlg) {
                ran = true;
                auto* view = dlg.findChild<QPrintPreviewWidget*>();
                if (view) {
                    view->updatePreview();
                    pages = view->pageCount();
                }
                QPrinter* printer = dlg.printer();
                printer->setOutputFormat(QPrinter::PdfFormat);
                printer->setOutputFileName(pdf);
                emit dlg.paintRequested(printer);
            });
            w->Execute(Cmd::mnuFilePrintPreview);
            QCOMPARE(pages, 1);
        } else {
            w->SetPrintDialogRunner([&](QPrinter& printer) {
                ran = true;
                // The user picks another paper; the label still prints at its size.
                printer.setPageSize(QPageSize(QPageSize::A4));
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(pdf);
                return true;
            });
            w->Execute(Cmd::mnuFilePrint);
        }
        QVERIFY(ran);
        QVERIFY(env.reporter.entries.isEmpty());
        const QSizeF box = pdfMediaBox(pdf);
        QVERIFY2(sameMillimetres(box, wMM, hMM), qPrintable(QStringLiteral("%1 x %2 pt").arg(box.width()).arg(box.height())));
    }

    void printCancelledWritesNothing()
    {
        QVERIFY(labelDocument(58, 40));
        const QString pdf = env.path(QStringLiteral("cancelled.pdf"));
        w->SetPrintDialogRunner([&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return false;
        });
        w->Execute(Cmd::mnuFilePrint);
        QVERIFY(!QFileInfo::exists(pdf));
        QVERIFY(env.reporter.entries.isEmpty());
    }

    void labelWithoutSizeIsNotPrinted()
    {
        DocumentWindow* doc = labelDocument(58, 40);
        QVERIFY(doc);
        Label label = doc->label();
        label.m_iHoriRulerWidth = 0;
        QPrinter printer;
        QVERIFY(!SetUpPrinterForLabel(printer, label));
        doc->label().m_iVertRulerHeight = -5;
        bool ran = false;
        w->SetPrintDialogRunner([&](QPrinter&) { return ran = true; });
        w->Execute(Cmd::mnuFilePrint);
        QVERIFY(!ran);
        QCOMPARE(env.reporter.entries.size(), 1);
    }

    void csvButtons_data()
    {
        QTest::addColumn<QString>("csv");      // "{m}": a model name of the tables
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("icon");         // of the result message
        QTest::newRow("valid, duplicate, invalid")
            << QStringLiteral("Number,Address,Model\r\n11,127.0.0.11,{m}\r\n12,127.0.0.12,{m}\r\n"
                              "11,127.0.0.11,{m}\r\n5,300.1.2.5,{m}\r\n6,127.0.0.0,{m}\r\n")
            << 2 << 3 << int(QMessageBox::Warning);
        QTest::newRow("all valid") << QStringLiteral("Number,Address,Model\n21,127.0.0.21,{m}\n")
                                   << 1 << 0 << int(QMessageBox::Information);
        QTest::newRow("unknown model changes nothing")
            << QStringLiteral("Number,Address,Model\n31,127.0.0.31,{m}\n32,127.0.0.32,No Such Model\n")
            << 0 << 0 << int(QMessageBox::Critical);
        QTest::newRow("not csv changes nothing")
            << QStringLiteral("Number,Address,Model\n41,\"127.0.0.41,{m}\n") << 0 << 0 << int(QMessageBox::Critical);
        QTest::newRow("no header") << QStringLiteral("51,127.0.0.51,{m}\n") << 0 << 0 << int(QMessageBox::Critical);
    }

    // The user's path: scale list from the menu, Import CSV, then Export CSV.
    void csvButtons()
    {
        QFETCH(QString, csv);
        QFETCH(int, added);
        QFETCH(int, skipped);
        QFETCH(int, icon);
        QVERIFY(!env.ctx.tables.g_arrScaleModel.isEmpty());
        const QString model = env.ctx.tables.g_arrScaleModel.first().SCALE_NAME;
        csv.replace(QStringLiteral("{m}"), model);
        const QString in = env.path(QStringLiteral("scales-in.csv"));
        const QString out = env.path(QStringLiteral("scales-out.csv"));
        {
            QFile f(in);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(csv.toUtf8());
        }
        QFile::remove(out);
        const QList<ScaleRow> before = ListScales(env.ctx.db());
        env.fileAnswers << in << out;

        int rowsBefore = -1, rowsAfter = -1;
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<ScaleListDialog*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            seen = true;
            rowsBefore = dlg->lvwScale->topLevelItemCount();
            QTest::mouseClick(dlg->cmdImportCsv, Qt::LeftButton);
            rowsAfter = dlg->lvwScale->topLevelItemCount();
            QTest::mouseClick(dlg->cmdExportCsv, Qt::LeftButton);
            dlg->accept();
        });
        w->Execute(Cmd::mnuEditOption);
        QVERIFY(seen);
        QCOMPARE(rowsBefore, int(before.size()));
        QCOMPARE(rowsAfter, int(before.size()) + added);
        QCOMPARE(env.fileRequests.size(), 2);
        QVERIFY(!env.fileRequests[0].save);
        QVERIFY(env.fileRequests[1].save);
        QVERIFY(env.fileRequests[0].filter.contains(QLatin1String("*.csv")));

        // One message for the import, one for the export.
        QCOMPARE(env.messages.size(), 2);
        QCOMPARE(int(env.messages[0].icon), icon);
        if (icon != int(QMessageBox::Critical))
            QVERIFY(env.messages[0].text.startsWith(env.text("frmScaleConfig", "msgCsvImported").arg(added).arg(skipped)));
        else
            QVERIFY(env.messages[0].text.startsWith(env.text("frmScaleConfig", "msgCsvImportFailed")));
        QCOMPARE(int(env.messages[1].icon), int(QMessageBox::Information));

        // The exported file holds the list as it now stands, and reads back.
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString why;
        const auto records = ParseCsv(f.readAll(), &why);
        QVERIFY2(records, qPrintable(why));
        const QList<ScaleRow> now = ListScales(env.ctx.db());
        QCOMPARE(records->size(), now.size() + 1);
        QCOMPARE(int(now.size()), int(before.size()) + added);
        QSet<QString> exported;
        for (int i = 1; i < records->size(); ++i)
            exported.insert(records->at(i).value(1).toString());
        for (const ScaleRow& r : now)
            QVERIFY(exported.contains(r.SC_IP));

        // Leave the list as it was for the next row.
        for (const ScaleRow& r : now) {
            bool old = false;
            for (const ScaleRow& b : before)
                old = old || b.SC_IP == r.SC_IP;
            if (!old)
                DeleteScale(env.ctx.db(), r.SC_IP);
        }
    }

    void csvExportToMissingFolder()
    {
        env.fileAnswers << env.path(QStringLiteral("no/such/folder/scales.csv"));
        ScaleListDialog dlg(env.ctx);
        dlg.m_askCsvFile = [](QWidget* p, const QString& title, const QString& filter, bool save) {
            return AskFileName(p, {title, filter, save});
        };
        dlg.m_showResult = [](QWidget* p, QMessageBox::Icon i, const QString& t, const QString& text) {
            AskUser(p, i, t, text);
        };
        dlg.cmdExportCsv_Click();
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].icon, QMessageBox::Critical);
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("no/such/folder/scales.csv"))));
    }

    void icons_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<qreal>("dpr");
        const QList<std::pair<const char*, CommandIcon>> kinds{
            {"zoom in", CommandIcon::ZoomIn}, {"zoom out", CommandIcon::ZoomOut},
            {"send", CommandIcon::SendToScale}, {"receive", CommandIcon::ReceiveFromScale},
            {"scale list", CommandIcon::ScaleList}};
        for (const auto& [name, kind] : kinds)
            for (qreal dpr : {1.0, 2.0})
                QTest::addRow("%s at %g", name, dpr) << int(kind) << dpr;
    }

    // Drawn at the device's pixels: a 2x picture has four times the pixels, not blank.
    void icons()
    {
        QFETCH(int, kind);
        QFETCH(qreal, dpr);
        const QIcon icon = MakeCommandIcon(CommandIcon(kind));
        QVERIFY(!icon.isNull());
        const QPixmap pm = icon.pixmap(QSize(24, 24), dpr);
        QCOMPARE(pm.devicePixelRatio(), dpr);
        QCOMPARE(pm.size(), (QSizeF(24, 24) * dpr).toSize());
        const QImage img = pm.toImage();
        const int painted = paintedPixels(img);
        const int all = img.width() * img.height();
        QVERIFY2(painted > all / 10 && painted < all, qPrintable(QString::number(painted)));
        // Disabled looks different from normal.
        QVERIFY(icon.pixmap(QSize(24, 24), dpr, QIcon::Disabled).toImage() != img);
    }

    void iconsDiffer()
    {
        const QList<CommandIcon> kinds{CommandIcon::ZoomIn, CommandIcon::ZoomOut, CommandIcon::SendToScale,
                                       CommandIcon::ReceiveFromScale, CommandIcon::ScaleList};
        QList<QImage> seen;
        for (CommandIcon k : kinds) {
            const QImage img = MakeCommandIcon(k).pixmap(QSize(32, 32), 2.0).toImage();
            QVERIFY(!seen.contains(img));
            seen << img;
        }
        // The toolbar carries them.
        QVERIFY(w->action(Cmd::tlbZoomIn)->icon().pixmap(QSize(24, 24), 2.0).toImage()
                == MakeCommandIcon(CommandIcon::ZoomIn).pixmap(QSize(24, 24), 2.0).toImage());
    }

    void themeChoice_data()
    {
        QTest::addColumn<QString>("quillonTheme");
        QTest::addColumn<QString>("gtkTheme");
        QTest::addColumn<bool>("dark");
        QTest::newRow("asked dark") << QStringLiteral("dark") << QString() << true;
        QTest::newRow("asked light over a dark desktop") << QStringLiteral("light") << QStringLiteral("Adwaita:dark") << false;
        QTest::newRow("dark desktop") << QString() << QStringLiteral("Adwaita:dark") << true;
        QTest::newRow("light desktop") << QString() << QStringLiteral("Adwaita") << false;
    }

    void themeChoice()
    {
        QFETCH(QString, quillonTheme);
        QFETCH(QString, gtkTheme);
        QFETCH(bool, dark);
        const QByteArray oldQ = qgetenv("QUILLON_THEME"), oldG = qgetenv("GTK_THEME");
        qputenv("QUILLON_THEME", quillonTheme.toUtf8());
        qputenv("GTK_THEME", gtkTheme.toUtf8());
        const bool got = WantsDarkTheme();
        qputenv("QUILLON_THEME", oldQ);
        qputenv("GTK_THEME", oldG);
        QCOMPARE(got, dark);
    }

    // Text stays readable on the dark palette's backgrounds.
    void darkPaletteContrast()
    {
        const QPalette p = DarkPalette();
        QVERIFY(p.color(QPalette::Window).lightness() < 100);
        QVERIFY(p.color(QPalette::WindowText).lightness() - p.color(QPalette::Window).lightness() > 120);
        QVERIFY(p.color(QPalette::Text).lightness() - p.color(QPalette::Base).lightness() > 120);
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
