// The main window driven as its user drives it, offscreen, with scripted answers for
// every dialog: documents and their files, the editor panes, transfers, printing,
// picture export, the scale list's CSV buttons, the toolbar pictures and the theme.
#include "app/aboutbox.h"
#include "app/commandicons.h"
#include "app/labeltypedialog.h"
#include "app/mainwindow.h"
#include "app/recentfiles.h"
#include "app/theme.h"
#include "app/zoom.h"
#include "context/appcontext.h"
#include "editor/documentwindow.h"
#include "editor/fieldpalette.h"
#include "editor/labelview.h"
#include "editor/prompts.h"
#include "editor/propertygrid.h"
#include "model/f52data.h"
#include "model/qlffile.h"
#include "platform/csv.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/ini.h"
#include "platform/placement.h"
#include "render/labelpainter.h"
#include "scale/scaledata.h"
#include "scale/scalelistdialog.h"
#include "scale/transfer.h"
#include <QtPrintSupport>
#include <QtTest>
#include <QtWidgets>
#include <algorithm>

using namespace quillon;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Types into the text editor that the next command opens and closes it with OK or Cancel.
void answerTextEditor(const QString& text, bool ok)
{
    QTimer::singleShot(0, [text, ok] {
        QWidget* dlg = QApplication::activeModalWidget();
        dlg->findChild<QLineEdit*>("txtContents")->setText(text);
        dlg->findChild<QPushButton*>(ok ? "cmdOK" : "cmdCancel")->click();
    });
}

// Whether a PDF written by Qt has a first page ("/MediaBox [0 0 w h]", points) of this size.
bool pdfPageIs(const QString& path, double wMM, double hMM)
{
    QFile f(path);
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    static const QRegularExpression re(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])");
    const auto m = re.match(QString::fromLatin1(bytes));
    const double k = 72.0 / 25.4;
    return bytes.startsWith("%PDF-") && qAbs(m.captured(1).toDouble() - wMM * k) < 0.5
           && qAbs(m.captured(2).toDouble() - hMM * k) < 0.5;
}

template <class Pred> int countPixels(const QImage& img, Pred pred)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += pred(img.pixel(x, y));
    return n;
}

struct ClosePromptRow {
    QString edit;   // palette, resize, delete, none
    bool byMainWindow;
    int answer;     // 0: not asked
    bool giveName, closed, saved;
};

} // namespace
Q_DECLARE_METATYPE(ClosePromptRow)

class TestFrmMain : public QObject {
    Q_OBJECT

    // A runtime tree of the test's own and scripted answers for every dialog.
    QTemporaryDir tmp;
    QString programDir = tmp.path() + "/root/bin/";
    RecordingReporter reporter;   // before ctx: it outlives the context's last report
    AppContext ctx;
    std::unique_ptr<MainWindow> w;
    QQueue<std::optional<QString>> fileAnswers;   // nullopt: the user cancels
    QList<FileRequest> fileRequests;
    QQueue<QMessageBox::StandardButton> messageAnswers;   // empty: the default button
    QList<std::pair<QMessageBox::Icon, QString>> messages;
    static constexpr int kField = 0;   // the catalogue's first field: every label can show it

