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

    // Commands on a label are off without one and do nothing from a shortcut; undo and redo
    // follow the edits; the panes and the status bar toggle; a tool that is not installed says so.
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

        w->Execute(Cmd::mnuEditMorviBarcode);
        QVERIFY(messages.size() == 1 && messages[0].second.startsWith(text("frmMain", "msgToolNotInstalled")));
        QCOMPARE(AboutBox(w.get()).cmdSysInfo->isEnabled(), !AboutBox::SystemInfoTool().isEmpty());

        DocumentWindow* doc = w->NewDocument(true);
        expectEnabled(needDoc, true);
        expectEnabled(undoRedo, false);
        QCOMPARE(w->zoomBox()->currentText(), "250%");
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
        QVERIFY(w->action(Cmd::mnuID_VIEW_LANGUAGE_CHINESE)->isChecked() == (before == "Chinese")
                && w->action(Cmd::mnuID_VIEW_LANGUAGE_ENGLISH)->isChecked() == (before == "English"));
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

    // Numbered captions, the chosen model, inside the visible part of the area.
    void newCaptions()
    {
        const long start = w->m_lNewDocumentCount;
        w->SetModelChooser([] { return 1; });
        DocumentWindow* a = w->NewDocument(true);
        QVERIFY(w->mdiArea()->viewport()->rect().contains(a->geometry()));
        DocumentWindow* b = w->NewDocument(true);
        QVERIFY(a->Caption() == QString("Quillon %1").arg(start + 1) && b->Caption() == QString("Quillon %1").arg(start + 2));
        QCOMPARE(int(b->label().m_iScaleModelIndex), 1);
        a->close();
        settle();
        QCOMPARE(w->NewDocument(true)->Caption(), QString("Quillon %1").arg(start + 3));
        // Without scale models there is nothing to choose: a message, no window.
        const auto models = std::exchange(ctx.tables.g_arrScaleModel, {});
        QVERIFY(!w->NewDocument(true) && w->documents().size() == 2);
        ctx.tables.g_arrScaleModel = models;
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
        const std::pair<QByteArray, bool> rows[] = {   // the format message, else a reported error
            {{}, false}, {"\"Other Program\",0,1\r\n", true},
            {lines.mid(0, half).join('\n') + '\n' + lines.value(half).left(20), false}};
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
            if (formatError)
                QVERIFY(messages.value(0) == std::pair(QMessageBox::Critical, text("Global", "msgFormatFileError")));
            else
                QVERIFY2(reporter.hasSource("OpenFromFile"), content.left(30));
        }
    }

    // Every kind of edit marks the label; closing it asks, and each answer does what it says.
    void closePrompt()
    {
        const int yes = QMessageBox::Yes, no = QMessageBox::No, cancel = QMessageBox::Cancel;
        const struct {
            QString edit;   // palette, resize, delete, none
            bool byMainWindow;
            int answer;     // 0: not asked
            bool giveName, closed, saved;
        } rows[] = {{"none", false, 0, false, true, false}, {"palette", false, yes, true, true, true},
                    {"palette", false, yes, false, false, false},   // the name dialog cancelled
                    {"resize", false, no, false, true, false}, {"delete", false, cancel, false, false, false},
                    {"palette", true, cancel, false, false, false}};   // the program keeps running
        const QString file = path("prompt.QLF");
        for (const auto& row : rows) {
            reset();
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
            QVERIFY2(doc->IsModified() == (row.edit != "none"), qPrintable(row.edit));
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
            const QString asked = text("frmDocument", "msgWantQuit") + " \"" + caption + "\"?";
            QVERIFY2(messages.size() == (row.answer ? 1 : 0) && (!row.answer || messages[0].second == asked),
                     qPrintable(row.edit));
            QVERIFY2(guard.isNull() == row.closed && QFile::exists(file) == row.saved, qPrintable(row.edit));
            QVERIFY(row.closed || (guard->IsModified() && w->isVisible()));
        }
    }

    // Each record of a received format file opens as a new untitled label; a damaged
    // or oversized file keeps what could be read and is reported.
    void importFormat()
    {
        const std::tuple<QString, int, bool> rows[] = {{"three", 3, false}, {"E2", 0, false},
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
            else if (kind == "E2")
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
            {"Fresh bread", true, 0}, {foreign, true, no}, {foreign, true, yes}, {foreign, false, no}};
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
    }

    void fileFiltersAndModelChooser()
    {
        QCOMPARE(QtFileFilter(kDataFileFilter), "Data Files (*.DAT);;All Files (*.*)");   // trailing bars
        // A list without parentheses; an odd count drops the last.
        QCOMPARE(QtFileFilter("Labels|*.QLF;*.qlf|Other"), "Labels (*.QLF *.qlf)");

        const Tables& t = ctx.tables;
        LabelTypeDialog chooser(t);
        QCOMPARE(chooser.cboScaleModal->itemText(1), t.g_arrScaleModel[1].SCALE_NAME);
        chooser.cboScaleModal->setCurrentIndex(1);
        chooser.reject();   // closed without OK: the first model stays chosen
        QCOMPARE(int(chooser.m_iScaleModelIndex), 0);
        chooser.findChild<QPushButton*>()->click();
        QCOMPARE(int(chooser.m_iScaleModelIndex), 1);
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
            for (int f = 0; f < 3; ++f)
                doc->ToggleField(f);
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
            QVERIFY2(fileRequests.size() == (cmd == pdf || cmd == png ? 1 : 0), qPrintable(tag));
            QVERIFY2(pages == (cmd == preview && written ? 1 : -1), qPrintable(tag));
            QVERIFY2(reporter.entries.size() == (!written && chosen ? 1 : 0), qPrintable(tag));
            QVERIFY2(doc->IsModified() == modified && QFileInfo::exists(file) == written, qPrintable(tag));
            if (written && cmd == png) {
                const QImage img(file);
                QCOMPARE(img.size(), RenderLabelToImage(doc->label(), doc->m_sngLabelScale()).size());
                QVERIFY(qAbs(img.width() - 1 - 58 * zoom * RenderScreenDpi() / 25.4) <= 1.0);
                QVERIFY(countPixels(img, [](QRgb p) { return qGray(p) < 128; }) > 0);
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
            const QString out = path(exportTo);
            const qsizetype before = ListScales(ctx.db()).size();
            fileAnswers << in << out;
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
            QCOMPARE(messages.size(), 2);
            const QString& said = messages[0].second;
            QVERIFY2(messages[0].first == icon, qPrintable(said));
            if (icon == QMessageBox::Critical)
                QVERIFY2(said.startsWith(text("frmScaleConfig", "msgCsvImportFailed")) && said.contains("No Such Model"),
                         qPrintable(said));
            else
                QVERIFY2(said.startsWith(text("frmScaleConfig", "msgCsvImported").arg(added).arg(skipped)), qPrintable(said));
            // The exported file holds the list as it now stands, and reads back.
            const bool exported = !exportTo.contains(u'/');
            QCOMPARE(messages[1].first, exported ? QMessageBox::Information : QMessageBox::Critical);
            QFile f(out);
            QCOMPARE(f.open(QIODevice::ReadOnly), exported);
            const auto records = exported ? ParseCsv(f.readAll(), nullptr) : std::nullopt;
            QVERIFY(!exported || (records && records->size() == now + 1));
        }
    }

    // Drawn at the device's pixels, not blank, each its own and unlike its disabled look;
    // the toolbar carries them.
    void icons()
    {
        QList<QImage> seen;
        for (CommandIcon kind : {CommandIcon::ZoomIn, CommandIcon::ZoomOut, CommandIcon::SendToScale,
                                 CommandIcon::ReceiveFromScale, CommandIcon::ScaleList}) {
            const QIcon icon = MakeCommandIcon(kind);
            const QImage img = icon.pixmap(QSize(24, 24), 2.0).toImage();
            const int painted = countPixels(img, [](QRgb p) { return qAlpha(p) > 0; });
            QVERIFY(img.size() == QSize(48, 48) && painted > 48 * 48 / 10 && painted < 48 * 48 && !seen.contains(img)
                    && icon.pixmap(QSize(24, 24), 2.0, QIcon::Disabled).toImage() != img);
            seen << img;
        }
        QCOMPARE(w->action(Cmd::tlbZoomIn)->icon().pixmap(QSize(24, 24), 2.0).toImage(), seen[0]);
    }

    // The choice, and text that stays readable on the dark palette.
    void themeChoice()
    {
        for (const auto& [quillon, gtk, dark] : {std::tuple("dark", "", true), {"light", "Adwaita:dark", false},
                                                 {"", "Adwaita-dark", true}, {"", "Adwaita", false}}) {
            qputenv("QUILLON_THEME", quillon);
            qputenv("GTK_THEME", gtk);
            QVERIFY2(WantsDarkTheme() == dark, gtk);
        }
        qunsetenv("QUILLON_THEME");
        qunsetenv("GTK_THEME");
        QVERIFY(DarkPalette().color(QPalette::Text).lightness() - DarkPalette().color(QPalette::Base).lightness() > 120);
    }
};

QTEST_MAIN(TestFrmMain)
#include "test_mainwindow.moc"
