// The main window driven as its user drives it, offscreen, with scripted answers for
// every dialog: documents and their files, the editor panes, transfers, printing,
// picture export, the scale list's CSV buttons, the toolbar pictures and the theme.
#include "app/aboutbox.h"
#include "app/commandicons.h"
#include "app/labeltypedialog.h"
#include "app/griddialog.h"
#include "app/mainwindow.h"
#include "app/barcodeformatsdialog.h"
#include "context/barcodeformats.h"
#include "app/sampledialog.h"
#include "render/labelpainter.h"
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
#include "model/receiveddata.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/ini.h"
#include "platform/placement.h"
#include "render/labelpainter.h"
#include "scale/scaledata.h"
#include "scale/scalelistdialog.h"
#include "scale/scalepickerdialog.h"
#include "scale/transfer.h"
#include <QtPrintSupport>
#include <QtTest>
#include <algorithm>

using namespace quillon;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    static const QRegularExpression re(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])");
    const auto m = re.match(QString::fromLatin1(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray()));
    return m.hasMatch() && qAbs(m.captured(1).toDouble() - wMM * 72 / 25.4) < 0.5
           && qAbs(m.captured(2).toDouble() - hMM * 72 / 25.4) < 0.5;
}

} // namespace

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

    QString text(const char* section, const char* key) { return GetLangString(section, key); }
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
        return int(std::find_if(defs.begin(), defs.end(), [=](auto& d) { return d.FieldType == type; }) - defs.begin());
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
            const auto fallback = (buttons & QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Cancel;
            return messageAnswers.isEmpty() ? fallback : messageAnswers.dequeue();
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

    // Commands on a label are off without one and do nothing from a shortcut; undo and redo
    // follow the edits; the panes and the status bar toggle.
    // The program runs in English.
    void commandsFollowTheDocument()
    {
        const QList<Cmd> output{Cmd::mnuFilePrintPreview, Cmd::mnuFilePrint, Cmd::mnuFileExportPdf,
                                Cmd::mnuFileExportPng};
        const QList<Cmd> needDoc = output + QList<Cmd>{Cmd::mnuFileClose, Cmd::mnuFileSave, Cmd::mnuFileSaveAs,
                                                       Cmd::mnuFileExport, Cmd::mnuSendToScale, Cmd::tlbZoomOut,
                                                       Cmd::tlbZoomIn, Cmd::tlbZoomComboBox};
        const QList<Cmd> undoRedo{Cmd::mnuEditUndo, Cmd::mnuEditRedo};
        w->Update();
        expectEnabled(needDoc + undoRedo, false);
        for (Cmd id : output + QList<Cmd>{Cmd::mnuFileImportText, Cmd::mnuFileImportShopname})
            w->Execute(id);
        QVERIFY(fileRequests.isEmpty() && reporter.entries.isEmpty() && w->documents().isEmpty());
        for (Cmd id : {Cmd::mnuViewStatusBar, Cmd::panPLUFields, Cmd::panProperty}) {
            w->Execute(id);
            QVERIFY2(!w->action(id)->isChecked(), qPrintable(QString::number(int(id))));
            w->Execute(id);
            QVERIFY(w->action(id)->isChecked());
        }

        QCOMPARE(AboutBox(w.get()).cmdSysInfo->isEnabled(), !AboutBox::SystemInfoTool().isEmpty());
        // A language is stored for the next start; the interface stays on the running one.
        const QString language = ctx.tables.g_strLanguage;
        w->Execute(Cmd::mnuID_VIEW_LANGUAGE_CHINESE);
        QCOMPARE(ReadIniString("Setting", "Language", ctx.paths.g_strIniFile), "Chinese");
        QVERIFY(messages.size() == 1 && messages[0].second == text("frmMain", "msgAvailableNextStart"));
        QVERIFY(ctx.tables.g_strLanguage == language && w->action(Cmd::mnuID_VIEW_LANGUAGE_ENGLISH)->isChecked()
                && !w->action(Cmd::mnuID_VIEW_LANGUAGE_CHINESE)->isChecked());
        WriteIniString("Setting", "Language", language, ctx.paths.g_strIniFile);

        DocumentWindow* doc = w->NewDocument(true);
        expectEnabled(needDoc, true);
        expectEnabled(undoRedo, false);
        // A new window opens zoomed to fit its label.
        QVERIFY(doc->m_sngLabelScale() == doc->labelView()->FitScale()
                && w->zoomBox()->currentText() == ZoomBoxText(doc->m_sngLabelScale()));
        doc->ToggleField(kField);
        QVERIFY(w->action(Cmd::mnuEditUndo)->isEnabled() && !w->action(Cmd::mnuEditRedo)->isEnabled());
        w->Execute(Cmd::mnuEditUndo);
        QVERIFY(!doc->label().m_arrFields[kField].bUsed && w->action(Cmd::mnuEditRedo)->isEnabled());
        expectEnabled({Cmd::mnuEditUndo}, false);
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
            {2.5f, "+", 260}, {1.0f, "125", 125}, {1.0f, "137.6", 138}, {1.0f, "20%", 50},   // typed: as typed
            {1.0f, "abc", 100}, {1.0f, "120%", 120}, {1.0f, "1e30", 500}, {1.0f, "-300", 100}};
        for (const auto& [scale, input, percent] : rows) {
            DocumentWindow* doc = w->NewDocument(true);
            doc->ApplyLabelScale(scale);
            const QString typed = input, shown = QString::number(percent) + '%';
            if (typed != "+" && typed != "-")
                w->zoomBox()->setEditText(typed);
            w->Execute(typed == "-" ? Cmd::tlbZoomOut : typed == "+" ? Cmd::tlbZoomIn : Cmd::tlbZoomComboBox);
            QVERIFY2(qRound(doc->m_sngLabelScale() * 100) == percent && w->zoomBox()->currentText() == shown
                         && ZoomBoxText(doc->m_sngLabelScale()) == shown, input);
        }
        // Typed into the box and confirmed with Enter; the box then follows zoom to fit.
        DocumentWindow* doc = w->NewDocument(true);
        w->activateWindow();
        w->zoomBox()->setFocus();
        w->zoomBox()->lineEdit()->selectAll();
        QTest::keyClicks(w->zoomBox()->lineEdit(), "137");
        QTest::keyClick(w->zoomBox()->lineEdit(), Qt::Key_Return);
        QCOMPARE(qRound(doc->m_sngLabelScale() * 100), 137);
        w->Execute(Cmd::mnuViewZoomFit);
        QCOMPARE(w->zoomBox()->currentText(), ZoomBoxText(doc->labelView()->FitScale()));
    }

    // A stored width that is no number gives the default one, never narrower than the window's
    // minimum, which keeps the toolbar whole; closing stores the size for the next start.
    void placement()
    {
        cleanup();
        QSettings(path("placement.ini"), QSettings::IniFormat).setValue("Settings/MainWidth", "wide");
        QVERIFY(openWindow());
        QCOMPARE(w->width(), qMax(qRound(6500 * w->screen()->logicalDotsPerInch() / 1440.0), w->minimumWidth()));
        w->resize(1000, 700);
        w->close();
        QVERIFY(openWindow());
        QCOMPARE(w->size(), QSize(1000, 700));
    }

    // Numbered captions, the chosen model, inside the visible part of the area; the chooser
    // keeps the first model unless OK is pressed.
    void newDocuments()
    {
        const long start = w->m_lNewDocumentCount;
        w->SetModelChooser([] { return 1; });
        DocumentWindow* a = w->NewDocument(true);
        QVERIFY(w->mdiArea()->viewport()->rect().contains(a->geometry()));
        DocumentWindow* b = w->NewDocument(true);
        QCOMPARE(a->Caption() + ' ' + b->Caption(), QString("Quillon %1 Quillon %2").arg(start + 1).arg(start + 2));
        QCOMPARE(int(b->label().m_iScaleModelIndex), 1);
        a->close();
        settle();
        QCOMPARE(w->NewDocument(true)->Caption(), QString("Quillon %1").arg(start + 3));
        LabelTypeDialog chooser(ctx.tables);
        chooser.cboScaleModal->setCurrentIndex(1);
        chooser.reject();
        QCOMPARE(int(chooser.m_iScaleModelIndex), 0);
        chooser.findChild<QPushButton*>()->click();
        QCOMPARE(int(chooser.m_iScaleModelIndex), 1);
        // Without scale models there is nothing to choose: a message, no window.
        const auto models = std::exchange(ctx.tables.g_arrScaleModel, {});
        QVERIFY(!w->NewDocument(true) && w->documents().size() == 2);
        ctx.tables.g_arrScaleModel = models;
        QCOMPARE(messages.value(0).second, text("frmMain", "msgNoScaleModel"));
    }

    // Save, Save As and Open from the menu, a drop of files, the window list, broken files.
    void filesAndWindows()
    {
        // The dialogs' filters: trailing bars; a list without parentheses, an odd count.
        QCOMPARE(QtFileFilter(kDataFileFilter), "Data Files (*.DAT);;All Files (*.*)");
        QCOMPARE(QtFileFilter("Labels|*.QLF;*.qlf|Other"), "Labels (*.QLF *.qlf)");
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
        doc->close();
        settle();
        fileAnswers << p2 << p1;
        w->Execute(Cmd::mnuFileOpen);
        DocumentWindow* opened = w->activeDocument();
        QVERIFY(w->documents().size() == 1 && opened->Caption() == p2 && !opened->IsModified());
        w->Execute(Cmd::mnuFileOpen);
        QVERIFY(w->documents().size() == 1 && opened->Caption() == p1);

        // A label file and a data file dropped on the window open beside it.
        Label l(ctx.tables);
        l.m_iFormatNo = 7;
        for (int i = 0; i < l.fieldCount(); ++i)
            l.m_arrFields[i].bUsed = true;
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

        // A file that cannot be read leaves the document as it was: reported, or the format
        // message for another program's file. The cut one is from the label with every field.
        const QList<QByteArray> lines = FormatFileBytes(l).split('\n');
        const int half = 4 + l.fieldCount() / 2;
        const QString broken = path("broken.QLF");
        opened->ToggleField(kField);
        const Label before = opened->label();
        const auto formatMessage = std::pair(QMessageBox::Critical, text("Global", "msgFormatFileError"));
        const QByteArray cut = lines.mid(0, half).join('\n') + '\n' + lines[half].left(20);
        for (const auto& [content, formatError] :
             {std::pair(QByteArray(), false), {"\"Other Program\",0,1\r\n", true}, {cut, false}}) {
            messages.clear();
            reporter.clear();
            QFile::remove(broken);
            if (!content.isEmpty())
                writeFile(broken, content);
            fileAnswers << broken;
            // Open over unsaved changes asks first; No goes on without saving.
            messageAnswers << QMessageBox::No;
            w->Execute(Cmd::mnuFileOpen);
            QVERIFY(opened->label() == before && opened->Caption() == p1 && opened->IsModified());
            QVERIFY(messages.value(0).second.startsWith(text("frmDocument", "msgWantQuit")));
            QVERIFY(formatError ? messages.value(1) == formatMessage : reporter.hasSource("OpenFromFile"));
        }
    }

    // The user is asked before work is lost: when a label changed by any kind of edit closes,
    // and when text the code page cannot hold would become "?" in the file. Each answer does
    // what it says.
    void askedBeforeLosingWork()
    {
        const int yes = QMessageBox::Yes, no = QMessageBox::No, cancel = QMessageBox::Cancel;
        const Cmd close = Cmd::mnuFileClose, quit = Cmd::mnuFileExit, save = Cmd::mnuFileSave;
        const std::tuple<QString, Cmd, int, bool, bool, bool> rows[] = {   // edit, command, answer (0: not asked),
            {"none", close, 0, false, true, false},                        // a name given, closed, written
            {"palette", close, yes, true, true, true}, {"palette", close, yes, false, false, false},
            {"resize", close, no, false, true, false}, {"delete", close, cancel, false, false, false},
            {"palette", quit, cancel, false, false, false},   // the program keeps running
            {"plain", save, 0, true, false, true}, {"foreign", save, no, true, false, false},
            {"foreign", save, yes, true, false, true}, {"foreign", Cmd::mnuFileExportText, no, true, false, false}};
        const QString file = path("asked.QLF");
        for (const auto& [edit, cmd, answer, named, closed, written] : rows) {
            // Chinese characters: no single-byte code page holds them, the Chinese one does.
            if (edit == "foreign" && ctx.tables.m_iAnsiCodepage == 936)
                continue;
            reset();
            QFile::remove(file);
            DocumentWindow* doc = w->NewDocument(true);
            const bool typed = edit == "plain" || edit == "foreign";
            FieldRecord& rec = doc->label().m_arrFields[typed ? fieldOfType(FT_TEXT) : kField];
            if (edit == "palette") {
                emit w->m_frmToolbox->itemClicked(kField);
            } else if (edit == "delete") {
                rec.bUsed = true;
                doc->SelectField(kField);
                doc->label().m_bModified = false;
                QTest::keyClick(doc->labelView()->findChild<QWidget*>("picCanvas"), Qt::Key_Delete);
                QVERIFY(!rec.bUsed);
            } else if (edit == "resize") {
                rec.bUsed = true;
                emit doc->labelView()->fieldEdited(kField);   // what the canvas reports when a handle drag ends
            } else if (edit != "none") {
                rec.bUsed = true;
                rec.iTextLine = 1;
                rec.strText[1] = edit == "plain" ? "Fresh bread" : "Price \u6F22\u5B57";
            }
            const bool closing = cmd == close || cmd == quit;
            QVERIFY2(!closing || doc->IsModified() == (edit != "none"), qPrintable(edit));
            const QString question =
                closing ? text("frmDocument", "msgWantQuit") + " \"" + doc->Caption() + "\"?" : QString(u'\u6F22');
            messageAnswers << QMessageBox::StandardButton(answer);
            const QString target = cmd == Cmd::mnuFileExportText ? path("asked.DAT") : file;
            QFile::remove(target);
            fileAnswers << (named ? std::optional(target) : std::nullopt);
            QPointer<DocumentWindow> guard(doc);
            w->Execute(cmd);
            settle();
            QVERIFY2(messages.size() == (answer ? 1 : 0) && (!answer || messages[0].second.contains(question))
                         && guard.isNull() == closed && QFile::exists(target) == written, qPrintable(edit));
            QVERIFY(closed || (w->isVisible() && (closing ? doc->IsModified()
                                                          : (doc->Caption() == file) == (written && cmd == save))));
        }
    }

    // A name typed without a suffix gets the filter's; exports start beside the label under
    // its name, and an export aimed at a label file is refused, the label left as it was.
    void fileNames()
    {
        DocumentWindow* doc = w->NewDocument(true);
        const QString base = path("shelf");
        QFile::remove(base + ".QLF");
        fileAnswers << base;
        w->Execute(Cmd::mnuFileSaveAs);
        QVERIFY(doc->Caption() == base + ".QLF" && QFile::exists(base + ".QLF") && !doc->windowTitle().contains('*'));
        doc->ToggleField(kField);
        QCOMPARE(doc->windowTitle(), base + ".QLF *");
        for (const auto& [cmd, suffix] : {std::pair(Cmd::mnuFileExportPdf, "pdf"), {Cmd::mnuFileExportPng, "png"},
                                          {Cmd::mnuFileExportFormat, "DAT"}, {Cmd::mnuFileSaveAs, "QLF"}}) {
            w->Execute(cmd);
            QCOMPARE(fileRequests.last().proposed, base + "." + suffix);
        }
        const QByteArray saved = readFile(base + ".QLF");
        for (Cmd cmd : {Cmd::mnuFileExportPdf, Cmd::mnuFileExportPng, Cmd::mnuFileExportText}) {
            messages.clear();
            fileAnswers << base + ".qlf";
            w->Execute(cmd);
            QVERIFY(readFile(base + ".QLF") == saved && messages.size() == 1
                    && messages[0].second.startsWith(text("frmMain", "msgExportOverLabel")));
        }
        QFile::remove(base + ".pdf");
        fileAnswers << base;
        w->Execute(Cmd::mnuFileExportPdf);
        QVERIFY(pdfPageIs(base + ".pdf", 55, 50) && readFile(base + ".QLF") == saved);
        // Open without a window makes one only for a file that opens.
        reset();
        fileAnswers << path("missing.QLF");
        w->Execute(Cmd::mnuFileOpen);
        settle();
        QVERIFY(w->documents().isEmpty() && reporter.hasSource("OpenFromFile"));
    }

    // Fields copied from one label paste into another where they were; onto a placed
    // field only when the user agrees, and each paste is one undo step.
    void copyBetweenLabels()
    {
        DocumentWindow* from = w->NewDocument(true);
        const int lines = fieldOfType(FT_TEXT);
        from->ToggleField(kField);
        from->ToggleField(lines);
        from->label().m_arrFields[lines].sngX = 12;
        from->AdjustLabel(lines);
        from->SelectAll();
        w->Execute(Cmd::mnuEditCopy);
        DocumentWindow* to = w->NewDocument(true);
        QVERIFY(w->action(Cmd::mnuEditPaste)->isEnabled() && !w->action(Cmd::mnuEditCopy)->isEnabled());
        w->Execute(Cmd::mnuEditPaste);
        QVERIFY(to->label().m_arrFields[lines] == from->label().m_arrFields[lines] && messages.isEmpty());
        QCOMPARE(to->document().selection().size(), 2);
        to->label().m_arrFields[lines].sngX = 20;
        to->AdjustLabel(lines);
        const FieldRecord moved = to->label().m_arrFields[lines];
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            messageAnswers << answer;
            w->Execute(Cmd::mnuEditPaste);
            QVERIFY(messages.size() == 1 && messages.takeFirst().second.startsWith(text("frmDocument", "msgReplaceFields")));
            QCOMPARE(to->label().m_arrFields[lines].sngX, answer == QMessageBox::Yes ? 12.0f : 20.0f);
        }
        w->Execute(Cmd::mnuEditUndo);
        QVERIFY(to->label().m_arrFields[lines] == moved);
        // Cut takes the selection off as one step; the grid toggle is kept for the next start.
        w->Execute(Cmd::mnuEditCut);
        QVERIFY(!to->label().m_arrFields[lines].bUsed && !to->label().m_arrFields[kField].bUsed);
        w->action(Cmd::mnuViewGrid)->trigger();
        QVERIFY(to->labelView()->grid().visible && GridSettings::Load().visible);
        w->action(Cmd::mnuViewGrid)->trigger();
    }

    // The sample dialog: Long Values fills in the longest values, OK keeps the item for the
    // next start and the preview and fit check use it at once.
    void sampleData()
    {
        DocumentWindow* doc = w->NewDocument(true);
        const int name = fieldOfType(FT_C1);   // the item name's first line
        doc->ToggleField(name);
        QTimer::singleShot(0, [] {
            auto* dlg = qobject_cast<SampleDialog*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            dlg->findChild<QPushButton*>("cmdLongValues")->click();
            dlg->accept();
        });
        w->Execute(Cmd::mnuEditSample);
        const SampleItem stored = LoadUserSample(ctx.tables.g_strLanguage);
        QCOMPARE(stored.plu, LongSampleItem().plu);
        QCOMPARE(stored.Total(), LongSampleItem().Total());
        QCOMPARE(FieldFitOf(doc->label(), name, stored).needed, 40);
        StoreUserSample(DefaultSampleItem(ctx.tables.g_strLanguage));
    }

    // Barcode Formats: a bad row keeps the dialog open at that row; a format chosen for an
    // untitled label is kept under its file name when it is saved, comes back when it is
    // opened, and is the barcode of its preview and fit check.
    void barcodeFormats()
    {
        DocumentWindow* doc = w->NewDocument(true);
        const int code = fieldOfType(FT_B1);
        doc->ToggleField(code);
        const BarcodeFormat itf{QStringLiteral("Carton"), BarcodeKind::Itf14, QStringLiteral("10PPPPPWWWWWW")};
        bool refusedBadRow = false;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<BarcodeFormatsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            auto* table = dlg->findChild<QTableWidget*>("tblFormats");
            dlg->findChild<QPushButton*>("cmdAdd")->click();
            const int row = table->rowCount() - 1;
            table->item(row, 0)->setText(itf.name);
            qobject_cast<QComboBox*>(table->cellWidget(row, 1))->setCurrentIndex(3);
            table->item(row, 2)->setText(QStringLiteral("10PPPPPWWW"));   // too short
            dlg->accept();
            refusedBadRow = dlg->isVisible() && table->currentRow() == row && !messages.isEmpty();
            table->item(row, 2)->setText(itf.pattern.toLower());          // typed in small letters
            auto* choice = dlg->findChild<QComboBox*>("cboLabelFormat");
            choice->setCurrentIndex(choice->findData(itf.name));
            emit choice->activated(choice->currentIndex());
            dlg->accept();
        });
        w->Execute(Cmd::mnuEditMorviBarcode);
        QVERIFY(refusedBadRow);
        QCOMPARE(doc->BarcodeFormatName(), itf.name);
        QVERIFY(LoadBarcodeFormats(ctx.db().mainDb()).contains(itf));
        const std::optional<SampleItem> shown = doc->labelView()->sample();
        QVERIFY(shown && shown->barcode == BarcodeKind::Itf14 && shown->barcodePattern == itf.pattern);
        QVERIFY(FieldFitOf(doc->label(), code, *shown).needed != FieldFitOf(doc->label(), code, LoadUserSample("English")).needed);

        const QString file = path("carton.QLF");
        fileAnswers.enqueue(file);
        w->Execute(Cmd::mnuFileSaveAs);
        QCOMPARE(LabelBarcodeFormat(ctx.db().mainDb(), file), itf.name);
        reset();
        QVERIFY(w->OpenInNewDocument(file));
        QCOMPARE(w->activeDocument()->BarcodeFormatName(), itf.name);
    }

    // Each record of a received format file opens as a new untitled label; a damaged
    // or oversized file keeps what could be read and is reported.
    void importFormat()
    {
        QStringList records;
        for (int n = 1; n <= 120; ++n) {
            Label l(ctx.tables);
            l.m_iFormatNo = qint16(10 + n % 80);
            l.m_arrFields[0].bUsed = true;
            records << FormatRecord(l);
        }
        const std::tuple<QString, int, bool> rows[] = {   // the file's line ("-": no file), windows, reported
            {"E2", 0, false}, {"-", 0, true}, {records.mid(0, 3).join(QString()).chopped(10), 2, true},
            {records.join(QString()), 99, true}};
        const QString file = path("F52.DAT");
        for (const auto& [line, windows, reported] : rows) {
            reset();
            QFile::remove(file);
            if (line != "-")
                writeFile(file, line.toLatin1() + "\r\n");
            fileAnswers << file;
            w->Execute(Cmd::mnuFileImportFormat);
            const QList<DocumentWindow*> docs = w->documents();
            QVERIFY2(fileRequests.value(0).title == text("frmMain", "msgImportFormatFrom") && docs.size() == windows
                         && reporter.hasSource("ImportReceivedData") == reported, qPrintable(line.left(20)));
            for (int i = 0; i < docs.size(); ++i) {
                QVERIFY(docs[i]->label().m_iFormatNo == 10 + (i + 1) % 80 && docs[i]->IsModified()
                        && docs[i]->IsUntitled() && !docs[i]->document().undo().canUndo());
                // The same label every import path makes (converter, tests).
                Label same(ctx.tables);
                ImportReceivedRecord(same, records[i], 0);
                QCOMPARE(FormatFileBytes(docs[i]->label()), FormatFileBytes(same));
            }
        }
        // Undo right after Open must not write a field of the old label into the new one.
        reset();
        DocumentWindow* doc = w->NewDocument(false);
        Label placed(ctx.tables);
        placed.m_arrFields[kField].bUsed = true;
        QVERIFY(SaveToFile(placed, path("placed.QLF")).ok);
        doc->ToggleField(kField);
        QVERIFY(doc->document().undo().canUndo() && doc->OpenFromFile(path("placed.QLF")));
        doc->Undo();
        QVERIFY(!doc->document().undo().canUndo() && doc->label().m_arrFields[kField].bUsed);
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
        QVERIFY(w->transfer()->lastReport().startsWith(text("frmMain", "msgSendSummary").arg(2).arg(2) + "\r\n"));
        QCOMPARE(QDir(programDir).entryList({"SM*", "~tmp*"}), QStringList());
        QFile::remove(driver);
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

        // Export All asks for the three files in turn; a cancelled one is only skipped.
        fileAnswers << path("panes.QLF") << path("panes52.DAT") << std::nullopt << path("panes61.DAT");
        w->Execute(Cmd::mnuFileSave);
        w->Execute(Cmd::mnuFileExportAll);
        QVERIFY(fileRequests.size() == 4 && fileRequests[1].title == text("frmMain", "msgExportFormatTo")
                && fileRequests[2].title == text("frmMain", "msgExportTextTo")
                && fileRequests[3].title == text("frmMain", "msgExportShopNameTo"));
        for (const char* f : {"panes.QLF", "panes52.DAT", "panes61.DAT"})
            QVERIFY2(QFileInfo(path(f)).size() > 2, f);
        DocumentWindow* again = w->NewDocument(false);
        QVERIFY(again->OpenFromFile(path("panes.QLF")) && !again->IsModified());
        QCOMPARE(again->label().m_arrFields, doc->label().m_arrFields);

        // Cancel in the text editor changes nothing; OK is one undoable edit.
        const int shop = fieldOfType(FT_SHOPNAME);
        const FieldRecord before = again->label().m_arrFields[shop];
        for (const bool ok : {false, true}) {
            answerTextEditor("Corner Deli", ok);
            emit again->labelView()->editTextRequested(shop);
            QVERIFY((again->label().m_arrFields[shop].strText[1] == "Corner Deli") == ok && again->IsModified() == ok);
        }
        w->Execute(Cmd::mnuEditUndo);
        QCOMPARE(again->label().m_arrFields[shop], before);
    }

    // Printed and exported at the label's own size (58 mm wide), one page, whatever the zoom;
    // the picture as the canvas shows it. A failure is said once; a cancel (no name) says nothing.
    void labelOutput()
    {
        const Cmd pdf = Cmd::mnuFileExportPdf, png = Cmd::mnuFileExportPng, print = Cmd::mnuFilePrint;
        const Cmd preview = Cmd::mnuFilePrintPreview;
        const std::tuple<Cmd, QString, float, int, bool> rows[] = {   // command, file, zoom, height, written
            {pdf, "z.pdf", 3.0f, 40, true}, {pdf, "", 1.0f, 40, false}, {pdf, "no/such/x.pdf", 1.0f, 40, false},
            {png, "big.png", 2.5f, 40, true}, {png, "", 1.0f, 40, false}, {png, "no/such/x.png", 1.0f, 40, false},
            {preview, "preview.pdf", 1.0f, 40, true}, {preview, "nosize.pdf", 1.0f, -5, false},
            {print, "print.pdf", 1.0f, 40, true}, {print, "tall.pdf", 2.0f, 100, true}, {print, "", 1.0f, 40, false},
            {print, "nosize.pdf", 1.0f, -5, false}};
        for (const auto& [cmd, name, zoom, hMM, written] : rows) {
            reset();
            DocumentWindow* doc = w->NewDocument(true);
            doc->label().m_iHoriRulerWidth = 58;
            doc->label().m_iVertRulerHeight = qint16(hMM);
            doc->ToggleField(kField);
            doc->ApplyLabelScale(zoom);
            const bool modified = doc->IsModified(), chosen = !name.isEmpty();
            const QString file = path(chosen ? name : "cancelled.pdf");
            fileAnswers << (chosen ? std::optional(file) : std::nullopt);
            int pages = -1;
            w->SetPreviewRunner([&](QPrintPreviewDialog& dlg) {
                auto* view = dlg.findChild<QPrintPreviewWidget*>();
                view->updatePreview();
                pages = view->pageCount();
                dlg.printer()->setOutputFormat(QPrinter::PdfFormat);
                dlg.printer()->setOutputFileName(file);
                emit dlg.paintRequested(dlg.printer());
            });
            w->SetPrintDialogRunner([&](QPrinter& printer) {
                printer.setPageSize(QPageSize(QPageSize::A4));   // the user picks another paper
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(file);
                return chosen;
            });
            w->Execute(cmd);
            const QString tag = file + ' ' + QString::number(hMM);
            QVERIFY2(fileRequests.size() == (cmd == pdf || cmd == png ? 1 : 0)
                         && pages == (cmd == preview && written ? 1 : -1)
                         && reporter.entries.size() == (!written && chosen ? 1 : 0), qPrintable(tag));
            QVERIFY2(doc->IsModified() == modified && QFileInfo::exists(file) == written, qPrintable(tag));
            if (written && cmd == png) {
                // As it prints with the sample item, not the editor's boxes.
                const SampleItem sample = DefaultSampleItem(ctx.tables.g_strLanguage);
                const QImage printed = RenderLabelToImage(doc->label(), zoom, &sample);
                QCOMPARE(QImage(file).convertToFormat(printed.format()), printed);
                QVERIFY(printed != RenderLabelToImage(doc->label(), zoom));
            } else if (written) {
                QVERIFY2(pdfPageIs(file, 58, hMM), qPrintable(tag));
            }
            // Nothing beside the file is left behind by the atomic save.
            QVERIFY(!written || QDir(tmp.path()).entryList({name + "*"}, QDir::Files).size() == 1);
        }
    }

    // The user's path: scale list from the menu, Import CSV, then Export CSV; a message for each.
    void csvButtons()
    {
        const QString model = ctx.tables.g_arrScaleModel.first().SCALE_NAME, in = path("scales-in.csv");
        const std::tuple<QString, int, int, QMessageBox::Icon, QString> rows[] = {   // added, skipped, icon, export
            {"11,127.0.0.11,{m}\r\n11,127.0.0.11,{m}\r\n5,300.1.2.5,{m}\r\n", 1, 2, QMessageBox::Warning, "out.csv"},
            {"21,127.0.0.21,{m}\n", 1, 0, QMessageBox::Information, "no/such/out.csv"},
            // Changes nothing; the message names each unknown model.
            {"31,127.0.0.31,{m}\n32,127.0.0.32,Nope\n33,127.0.0.33,No Such Model\n", 0, 0, QMessageBox::Critical,
             "out.csv"}};
        for (const auto& [csv, added, skipped, icon, exportTo] : rows) {
            reset();
            writeFile(in, "Number,Address,Model\r\n" + QString(csv).replace("{m}", model).toUtf8());
            const qsizetype before = ListScales(ctx.db()).size();
            fileAnswers << in << path(exportTo);
            qsizetype rowsBefore = -1, rowsAfter = -1;
            QTimer::singleShot(0, [&] {
                auto* dlg = qobject_cast<ScaleListDialog*>(QApplication::activeModalWidget());
                rowsBefore = dlg->lvwScale->topLevelItemCount();
                QTest::mouseClick(dlg->cmdImportCsv, Qt::LeftButton);
                rowsAfter = dlg->lvwScale->topLevelItemCount();
                QTest::mouseClick(dlg->cmdExportCsv, Qt::LeftButton);
                dlg->accept();
            });
            w->Execute(Cmd::mnuEditOption);
            const qsizetype now = ListScales(ctx.db()).size();
            QVERIFY(rowsBefore == before && rowsAfter == now && now == before + added);
            QVERIFY(fileRequests.size() == 2 && fileRequests[0].filter.contains("*.csv") && fileRequests[1].save);
            const QString said = messages.value(0).second;
            const QString imported = added ? text("frmScaleConfig", "msgCsvImported").arg(added).arg(skipped)
                                           : text("frmScaleConfig", "msgCsvImportFailed");
            QVERIFY2(messages.size() == 2 && messages[0].first == icon && said.startsWith(imported)
                         && (added || said.contains("No Such Model")), qPrintable(said));
            // The exported file holds the list as it now stands, and reads back.
            const bool exported = !exportTo.contains(u'/');
            QFile f(path(exportTo));
            QVERIFY(messages[1].first == (exported ? QMessageBox::Information : QMessageBox::Critical)
                    && f.open(QIODevice::ReadOnly) == exported && (!exported || f.readAll().count('\n') == now + 1));
        }
    }

    // In each language as the user starts it: no two entries of the menu bar or of one menu
    // share an access key, tool tips show no "&", New's chooser shows the models' sizes, the
    // grid's names fit their column at the pane's width and speak the language, as do its refusals.
    void languages()
    {
        const QString language = ReadIniString("Setting", "Language", ctx.paths.g_strIniFile);
        // A failed check returns at once: the lookup must not outlive the local context.
        const auto restore = qScopeGuard([&] {
            WriteIniString("Setting", "Language", language, ctx.paths.g_strIniFile);
            SetTextLookup([this](const QString& s, const QString& k) { return ctx.db().GetLangString(s, k); });
        });
        for (const char* lang : {"English", "Chinese", "Other"}) {
            WriteIniString("Setting", "Language", lang, ctx.paths.g_strIniFile);
            AppContext local;
            QVERIFY(local.InitApplication(programDir) && local.tables.g_strLanguage == lang);
            SetTextLookup([&local](const QString& s, const QString& k) { return local.db().GetLangString(s, k); });
            MainWindow win(local);
            QVERIFY(win.Form_Load());
            win.resize(1000, 700);
            win.show();
            ScalePickerDialog picker(local, &win);   // its pop-up menu is one more
            QList<QWidget*> menus{win.menuBar()};
            for (QMenu* m : win.findChildren<QMenu*>())
                menus << m;
            for (QWidget* m : menus) {
                QStringList keys;
                for (QAction* a : m->actions())
                    keys << QKeySequence::mnemonic(a->text()).toString();
                keys.removeAll(QString());
                QVERIFY2(keys.size() == QSet<QString>(keys.begin(), keys.end()).size(), qPrintable(keys.join(' ')));
            }
            // Nor the "(A)" left of a Chinese caption's access key.
            static const QRegularExpression accessKey(R"(\(&?[A-Z]\))");
            for (QToolBar* bar : win.findChildren<QToolBar*>())
                for (QAction* a : bar->actions())
                    QVERIFY2(!a->toolTip().contains('&') && !a->toolTip().contains(accessKey), qPrintable(a->toolTip()));
            const ScaleModel& model = local.tables.g_arrScaleModel[0];
            const QString entry = LabelTypeDialog(local.tables).cboScaleModal->itemText(0);
            QVERIFY(entry.startsWith(model.SCALE_NAME) && entry.contains(QString::number(model.MAX_HEIGHT)));

            DocumentWindow* doc = win.NewDocument(false);
            QAbstractItemView* grid = win.m_frmProperty->tree();
            for (int type = FT_B1; type <= FT_SHOPNAME + 1; ++type) {
                type > FT_SHOPNAME ? doc->SelectField(-1) : doc->ToggleField(fieldOfType(type));
                const int names = win.m_frmProperty->tree()->columnWidth(0);
                QVERIFY2(grid->sizeHintForColumn(0) <= names && names + 60 <= grid->viewport()->width()
                             && !grid->horizontalScrollBar()->isVisible(), lang);
            }
            QVERIFY(win.m_frmProperty->itemValue(PROP_LABEL_WIDTH).endsWith(text("frmProperty", "unitMM") + ')'));
            doc->SelectField(fieldOfType(FT_B1));
            doc->PropertyChanged(PROP_X, "1\"");
            QVERIFY(messages.contains(std::pair(QMessageBox::Warning, text("frmProperty", "msgValueForbiddenChars"))));
            doc->label().m_bModified = false;
        }
        QVERIFY(reporter.entries.isEmpty());
    }

    // The toolbar pictures are drawn at the device's pixels, each its own and unlike its
    // disabled look. The dark theme's choice, and text that stays readable on it.
    void iconsAndTheme()
    {
        QList<QImage> seen;
        for (CommandIcon kind : {CommandIcon::ZoomIn, CommandIcon::ZoomOut, CommandIcon::SendToScale,
                                 CommandIcon::ReceiveFromScale, CommandIcon::ScaleList}) {
            const QIcon icon = MakeCommandIcon(kind);
            const QImage img = icon.pixmap(QSize(24, 24), 2.0).toImage();
            QVERIFY(img.size() == QSize(48, 48) && !seen.contains(img)
                    && icon.pixmap(QSize(24, 24), 2.0, QIcon::Disabled).toImage() != img);
            seen << img;
        }
        QCOMPARE(w->action(Cmd::tlbZoomIn)->icon().pixmap(QSize(24, 24), 2.0).toImage(), seen[0]);
        for (const auto& [quillon, gtk, dark] : {std::tuple("dark", "", true), {"light", "Adwaita:dark", false},
                                                 {"", "Adwaita-dark", true}, {"", "Adwaita", false}}) {
            qputenv("QUILLON_THEME", quillon);
            qputenv("GTK_THEME", gtk);
            QVERIFY2(WantsDarkTheme() == dark, gtk);
        }
        qunsetenv("QUILLON_THEME");
        qunsetenv("GTK_THEME");
        const QPalette dark = DarkPalette();
        QVERIFY(dark.color(QPalette::Text).lightness() - dark.color(QPalette::Base).lightness() > 120);
    }
};

QTEST_MAIN(TestFrmMain)
#include "test_mainwindow.moc"