    QString text(const char* section, const char* key) { return ctx.db().GetLangString(section, key); }
    QString path(const QString& name) const { return tmp.filePath(name); }
    bool openWindow()
    {
        w = std::make_unique<MainWindow>(ctx);
        w->SetModelChooser([] { return 0; });
        const bool loaded = w->Form_Load();
        w->show();
        return loaded;
    }
    // Closes the documents without the save prompt and forgets what the dialogs saw.
    void reset()
    {
        for (DocumentWindow* d : w->documents()) {
            d->label().m_bModified = false;
            d->close();
        }
        settle();
        fileAnswers.clear();
        fileRequests.clear();
        messageAnswers.clear();
        messages.clear();
        reporter.clear();
    }
    int fieldOfType(int type) const
    {
        const auto& defs = ctx.tables.g_arrFieldDef;
        for (int i = 0; i < defs.size(); ++i)
            if (defs[i].FieldType == type)
                return i;
        return -1;
    }
    void expectEnabled(const QList<Cmd>& ids, bool on)
    {
        for (Cmd id : ids)
            QVERIFY2(w->action(id)->isEnabled() == on, qPrintable(QString::number(int(id))));
    }

private slots:
    void initTestCase()
    {
        const QString src = QUILLON_SOURCE_DIR "/data/";
        QDir().mkpath(programDir);
        for (const QString& f : QDir(src + "program").entryList(QDir::Files))
            QFile::copy(src + "program/" + f, programDir + f);
        QFile::copy(src + "root/Vexo2005.INI", path("root/Vexo2005.INI"));
        QFile::setPermissions(path("root/Vexo2005.INI"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        qputenv("QUILLON_PROGRAM_DIR", programDir.toUtf8());
        SetPlacementStoreFile(path("placement.ini"));
        SetRecentFilesStoreFile(path("recent.ini"));
        SetErrorReporter(&reporter);
        SetFileNameProvider([this](QWidget*, const FileRequest& r) -> std::optional<QString> {
            fileRequests << r;
            return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
        });
        SetMessageProvider([this](QWidget*, QMessageBox::Icon icon, const QString&, const QString& text,
                                  QMessageBox::StandardButtons buttons) {
            messages << std::pair(icon, text);
            if (!messageAnswers.isEmpty())
                return messageAnswers.dequeue();
            return (buttons & QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Cancel;
        });
        QVERIFY(tmp.isValid() && ctx.InitApplication(programDir) && ctx.tables.g_arrScaleModel.size() >= 2);
        SetTextLookup([this](const QString& s, const QString& k) { return ctx.db().GetLangString(s, k); });
    }
    void init() { QVERIFY(openWindow()); }
    void cleanup()
    {
        reset();
        w.reset();
    }

    // Commands on a label are off without one and do nothing from a shortcut; undo
    // and redo follow the edits; the panes and the status bar toggle.
    void commandsFollowTheDocument()
    {
        const QList<Cmd> output{Cmd::mnuFilePrintPreview, Cmd::mnuFilePrint, Cmd::mnuFileExportPdf,
                                Cmd::mnuFileExportPng};
        const QList<Cmd> needDoc = output + QList<Cmd>{Cmd::mnuFileClose, Cmd::mnuFileSave, Cmd::mnuFileSaveAs,
                                                       Cmd::mnuFileExport, Cmd::mnuSendToScale, Cmd::tlbZoomOut,
                                                       Cmd::tlbZoomIn, Cmd::tlbZoomComboBox};
        const auto undoRedo = [this](bool undo, bool redo) {
            expectEnabled({Cmd::mnuEditUndo}, undo);
            expectEnabled({Cmd::mnuEditRedo}, redo);
        };
        w->Update();
        expectEnabled(needDoc, false);
        undoRedo(false, false);
        expectEnabled({Cmd::mnuFileNew, Cmd::mnuFileOpen, Cmd::mnuFileImport, Cmd::mnuSendReceive,
                       Cmd::mnuEditOption, Cmd::mnuHelpAbout}, true);
        for (Cmd id : output + QList<Cmd>{Cmd::mnuFileImportText, Cmd::mnuFileImportShopname}) {
            QVERIFY2(!w->action(id)->text().isEmpty(), "caption from the language table");
            w->Execute(id);
        }
        QVERIFY(fileRequests.isEmpty() && reporter.entries.isEmpty() && w->documents().isEmpty());
        for (Cmd id : {Cmd::mnuViewStatusBar, Cmd::panPLUFields, Cmd::panProperty}) {
            w->Execute(id);
            QVERIFY2(!w->action(id)->isChecked(), qPrintable(QString::number(int(id))));
            w->Execute(id);
            QVERIFY(w->action(id)->isChecked());
        }

        DocumentWindow* doc = w->NewDocument(true);
        expectEnabled(needDoc, true);
        undoRedo(false, false);
        QCOMPARE(w->zoomBox()->currentText(), "250%");
        doc->ToggleField(kField);
        undoRedo(true, false);
        w->Execute(Cmd::mnuEditUndo);
        QVERIFY(!doc->label().m_arrFields[kField].bUsed);
        undoRedo(false, true);
        w->Execute(Cmd::mnuEditRedo);
        QVERIFY(doc->label().m_arrFields[kField].bUsed);
        reset();
        w->Update();
        expectEnabled(needDoc, false);
    }

    // The zoom commands on a real document: the zoom it ends at and what the box shows.
    void zoom()
    {
        const std::tuple<float, const char*, int> rows[] = {   // "+" or "-": the toolbar buttons; else typed
            {1.0f, "-", 90}, {4.9f, "+", 500}, {5.0f, "+", 500}, {0.6f, "-", 50}, {0.5f, "-", 50},
            {2.5f, "+", 260}, {1.0f, "125", 120}, {1.0f, "135", 140},   // halves round to even
            {1.0f, "20%", 50}, {1.0f, "abc", 50}, {1.0f, "120%", 120}, {1.0f, "1e30", 500}, {1.0f, "-300", 50}};
        for (const auto& [scale, input, percent] : rows) {
            DocumentWindow* doc = w->NewDocument(true);
            doc->ApplyLabelScale(scale);
            if (QString(input) == "+" || QString(input) == "-") {
                w->Execute(QString(input) == "-" ? Cmd::tlbZoomOut : Cmd::tlbZoomIn);
            } else {
                w->zoomBox()->setEditText(input);
                w->Execute(Cmd::tlbZoomComboBox);
            }
            const QString shown = QString::number(percent) + '%';
            QVERIFY2(qRound(doc->m_sngLabelScale() * 100) == percent, input);
            QVERIFY2(w->zoomBox()->currentText() == shown && ZoomBoxText(doc->m_sngLabelScale()) == shown, input);
        }
    }

    // The choice is stored for the next start; the interface stays on the running language.
    void languageChoice()
    {
        const QString before = ctx.tables.g_strLanguage;
        w->Execute(Cmd::mnuID_VIEW_LANGUAGE_CHINESE);
        QCOMPARE(ReadIniString("Setting", "Language", ctx.paths.g_strIniFile), "Chinese");
        QVERIFY(messages.size() == 1 && messages[0].second == text("frmMain", "msgAvailableNextStart"));
        QCOMPARE(ctx.tables.g_strLanguage, before);
        QCOMPARE(w->action(Cmd::mnuID_VIEW_LANGUAGE_CHINESE)->isChecked(), before == "Chinese");
        QCOMPARE(w->action(Cmd::mnuID_VIEW_LANGUAGE_ENGLISH)->isChecked(), before == "English");
        WriteIniString("Setting", "Language", before, ctx.paths.g_strIniFile);
    }

    // The stored width, or the default one for a value that is no number; never narrower than
    // the window's minimum, which keeps the toolbar whole. Closing stores the size again.
    void placement()
    {
        for (const auto& [width, twips] : {std::pair("15000", 15000), {"wide", 6500}, {"", 6500}}) {
            reset();
            w.reset();
            QSettings(path("placement.ini"), QSettings::IniFormat).setValue("Settings/MainWidth", width);
            QVERIFY(openWindow());
            const double dpi = w->screen()->logicalDotsPerInch();
            QCOMPARE(w->width(), qMax(qRound(twips * dpi / 1440.0), w->minimumWidth()));
            w->resize(1000, 700);
            w->close();
            QVERIFY(openWindow());
            QCOMPARE(w->size(), QSize(1000, 700));
        }
    }

    void newCaptions()
    {
        const long start = w->m_lNewDocumentCount;
        w->SetModelChooser([] { return 1; });
        DocumentWindow* a = w->NewDocument(true);
        // The new window opens inside the visible part of the area.
        QVERIFY(w->mdiArea()->viewport()->rect().contains(a->geometry()));
        DocumentWindow* b = w->NewDocument(true);
        QCOMPARE(a->Caption(), QString("Quillon %1").arg(start + 1));
        QCOMPARE(b->Caption(), QString("Quillon %1").arg(start + 2));
        QCOMPARE(int(b->label().m_iScaleModelIndex), 1);
        a->close();
        settle();
        QCOMPARE(w->NewDocument(true)->Caption(), QString("Quillon %1").arg(start + 3));
        // Without scale models there is nothing to choose: a message, no window.
        const auto models = ctx.tables.g_arrScaleModel;
        ctx.tables.g_arrScaleModel.clear();
        QVERIFY(!w->NewDocument(true));
        ctx.tables.g_arrScaleModel = models;
        QCOMPARE(w->documents().size(), 2);
        QCOMPARE(messages.value(0).second, text("frmMain", "msgNoScaleModel"));
    }

    // Save, Save As and Open from the menu, a drop of files, and the window list.
    void filesAndWindows()
    {
        const QString p1 = path("flow1.QLF"), p2 = path("flow2.QLF");
        DocumentWindow* doc = w->NewDocument(true);
        doc->ToggleField(kField);
        fileAnswers << p1 << std::nullopt << p2;
        w->Execute(Cmd::mnuFileSave);
        QVERIFY(fileRequests.size() == 1 && fileRequests[0].title == "Save" && fileRequests[0].save);
        QVERIFY(QFile::exists(p1) && doc->Caption() == p1 && !doc->IsModified());
        // Titled now: the next save asks nothing.
        QFile::remove(p1);
        w->Execute(Cmd::mnuFileSave);
        QVERIFY(fileRequests.size() == 1 && QFile::exists(p1));
        // Save As cancelled changes nothing.
        w->Execute(Cmd::mnuFileSaveAs);
        QVERIFY(fileRequests.last().title == "Save As" && doc->Caption() == p1 && !QFile::exists(p2));
        w->Execute(Cmd::mnuFileSaveAs);
        QVERIFY(doc->Caption() == p2 && QFile::exists(p2) && RecentFiles().value(0) == p2);

        // Open with no document makes one; open with one reads into it.
        const Label saved = doc->label();
        doc->close();
        settle();
        fileAnswers << p2 << p1;
        w->Execute(Cmd::mnuFileOpen);
        DocumentWindow* opened = w->activeDocument();
        QVERIFY(w->documents().size() == 1 && opened->Caption() == p2 && !opened->IsModified());
        QCOMPARE(opened->label().m_arrFields, saved.m_arrFields);
        w->Execute(Cmd::mnuFileOpen);
        QVERIFY(w->documents().size() == 1 && opened->Caption() == p1);

        // A label file and a data file dropped on the window open beside it.
        Label l(ctx.tables);
        l.m_iFormatNo = 7;
        const QString qlf = path("dropped.qlf"), f52 = path("dropped52.DAT");
        QVERIFY(quillon::SaveToFile(l, qlf).ok);
        writeFile(f52, FormatRecord(l).toLatin1() + "\r\n");
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(qlf), QUrl::fromLocalFile(f52)});
        // The drop goes to the widget that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &drop);
        const QList<DocumentWindow*> docs = w->documents();
        QVERIFY(docs.size() == 3 && docs[1]->Caption() == qlf && docs[2]->label().m_iFormatNo == 7);
        QCOMPARE(RecentFiles().value(0), qlf);

        // The window menu lists them, refilled and not appended to each time it opens.
        auto* menu = w->findChild<QMenu*>("mnuWindow");
        const auto entries = [menu] {
            QList<QAction*> list;
            emit menu->aboutToShow();
            for (QAction* act : menu->actions())
                if (act->data().toInt() == int(Cmd::mnuWindowList))
                    list << act;
            return list;
        };
        const QList<QAction*> listed = entries();
        QVERIFY(listed.size() == 3 && listed[0]->text().endsWith(p1) && listed[2]->isChecked());
        listed[0]->trigger();
        QCOMPARE(w->activeDocument(), opened);
        QCOMPARE(entries().size(), 3);
    }

    // A file that cannot be read leaves the document as it was: reported, or the
    // format message for another program's file.
    void corruptFileKeepsDocument()
    {
        Label other(ctx.tables);   // cut from a valid file of another label
        other.m_iFormatNo = 42;
        for (int i = 0; i < other.fieldCount(); ++i)
            other.m_arrFields[i].bUsed = true;
        const QList<QByteArray> lines = FormatFileBytes(other).split('\n');
        const int half = 4 + other.fieldCount() / 2;
        const std::pair<QByteArray, int> rows[] = {   // 1 the format message, 0 a reported error, -1 either
            {{}, 0}, {"\"Other Program\",0,1\r\n", 1}, {lines.mid(0, 4).join('\n') + '\n', 0},
            {lines.mid(0, half).join('\n') + '\n' + lines.value(half).left(20), 0},
            {QByteArray("\x01\x02\xff\xfe\x00zz", 7), -1}};
        const QString file = path("broken.QLF");
        for (const auto& [content, formatError] : rows) {
            reset();
            QFile::remove(file);
            if (!content.isEmpty())
                writeFile(file, content);
            DocumentWindow* doc = w->NewDocument(true);
            doc->ToggleField(kField);
            const Label before = doc->label();
            const QString caption = doc->Caption();
            QVERIFY2(!doc->OpenFromFile(file), content.left(30));
            QVERIFY(doc->label() == before && doc->Caption() == caption && doc->IsModified());
            if (formatError < 0)
                QCOMPARE(messages.size() + reporter.entries.size(), 1);
            else if (formatError)
                QVERIFY(messages.value(0) == std::pair(QMessageBox::Critical, text("Global", "msgFormatFileError")));
            else
                QVERIFY2(reporter.hasSource("OpenFromFile"), content.left(30));
        }
    }

    void closePrompt_data()
    {
        QTest::addColumn<ClosePromptRow>("row");
        const int yes = QMessageBox::Yes, no = QMessageBox::No, cancel = QMessageBox::Cancel;
        QTest::newRow("unmodified closes silently") << ClosePromptRow{"none", false, 0, false, true, false};
        QTest::newRow("palette, Yes, named") << ClosePromptRow{"palette", false, yes, true, true, true};
        QTest::newRow("palette, Yes, name dialog cancelled") << ClosePromptRow{"palette", false, yes, false, false, false};
        QTest::newRow("palette, No") << ClosePromptRow{"palette", false, no, false, true, false};
        QTest::newRow("palette, Cancel") << ClosePromptRow{"palette", false, cancel, false, false, false};
        QTest::newRow("handle resize, Cancel") << ClosePromptRow{"resize", false, cancel, false, false, false};
        QTest::newRow("handle resize, No") << ClosePromptRow{"resize", false, no, false, true, false};
        QTest::newRow("Delete key, Cancel") << ClosePromptRow{"delete", false, cancel, false, false, false};
        QTest::newRow("Delete key, Yes") << ClosePromptRow{"delete", false, yes, true, true, true};
        QTest::newRow("main window, Cancel keeps running") << ClosePromptRow{"palette", true, cancel, false, false, false};
    }

    void closePrompt()
    {
        QFETCH(ClosePromptRow, row);
        const QString file = path("prompt.QLF");
        QFile::remove(file);
        DocumentWindow* doc = w->NewDocument(true);
        FieldRecord& rec = doc->label().m_arrFields[kField];
        if (row.edit == "palette") {
            emit w->m_frmToolbox->itemClicked(kField);
            QVERIFY(rec.bUsed);
        } else if (row.edit == "delete") {
            rec.bUsed = true;
            doc->SelectField(kField);
            doc->label().m_bModified = false;
            QTest::keyClick(doc->labelView()->findChild<QWidget*>("picCanvas"), Qt::Key_Delete);
            QVERIFY(!rec.bUsed);
        } else if (row.edit == "resize") {
            rec.bUsed = true;
            emit doc->labelView()->fieldEdited(kField);   // what the canvas reports when a handle drag ends
        }
        QCOMPARE(doc->IsModified(), row.edit != "none");
        const QString caption = doc->Caption();
        if (row.answer)
            messageAnswers << QMessageBox::StandardButton(row.answer);
        if (row.answer == QMessageBox::Yes)
            fileAnswers << (row.giveName ? std::optional<QString>(file) : std::nullopt);
        QPointer<DocumentWindow> guard(doc);
        if (row.byMainWindow)
            QCOMPARE(w->close(), row.closed);
        else
            w->Execute(Cmd::mnuFileClose);
        settle();
        QCOMPARE(messages.size(), row.answer ? 1 : 0);
        if (row.answer)
            QCOMPARE(messages[0].second, text("frmDocument", "msgWantQuit") + " \"" + caption + "\"?");
        QVERIFY(guard.isNull() == row.closed && QFile::exists(file) == row.saved);
        QVERIFY(row.closed || (guard->IsModified() && w->isVisible()));
    }

    // Each record of a received format file opens as a new untitled label; a damaged
    // or oversized file keeps what could be read and is reported.
    void importFormat()
    {
        const std::tuple<QString, int, bool> rows[] = {{"three", 3, false}, {"E2", 0, false}, {"", 0, false},
                                                       {"missing", 0, true}, {"cut", 2, true}, {"many", 99, true}};
        for (const auto& [kind, windows, reported] : rows) {
            reset();
            QString line;
            for (int n = 1; n <= (kind == "many" ? 120 : 3); ++n) {
                Label l(ctx.tables);
                l.m_iFormatNo = qint16(10 + n % 80);
                l.m_arrFields[0].bUsed = true;
                line += FormatRecord(l);
            }
            if (kind == "cut")
                line.chop(10);
            else if (kind.isEmpty() || kind == "E2")
                line = kind;
            const QString file = path("F52.DAT");
            QFile::remove(file);
            if (kind != "missing")
                writeFile(file, line.toLatin1() + "\r\n");
            fileAnswers << file;
            w->Execute(Cmd::mnuFileImportFormat);
            QCOMPARE(fileRequests.value(0).title, text("frmMain", "msgImportFormatFrom"));
            const QList<DocumentWindow*> docs = w->documents();
            QVERIFY2(docs.size() == windows && reporter.hasSource("ImportReceivedData") == reported, qPrintable(kind));
            for (int i = 0; i < docs.size(); ++i)
                QVERIFY(docs[i]->label().m_iFormatNo == 10 + (i + 1) % 80 && docs[i]->IsModified()
                        && docs[i]->IsUntitled());
        }
    }

    void missingToolsSaySo()
    {
        w->Execute(Cmd::mnuEditMorviBarcode);
        QVERIFY(messages.size() == 1 && messages[0].second.startsWith(text("frmMain", "msgToolNotInstalled")));
        AboutBox about(w.get());
        QCOMPARE(about.cmdSysInfo->isEnabled(), !AboutBox::SystemInfoTool().isEmpty());
    }

    // While the driver runs, nothing may start a second transfer or close the label
    // being sent; everything comes back when it has ended, and no exchange file stays.
    void transferLocksTheWindow()
    {
        const QString driver = programDir + "vexowtcp";
        writeFile(driver, "#!/bin/sh\nsleep 0.4\nshift 2\nout=\"\"\nfor a in \"$@\"; do out=\"$out$a:0;\"; done\n"
                          "printf '%s' \"${out%;}\" > result\n");
        QFile::setPermissions(driver, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        w->SetScalePicker([](bool multi) { return std::make_pair(!multi, QStringLiteral("127.0.0.2;127.0.0.3")); });
        w->Execute(Cmd::mnuFileNew);
        DocumentWindow* doc = w->activeDocument();
        w->Execute(Cmd::mnuSendToScale);
        QVERIFY(w->transfer()->busy());
        expectEnabled({Cmd::mnuSendToScale, Cmd::mnuSendReceive}, false);
        QVERIFY(!doc->close() && !w->close() && w->documents().size() == 1);

        QTRY_VERIFY_WITH_TIMEOUT(!w->transfer()->busy(), 20000);
        expectEnabled({Cmd::mnuSendToScale, Cmd::mnuSendReceive}, true);
        QVERIFY(w->transfer()->lastReport().contains(text("frmMain", "msgAllSuccessful")));
        const QStringList left = QDir(programDir).entryList({"SM*", "~tmp*"});
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u',')));
        QFile::remove(driver);
    }

    // Characters the code page cannot hold become "?" in the file: the user is asked first.
    void unstorableTextWarns()
    {
        if (ctx.tables.m_iAnsiCodepage == 936)
            QSKIP("the workstation code page holds these characters");
        const QString foreign = "Price \u6F22\u5B57";   // no single-byte page holds these
        const int no = QMessageBox::No, yes = QMessageBox::Yes;
        const std::tuple<QString, bool, int> rows[] = {   // text, save (else the text export), answer (0: not asked)
            {"Fresh bread", true, 0}, {foreign, true, no}, {foreign, true, yes}, {foreign, false, no},
            {foreign, false, yes}};
        for (const auto& [content, save, answer] : rows) {
            reset();
            DocumentWindow* doc = w->NewDocument(true);
            FieldRecord& rec = doc->label().m_arrFields[fieldOfType(FT_TEXT)];
            rec.bUsed = true;
            rec.iTextLine = 1;
            rec.strText[1] = content;
            const QString file = path(QString("warn%1%2.%3").arg(answer).arg(save).arg(save ? "QLF" : "DAT"));
            fileAnswers << file;
            if (answer)
                messageAnswers << QMessageBox::StandardButton(answer);
            w->Execute(save ? Cmd::mnuFileSave : Cmd::mnuFileExportText);
            QCOMPARE(messages.size(), answer ? 1 : 0);
            QVERIFY(!answer || (messages[0].first == QMessageBox::Warning && messages[0].second.contains(QChar(0x6F22))));
            const bool written = answer != QMessageBox::No;
            QVERIFY2(QFile::exists(file) == written && (doc->Caption() == file) == (written && save), qPrintable(file));
        }
    }

    // Without the character sizes or the catalogue no label can be drawn: the
    // window reports the file and the program ends.
    void loadEndsOnMissingFiles()
    {
        for (const auto& [remove, folderInstead] : {std::pair("FieldFont.dsc", false), {"FormatField.*.dsc", false},
                                                    {"FieldFont.dsc", true}}) {
            QTemporaryDir dir;
            const QString bin = dir.filePath("bin/");
            QDir().mkpath(folderInstead ? bin + remove : bin);
            for (const QString& f : QDir(programDir).entryList(QDir::Files))
                if (!QDir::match(remove, f))
                    QFile::copy(programDir + f, bin + f);
            QFile::copy(path("root/Vexo2005.INI"), dir.filePath("Vexo2005.INI"));
            AppContext other;
            QVERIFY(other.InitApplication(bin));
            reporter.clear();
            QVERIFY(!MainWindow(other).Form_Load());
            const QString reported = reporter.entries.value(0).source + reporter.entries.value(0).description;
            QVERIFY2(reported.contains(QString(remove).section(u'*', 0, 0)), qPrintable(reported));
        }
    }

    // A label with every field type, built only through the palette, the grid and the
    // text editor, saved and exported, opens again as the same label.
    void labelFromPanesRoundTrips()
    {
        const Tables& t = ctx.tables;
        DocumentWindow* doc = w->NewDocument(true);
        QSet<int> types;
        for (int i = 0; i < t.g_arrFieldDef.size(); ++i) {
            emit w->m_frmToolbox->itemClicked(i);
            QVERIFY(doc->label().m_arrFields[i].bUsed && doc->label().m_iSelected == i);
            types.insert(t.g_arrFieldDef[i].FieldType);
            // Through the grid, as the user types: a position in mm and a size in dots.
            emit w->m_frmProperty->propertyChanged(PROP_X, "2.5");
            emit w->m_frmProperty->propertyChanged(PROP_HEIGHT_DOT, "40");
            QCoreApplication::processEvents();
            if (t.g_arrFieldDef[i].FieldType == FT_TEXT || t.g_arrFieldDef[i].FieldType == FT_SHOPNAME) {
                answerTextEditor("Cr\u00e8me br\u00fbl\u00e9e, 100 g", true);
                emit doc->labelView()->editTextRequested(i);
                QCOMPARE(int(doc->label().m_arrFields[i].iTextLine), 1);
            }
        }
        QVERIFY(types.size() == 12 && doc->label().m_arrFields[0].sngX == 2.5f);

        fileAnswers << path("panes.QLF") << path("panes52.DAT") << path("panes56.DAT") << path("panes61.DAT");
        w->Execute(Cmd::mnuFileSave);
        w->Execute(Cmd::mnuFileExportAll);
        for (const char* f : {"panes.QLF", "panes52.DAT", "panes56.DAT", "panes61.DAT"})
            QVERIFY2(QFileInfo(path(f)).size() > 2, f);
        DocumentWindow* again = w->NewDocument(false);
        QVERIFY(again->OpenFromFile(path("panes.QLF")) && !again->IsModified());
        QCOMPARE(again->label().m_arrFields, doc->label().m_arrFields);
        QCOMPARE(again->label().m_iHoriRulerWidth, doc->label().m_iHoriRulerWidth);

        // Cancel in the text editor changes nothing; OK is one undoable edit.
        const int shop = fieldOfType(FT_SHOPNAME);
        const FieldRecord before = again->label().m_arrFields[shop];
        answerTextEditor("Corner Deli", false);
        emit again->labelView()->editTextRequested(shop);
        QVERIFY(again->label().m_arrFields[shop] == before && !again->IsModified());
        answerTextEditor("Corner Deli", true);
        emit again->labelView()->editTextRequested(shop);
        QVERIFY(again->label().m_arrFields[shop].strText[1] == "Corner Deli" && again->IsModified());
        w->Execute(Cmd::mnuEditUndo);
        QCOMPARE(again->label().m_arrFields[shop], before);

        // Export All asks for the three files in turn; a cancelled one is only skipped.
        fileRequests.clear();
        fileAnswers << path("x52.DAT") << std::nullopt << path("x61.DAT");
        w->Execute(Cmd::mnuFileExportAll);
        QCOMPARE(fileRequests.size(), 3);
        QCOMPARE(fileRequests[0].title, text("frmMain", "msgExportFormatTo"));
        QCOMPARE(fileRequests[1].title, text("frmMain", "msgExportTextTo"));
        QCOMPARE(fileRequests[2].title, text("frmMain", "msgExportShopNameTo"));
        QVERIFY(QFile::exists(path("x52.DAT")) && QFile::exists(path("x61.DAT")));
    }

    void fileFiltersAndModelChooser()
    {
        QCOMPARE(QtFileFilter(kFormatFileFilter), "Quillon File(*.QLF);;All Files (*.*)");
        QCOMPARE(QtFileFilter(kDataFileFilter), "Data Files (*.DAT);;All Files (*.*)");   // trailing bars
        QCOMPARE(QtFileFilter("Labels|*.QLF;*.qlf"), "Labels (*.QLF *.qlf)");   // a list without parentheses
        QCOMPARE(QtFileFilter("Labels|*.QLF|Other"), "Labels (*.QLF)");   // an odd count drops the last

        const Tables& t = ctx.tables;
        LabelTypeDialog chooser(t);
        QCOMPARE(chooser.cboScaleModal->count(), int(t.g_arrScaleModel.size()));
        QCOMPARE(chooser.cboScaleModal->itemText(1), t.g_arrScaleModel[1].SCALE_NAME);
        chooser.cboScaleModal->setCurrentIndex(1);
        chooser.reject();   // closed without OK: the first model stays chosen
        QCOMPARE(int(chooser.m_iScaleModelIndex), 0);
        chooser.findChild<QPushButton*>()->click();
        QCOMPARE(int(chooser.m_iScaleModelIndex), 1);
    }

    void labelOutput_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QString>("name");   // empty: the user cancels the file or print dialog
        QTest::addColumn<float>("zoom");
        QTest::addColumn<int>("hMM");        // of a label 58 mm wide
        QTest::addColumn<bool>("written");
        const int pdf = int(Cmd::mnuFileExportPdf), png = int(Cmd::mnuFileExportPng);
        const int print = int(Cmd::mnuFilePrint), preview = int(Cmd::mnuFilePrintPreview);
        QTest::newRow("pdf") << pdf << "label.pdf" << 1.0f << 40 << true;
        QTest::newRow("pdf at zoom keeps true size") << pdf << "z.pdf" << 3.0f << 40 << true;
        QTest::newRow("png at 100%") << png << "label.png" << 1.0f << 40 << true;
        QTest::newRow("png at 250%") << png << "big.png" << 2.5f << 40 << true;
        QTest::newRow("pdf cancelled") << pdf << "" << 1.0f << 40 << false;
        QTest::newRow("png cancelled") << png << "" << 1.0f << 40 << false;
        QTest::newRow("pdf into a missing folder") << pdf << "no/such/x.pdf" << 1.0f << 40 << false;
        QTest::newRow("png into a missing folder") << png << "no/such/x.png" << 1.0f << 40 << false;
        QTest::newRow("preview") << preview << "preview.pdf" << 1.0f << 40 << true;
        QTest::newRow("preview taller than wide") << preview << "tall.pdf" << 1.0f << 90 << true;
        QTest::newRow("print") << print << "print.pdf" << 1.0f << 40 << true;
        QTest::newRow("print taller than wide, zoomed") << print << "print100.pdf" << 2.0f << 100 << true;
        QTest::newRow("print cancelled") << print << "" << 1.0f << 40 << false;
        QTest::newRow("print without a label size") << print << "nosize.pdf" << 1.0f << -5 << false;
    }

    // Printed and exported at the label's own size, one page, whatever the zoom; the
    // picture as the canvas shows it. A failure is said once; a cancel says nothing.
    void labelOutput()
    {
        QFETCH(int, cmd);
        QFETCH(QString, name);
        QFETCH(float, zoom);
        QFETCH(int, hMM);
        QFETCH(bool, written);
        DocumentWindow* doc = w->NewDocument(true);
        doc->label().m_iHoriRulerWidth = 58;
        doc->label().m_iVertRulerHeight = qint16(hMM);
        for (int f = 0; f < 3; ++f)
            doc->ToggleField(f);
        doc->ApplyLabelScale(zoom);
        const bool modified = doc->IsModified();
        const bool printing = Cmd(cmd) == Cmd::mnuFilePrint || Cmd(cmd) == Cmd::mnuFilePrintPreview;
        const QString file = path(name.isEmpty() ? "cancelled.pdf" : name);
        fileAnswers << (name.isEmpty() ? std::nullopt : std::optional(file));
        int pages = -1;
        const auto toPdf = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(file);
        };
        w->SetPreviewRunner([&](QPrintPreviewDialog& dlg) {
            auto* view = dlg.findChild<QPrintPreviewWidget*>();
            view->updatePreview();
            pages = view->pageCount();
            toPdf(*dlg.printer());
            emit dlg.paintRequested(dlg.printer());
        });
        w->SetPrintDialogRunner([&](QPrinter& printer) {
            printer.setPageSize(QPageSize(QPageSize::A4));   // the user picks another paper
            toPdf(printer);
            return !name.isEmpty();
        });
        w->Execute(Cmd(cmd));
        QCOMPARE(fileRequests.size(), printing ? 0 : 1);
        QCOMPARE(pages, Cmd(cmd) == Cmd::mnuFilePrintPreview ? 1 : -1);
        QCOMPARE(reporter.entries.size(), !written && !name.isEmpty() ? 1 : 0);
        QVERIFY(doc->IsModified() == modified && QFileInfo::exists(file) == written);
        if (written && Cmd(cmd) == Cmd::mnuFileExportPng) {
            const QImage img(file);
            QCOMPARE(img.size(), RenderLabelToImage(doc->label(), doc->m_sngLabelScale()).size());
            QVERIFY(qAbs(img.width() - 1 - 58 * zoom * RenderScreenDpi() / 25.4) <= 1.0);
            QVERIFY(countPixels(img, [](QRgb p) { return qGray(p) < 128; }) > 0);
        } else if (written) {
            QVERIFY(pdfPageIs(file, 58, hMM));
        }
        // Nothing beside the file is left behind by the atomic save.
        QVERIFY(!written || QDir(tmp.path()).entryList({name + "*"}, QDir::Files).size() == 1);
    }

    void csvButtons_data()
    {
        QTest::addColumn<QString>("csv");      // "{m}": a model name of the tables
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("icon");         // of the import's message
        QTest::addColumn<QString>("exportTo");
        const int warn = QMessageBox::Warning, info = QMessageBox::Information, crit = QMessageBox::Critical;
        QTest::newRow("valid, duplicate, invalid")
            << "Number,Address,Model\r\n11,127.0.0.11,{m}\r\n12,127.0.0.12,{m}\r\n11,127.0.0.11,{m}\r\n"
               "5,300.1.2.5,{m}\r\n6,127.0.0.0,{m}\r\n" << 2 << 3 << warn << "out.csv";
        QTest::newRow("all valid") << "Number,Address,Model\n21,127.0.0.21,{m}\n" << 1 << 0 << info << "out.csv";
        QTest::newRow("unknown model changes nothing")
            << "Number,Address,Model\n31,127.0.0.31,{m}\n32,127.0.0.32,No Such Model\n" << 0 << 0 << crit << "out.csv";
        QTest::newRow("not csv changes nothing")
            << "Number,Address,Model\n41,\"127.0.0.41,{m}\n" << 0 << 0 << crit << "out.csv";
        QTest::newRow("no header") << "51,127.0.0.51,{m}\n" << 0 << 0 << crit << "out.csv";
        QTest::newRow("export into a missing folder")
            << "Number,Address,Model\n61,127.0.0.61,{m}\n" << 1 << 0 << info << "no/such/out.csv";
    }

    // The user's path: scale list from the menu, Import CSV, then Export CSV.
    void csvButtons()
    {
        QFETCH(QString, csv);
        QFETCH(int, added);
        QFETCH(int, skipped);
        QFETCH(int, icon);
        QFETCH(QString, exportTo);
        const QString in = path("scales-in.csv"), out = path(exportTo);
        writeFile(in, csv.replace("{m}", ctx.tables.g_arrScaleModel.first().SCALE_NAME).toUtf8());
        QFile::remove(out);
        const QList<ScaleRow> before = ListScales(ctx.db());
        fileAnswers << in << out;
        int rowsBefore = -1, rowsAfter = -1;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<ScaleListDialog*>(QApplication::activeModalWidget());
            rowsBefore = dlg->lvwScale->topLevelItemCount();
            QTest::mouseClick(dlg->cmdImportCsv, Qt::LeftButton);
            rowsAfter = dlg->lvwScale->topLevelItemCount();
            QTest::mouseClick(dlg->cmdExportCsv, Qt::LeftButton);
            dlg->accept();
        });
        w->Execute(Cmd::mnuEditOption);
        const QList<ScaleRow> now = ListScales(ctx.db());
        QVERIFY(rowsBefore == before.size() && rowsAfter == now.size() && now.size() == before.size() + added);
        QVERIFY(fileRequests.size() == 2 && fileRequests[0].filter.contains("*.csv") && fileRequests[1].save);
        // One message for the import, one for the export.
        QCOMPARE(messages.size(), 2);
        QCOMPARE(int(messages[0].first), icon);
        QVERIFY(messages[0].second.startsWith(icon == QMessageBox::Critical
                                                  ? text("frmScaleConfig", "msgCsvImportFailed")
                                                  : text("frmScaleConfig", "msgCsvImported").arg(added).arg(skipped)));
        const bool exported = !exportTo.contains(u'/');
        QCOMPARE(messages[1].first, exported ? QMessageBox::Information : QMessageBox::Critical);
        // The exported file holds the list as it now stands, and reads back.
        QFile f(out);
        QCOMPARE(f.open(QIODevice::ReadOnly), exported);
        const auto records = exported ? ParseCsv(f.readAll(), nullptr) : std::nullopt;
        QVERIFY(!exported || (records && records->size() == now.size() + 1));
        // Leave the list as it was for the next row.
        for (const ScaleRow& r : now)
            if (std::none_of(before.begin(), before.end(), [&](const ScaleRow& b) { return b.SC_IP == r.SC_IP; }))
                DeleteScale(ctx.db(), r.SC_IP);
    }

    // Drawn at the device's pixels: a 2x picture has four times the pixels, is not blank,
    // and differs from the other pictures and from its disabled look; the toolbar carries them.
    void icons()
    {
        for (qreal dpr : {1.0, 2.0}) {
            QList<QImage> seen;
            for (CommandIcon kind : {CommandIcon::ZoomIn, CommandIcon::ZoomOut, CommandIcon::SendToScale,
                                     CommandIcon::ReceiveFromScale, CommandIcon::ScaleList}) {
                const QIcon icon = MakeCommandIcon(kind);
                const QPixmap pm = icon.pixmap(QSize(24, 24), dpr);
                const QImage img = pm.toImage();
                const int painted = countPixels(img, [](QRgb p) { return qAlpha(p) > 0; });
                QVERIFY(pm.devicePixelRatio() == dpr && pm.size() == QSize(24, 24) * dpr);
                QVERIFY2(painted > img.width() * img.height() / 10 && painted < img.width() * img.height(),
                         qPrintable(QString::number(painted)));
                QVERIFY(icon.pixmap(QSize(24, 24), dpr, QIcon::Disabled).toImage() != img && !seen.contains(img));
                seen << img;
            }
            QCOMPARE(w->action(Cmd::tlbZoomIn)->icon().pixmap(QSize(24, 24), dpr).toImage(), seen[0]);
        }
    }

    // The choice, and text that stays readable on the dark palette's backgrounds.
    void themeChoice()
    {
        const QByteArray oldQ = qgetenv("QUILLON_THEME"), oldG = qgetenv("GTK_THEME");
        for (const auto& [quillon, gtk, dark] : {std::tuple("dark", "", true), {"light", "Adwaita:dark", false},
                                                 {"", "Adwaita:dark", true}, {"", "Adwaita", false}}) {
            qputenv("QUILLON_THEME", quillon);
            qputenv("GTK_THEME", gtk);
            QVERIFY2(WantsDarkTheme() == dark, gtk);
        }
        qputenv("QUILLON_THEME", oldQ);
        qputenv("GTK_THEME", oldG);
        const QPalette p = DarkPalette();
        QVERIFY(p.color(QPalette::Window).lightness() < 100
                && p.color(QPalette::WindowText).lightness() - p.color(QPalette::Window).lightness() > 120
                && p.color(QPalette::Text).lightness() - p.color(QPalette::Base).lightness() > 120);
    }
};

QTEST_MAIN(TestFrmMain)
#include "test_mainwindow.moc"
