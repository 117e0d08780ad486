// The main window's commands and the document window driven through them.
#include "shelltestenv.h"
#include "app/aboutbox.h"
#include "app/mainwindow.h"
#include "app/labeltypedialog.h"
#include "app/zoom.h"
#include "editor/documentwindow.h"
#include "editor/propertygrid.h"
#include "editor/fieldpalette.h"
#include "editor/labelview.h"
#include "model/f52data.h"
#include "model/qlffile.h"
#include "platform/ini.h"
#include "scale/transfer.h"
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QLineEdit>
#include <QTimer>
#include <QUrl>
#include <memory>

using namespace quillon;
using namespace quillon::testing;

class TestFrmMain : public QObject {
    Q_OBJECT

    ShellTestEnv env;
    std::unique_ptr<MainWindow> w;

    MainWindow* makeWindow()
    {
        auto win = std::make_unique<MainWindow>(env.ctx);
        if (!win->Form_Load())
            return nullptr;
        win->SetModelChooser([] { return 0; });
        win->show();
        w = std::move(win);
        return w.get();
    }
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); QCoreApplication::processEvents(); }
    int placedField() const
    {
        // A field of a type every label can show; the first one will do.
        return env.ctx.tables.g_arrFieldDef.isEmpty() ? -1 : 0;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(env.setUp());
        QVERIFY(!env.ctx.tables.g_arrScaleModel.isEmpty());
    }
    void cleanupTestCase() { env.tearDown(); }

    void init()
    {
        env.fileAnswers.clear();
        env.fileRequests.clear();
        env.messageAnswers.clear();
        env.messages.clear();
        env.reporter.clear();
        QVERIFY(makeWindow());
    }

    void cleanup() { DiscardWindow(w); }

    void zoomArithmetic_data()
    {
        QTest::addColumn<float>("scale");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("percent");
        QTest::newRow("out from 100") << 1.0f << -1 << QString() << 90;
        QTest::newRow("in from 490") << 4.9f << 1 << QString() << 500;
        QTest::newRow("in at 500 stays") << 5.0f << 1 << QString() << 500;
        QTest::newRow("out from 60") << 0.6f << -1 << QString() << 50;
        QTest::newRow("out at 50 stays") << 0.5f << -1 << QString() << 50;
        QTest::newRow("in from 250") << 2.5f << 1 << QString() << 260;
        QTest::newRow("box 125 rounds to even") << 1.0f << 0 << QStringLiteral("125") << 120;
        QTest::newRow("box 135 rounds to even") << 1.0f << 0 << QStringLiteral("135") << 140;
        QTest::newRow("box 20% below range") << 1.0f << 0 << QStringLiteral("20%") << 50;
        QTest::newRow("box without number") << 1.0f << 0 << QStringLiteral("abc") << 50;
        QTest::newRow("box 120%") << 1.0f << 0 << QStringLiteral("120%") << 120;
        QTest::newRow("box huge") << 1.0f << 0 << QStringLiteral("1e30") << 500;
        QTest::newRow("box negative") << 1.0f << 0 << QStringLiteral("-300") << 50;
    }

    // The commands on a real document: the zoom it ends at and what the box shows.
    void zoomArithmetic()
    {
        QFETCH(float, scale);
        QFETCH(int, direction);
        QFETCH(QString, box);
        QFETCH(int, percent);
        DocumentWindow* doc = w->NewDocument(true);
        QVERIFY(doc);
        doc->ApplyLabelScale(scale);
        if (direction == 0) {
            w->zoomBox()->setEditText(box);
            w->Execute(Cmd::tlbZoomComboBox);
        } else {
            w->Execute(direction < 0 ? Cmd::tlbZoomOut : Cmd::tlbZoomIn);
        }
        QCOMPARE(qRound(doc->m_sngLabelScale() * 100), percent);
        QCOMPARE(w->zoomBox()->currentText(), QString::number(percent) + QLatin1Char('%'));
        QCOMPARE(ZoomBoxText(doc->m_sngLabelScale()), QString::number(percent) + QLatin1Char('%'));
    }

    void updateStates()
    {
        const QList<Cmd> needDoc{Cmd::mnuFileClose, Cmd::mnuFileSave, Cmd::mnuFileSaveAs, Cmd::mnuFileExport,
                                 Cmd::mnuSendToScale, Cmd::mnuEditUndo, Cmd::mnuEditRedo, Cmd::tlbZoomOut,
                                 Cmd::tlbZoomIn, Cmd::tlbZoomComboBox};
        const QList<Cmd> always{Cmd::mnuFileNew, Cmd::mnuFileOpen, Cmd::mnuFileImport, Cmd::mnuSendReceive,
                                Cmd::mnuEditOption, Cmd::mnuHelpAbout};
        w->Update();
        for (Cmd id : needDoc)
            QVERIFY2(!w->action(id)->isEnabled(), qPrintable(QString::number(int(id))));
        for (Cmd id : always)
            QVERIFY2(w->action(id)->isEnabled(), qPrintable(QString::number(int(id))));

        DocumentWindow* doc = w->NewDocument(true);
        QVERIFY(doc);
        for (Cmd id : {Cmd::mnuFileClose, Cmd::mnuFileSave, Cmd::mnuFileSaveAs, Cmd::mnuFileExport,
                       Cmd::mnuSendToScale, Cmd::tlbZoomOut, Cmd::tlbZoomIn, Cmd::tlbZoomComboBox})
            QVERIFY2(w->action(id)->isEnabled(), qPrintable(QString::number(int(id))));
        QVERIFY(!w->action(Cmd::mnuEditUndo)->isEnabled());
        QVERIFY(!w->action(Cmd::mnuEditRedo)->isEnabled());
        QCOMPARE(w->zoomBox()->currentText(), QStringLiteral("250%"));

        const int f = placedField();
        doc->ToggleField(f);
        QVERIFY(doc->label().m_arrFields[f].bUsed);
        QVERIFY(w->action(Cmd::mnuEditUndo)->isEnabled());
        QVERIFY(!w->action(Cmd::mnuEditRedo)->isEnabled());
        w->Execute(Cmd::mnuEditUndo);
        QVERIFY(!doc->label().m_arrFields[f].bUsed);
        QVERIFY(!w->action(Cmd::mnuEditUndo)->isEnabled());
        QVERIFY(w->action(Cmd::mnuEditRedo)->isEnabled());
        w->Execute(Cmd::mnuEditRedo);
        QVERIFY(doc->label().m_arrFields[f].bUsed);

        doc->label().m_bModified = false;
        w->Execute(Cmd::mnuFileClose);
        settle();
        QVERIFY(w->documents().isEmpty());
        QVERIFY(!w->action(Cmd::mnuFileSave)->isEnabled());
    }

    void languageChoice()
    {
        const QString before = env.ctx.tables.g_strLanguage;
        w->Execute(Cmd::mnuID_VIEW_LANGUAGE_CHINESE);
        QCOMPARE(ReadIniString("Setting", "Language", env.ctx.paths.g_strIniFile), QStringLiteral("Chinese"));
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].text, env.text("frmMain", "msgAvailableNextStart"));
        // The interface and its check mark stay on the running language.
        QCOMPARE(env.ctx.tables.g_strLanguage, before);
        QCOMPARE(w->action(Cmd::mnuID_VIEW_LANGUAGE_CHINESE)->isChecked(), before == QLatin1String("Chinese"));
        QCOMPARE(w->action(Cmd::mnuID_VIEW_LANGUAGE_ENGLISH)->isChecked(), before == QLatin1String("English"));
        WriteIniString("Setting", "Language", before, env.ctx.paths.g_strIniFile);
    }

    void placement_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<int>("expectTwips");
        QTest::newRow("stored number") << QStringLiteral("15000") << 15000;
        QTest::newRow("garbage falls back") << QStringLiteral("wide") << 6500;
        QTest::newRow("empty falls back") << QString() << 6500;
    }

    void placement()
    {
        QFETCH(QString, width);
        QFETCH(int, expectTwips);
        w.reset();
        {
            QSettings s(env.path("placement.ini"), QSettings::IniFormat);
            s.setValue("Settings/MainWidth", width);
        }
        QVERIFY(makeWindow());
        const double dpi = w->screen()->logicalDotsPerInch();
        // Never narrower than the window's minimum, which keeps the toolbar whole.
        QCOMPARE(w->width(), qMax(qRound(expectTwips * dpi / 1440.0), w->minimumWidth()));
        // Closing stores the size and a new window comes back with it.
        w->resize(1000, 700);
        w->close();
        w.reset();
        QVERIFY(makeWindow());
        QCOMPARE(w->size(), QSize(1000, 700));
    }

    void newCaptions()
    {
        const long start = w->m_lNewDocumentCount;
        w->SetModelChooser([] { return 1; });
        DocumentWindow* a = w->NewDocument(true);
        // The new window opens inside the visible part of the area.
        QVERIFY2(w->mdiArea()->viewport()->rect().contains(a->geometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(a->x()).arg(a->y()).arg(a->width()).arg(a->height())));
        DocumentWindow* b = w->NewDocument(true);
        QCOMPARE(a->Caption(), QStringLiteral("Quillon %1").arg(start + 1));
        QCOMPARE(b->Caption(), QStringLiteral("Quillon %1").arg(start + 2));
        QCOMPARE(int(b->label().m_iScaleModelIndex), qMin(1, int(env.ctx.tables.g_arrScaleModel.size()) - 1));
        a->close();
        settle();
        QCOMPARE(w->NewDocument(true)->Caption(), QStringLiteral("Quillon %1").arg(start + 3));

        // Without scale models there is nothing to choose: a message, no window.
        const auto models = env.ctx.tables.g_arrScaleModel;
        env.ctx.tables.g_arrScaleModel.clear();
        const int docs = int(w->documents().size());
        QVERIFY(!w->NewDocument(true));
        env.ctx.tables.g_arrScaleModel = models;
        QCOMPARE(int(w->documents().size()), docs);
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].text, env.text("frmMain", "msgNoScaleModel"));
    }

    void saveFlows()
    {
        const QString p1 = env.path("flow1.QLF");
        const QString p2 = env.path("flow2.QLF");
        DocumentWindow* doc = w->NewDocument(true);
        doc->ToggleField(placedField());
        QVERIFY(doc->IsModified());

        env.fileAnswers.enqueue(p1);
        w->Execute(Cmd::mnuFileSave);
        QCOMPARE(env.fileRequests.size(), 1);
        QCOMPARE(env.fileRequests[0].title, QStringLiteral("Save"));
        QVERIFY(env.fileRequests[0].save);
        QVERIFY(QFile::exists(p1));
        QCOMPARE(doc->Caption(), p1);
        QVERIFY(!doc->IsModified());

        // Titled now: the next save asks nothing.
        QFile::remove(p1);
        w->Execute(Cmd::mnuFileSave);
        QCOMPARE(env.fileRequests.size(), 1);
        QVERIFY(QFile::exists(p1));

        // Save As cancelled changes nothing.
        env.fileAnswers.enqueue(std::nullopt);
        w->Execute(Cmd::mnuFileSaveAs);
        QCOMPARE(env.fileRequests.last().title, QStringLiteral("Save As"));
        QCOMPARE(doc->Caption(), p1);
        QVERIFY(!QFile::exists(p2));

        env.fileAnswers.enqueue(p2);
        w->Execute(Cmd::mnuFileSaveAs);
        QCOMPARE(doc->Caption(), p2);
        QVERIFY(QFile::exists(p2));
        QCOMPARE(RecentFiles().value(0), p2);

        // Open with no document makes one; open with one reads into it.
        const Label saved = doc->label();
        doc->close();
        settle();
        QVERIFY(w->documents().isEmpty());
        env.fileAnswers.enqueue(p2);
        w->Execute(Cmd::mnuFileOpen);
        QCOMPARE(w->documents().size(), 1);
        DocumentWindow* opened = w->activeDocument();
        QCOMPARE(opened->Caption(), p2);
        QVERIFY(!opened->IsModified());
        QCOMPARE(opened->label().m_arrFields, saved.m_arrFields);

        env.fileAnswers.enqueue(p1);
        w->Execute(Cmd::mnuFileOpen);
        QCOMPARE(w->documents().size(), 1);
        QCOMPARE(opened->Caption(), p1);
    }

    void corruptFileKeepsDocument_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("formatError");   // 1 the format message, 0 a reported error, -1 either
        QTest::newRow("missing file") << QByteArray() << 0;
        QTest::newRow("another program's file") << QByteArray("\"Other Program\",0,1\r\n") << 1;
        QTest::newRow("cut off after the header") << QByteArray("HEADER") << 0;
        QTest::newRow("cut off in the fields") << QByteArray("HALF") << 0;
        QTest::newRow("binary garbage") << QByteArray("\x01\x02\xff\xfe\x00zz", 7) << -1;
    }

    void corruptFileKeepsDocument()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, formatError);
        // A valid file of another label to cut from.
        Label other(env.ctx.tables);
        other.m_iFormatNo = 42;
        for (int i = 0; i < other.fieldCount(); ++i)
            other.m_arrFields[i].bUsed = true;
        other.m_arrFields[0].sngX += 3;
        const QByteArray full = FormatFileBytes(other);
        const QList<QByteArray> lines = full.split('\n');
        if (content == "HEADER")
            content = lines.mid(0, 4).join('\n') + '\n';
        else if (content == "HALF")
            content = lines.mid(0, 4 + other.fieldCount() / 2).join('\n') + '\n' + lines.value(4 + other.fieldCount() / 2).left(20);

        const QString path = env.path("broken.QLF");
        QFile::remove(path);
        if (!content.isEmpty() || QByteArray(QTest::currentDataTag()) != "missing file") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }

        DocumentWindow* doc = w->NewDocument(true);
        doc->ToggleField(placedField());
        const Label before = doc->label();
        const QString caption = doc->Caption();
        QVERIFY(!doc->OpenFromFile(path));
        QCOMPARE(doc->label(), before);
        QCOMPARE(doc->Caption(), caption);
        QVERIFY(doc->IsModified());
        if (formatError < 0) {
            QVERIFY(env.messages.size() + env.reporter.entries.size() == 1);
        } else if (formatError) {
            QCOMPARE(env.messages.size(), 1);
            QCOMPARE(env.messages[0].icon, QMessageBox::Critical);
            QCOMPARE(env.messages[0].text, env.text("Global", "msgFormatFileError"));
        } else {
            QVERIFY(env.reporter.hasSource(QStringLiteral("OpenFromFile")));
        }
    }

    void closePrompt_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("giveName");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("saved");
        const int yes = QMessageBox::Yes, no = QMessageBox::No, cancel = QMessageBox::Cancel;
        QTest::newRow("palette, Yes, named") << "palette" << yes << true << true << true;
        QTest::newRow("palette, Yes, name dialog cancelled") << "palette" << yes << false << false << false;
        QTest::newRow("palette, No") << "palette" << no << false << true << false;
        QTest::newRow("palette, Cancel") << "palette" << cancel << false << false << false;
        QTest::newRow("handle resize, Cancel") << "resize" << cancel << false << false << false;
        QTest::newRow("handle resize, No") << "resize" << no << false << true << false;
        QTest::newRow("Delete key, Cancel") << "delete" << cancel << false << false << false;
        QTest::newRow("Delete key, Yes") << "delete" << yes << true << true << true;
    }

    void closePrompt()
    {
        QFETCH(QString, edit);
        QFETCH(int, answer);
        QFETCH(bool, giveName);
        QFETCH(bool, closed);
        QFETCH(bool, saved);
        const QString path = env.path("prompt.QLF");
        QFile::remove(path);
        DocumentWindow* doc = w->NewDocument(true);
        doc->label().m_bModified = false;
        const int f = placedField();
        if (edit == QLatin1String("palette")) {
            emit w->m_frmToolbox->itemClicked(f);
            QVERIFY(doc->label().m_arrFields[f].bUsed);
        } else if (edit == QLatin1String("delete")) {
            doc->label().m_arrFields[f].bUsed = true;
            doc->SelectField(f);
            doc->label().m_bModified = false;
            auto* canvas = doc->labelView()->findChild<QWidget*>(QStringLiteral("picCanvas"));
            QVERIFY(canvas);
            QTest::keyClick(canvas, Qt::Key_Delete);
            QVERIFY(!doc->label().m_arrFields[f].bUsed);
        } else {
            // What the canvas reports when a handle drag ends.
            doc->label().m_arrFields[f].bUsed = true;
            emit doc->labelView()->fieldEdited(f);
        }
        QVERIFY(doc->IsModified());
        const QString caption = doc->Caption();
        env.messageAnswers.enqueue(QMessageBox::StandardButton(answer));
        if (answer == QMessageBox::Yes)
            env.fileAnswers.enqueue(giveName ? std::optional<QString>(path) : std::nullopt);
        QPointer<DocumentWindow> guard(doc);
        w->Execute(Cmd::mnuFileClose);
        settle();
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].text,
                 env.text("frmDocument", "msgWantQuit") + QStringLiteral(" \"") + caption + QStringLiteral("\"?"));
        QCOMPARE(guard.isNull(), closed);
        QCOMPARE(QFile::exists(path), saved);
        if (!closed)
            QVERIFY(guard->IsModified());
    }

    void unmodifiedClosesSilently()
    {
        DocumentWindow* doc = w->NewDocument(true);
        QVERIFY(!doc->IsModified());
        w->Execute(Cmd::mnuFileClose);
        settle();
        QVERIFY(env.messages.isEmpty());
        QVERIFY(w->documents().isEmpty());
    }

    void mainCloseCancelledKeepsRunning()
    {
        DocumentWindow* doc = w->NewDocument(true);
        doc->ToggleField(placedField());
        env.messageAnswers.enqueue(QMessageBox::Cancel);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(w->documents().size(), 1);
    }

    void importFormat_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("windows");
        QTest::addColumn<bool>("reported");
        QTest::newRow("three records") << "three" << 3 << false;
        QTest::newRow("E2 reply") << "E2" << 0 << false;
        QTest::newRow("empty file") << "empty" << 0 << false;
        QTest::newRow("missing file") << "missing" << 0 << true;
        QTest::newRow("last record cut off") << "cut" << 2 << true;
        QTest::newRow("more records than a scale holds") << "many" << 99 << true;
    }

    void importFormat()
    {
        QFETCH(QString, kind);
        QFETCH(int, windows);
        QFETCH(bool, reported);
        QString line;
        const int count = kind == QLatin1String("many") ? 120 : 3;
        for (int n = 1; n <= count; ++n) {
            Label l(env.ctx.tables);
            l.m_iFormatNo = qint16(10 + n % 80);
            l.m_arrFields[0].bUsed = true;
            line += FormatRecord(l);
        }
        if (kind == QLatin1String("cut"))
            line.chop(10);
        else if (kind == QLatin1String("E2"))
            line = QStringLiteral("E2");
        else if (kind == QLatin1String("empty"))
            line.clear();
        const QString path = env.path("F52.DAT");
        QFile::remove(path);
        if (kind != QLatin1String("missing")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(line.toLatin1() + "\r\n");
        }
        env.fileAnswers.enqueue(path);
        w->Execute(Cmd::mnuFileImportFormat);
        QCOMPARE(env.fileRequests.value(0).title, env.text("frmMain", "msgImportFormatFrom"));
        const QList<DocumentWindow*> docs = w->documents();
        QCOMPARE(int(docs.size()), windows);
        for (int i = 0; i < docs.size(); ++i) {
            QCOMPARE(int(docs[i]->label().m_iFormatNo), 10 + (i + 1) % 80);
            QVERIFY(docs[i]->IsModified());
            QVERIFY(docs[i]->IsUntitled());
        }
        QCOMPARE(env.reporter.hasSource(QStringLiteral("ImportReceivedData")), reported);
    }

    void exportAllSkipsCancelled()
    {
        DocumentWindow* doc = w->NewDocument(true);
        doc->ToggleField(placedField());
        const QString f52 = env.path("x52.DAT"), f56 = env.path("x56.DAT"), f61 = env.path("x61.DAT");
        for (const QString& p : {f52, f56, f61})
            QFile::remove(p);
        env.fileAnswers << std::optional<QString>(f52) << std::nullopt << std::optional<QString>(f61);
        w->Execute(Cmd::mnuFileExportAll);
        QCOMPARE(env.fileRequests.size(), 3);
        QCOMPARE(env.fileRequests[0].title, env.text("frmMain", "msgExportFormatTo"));
        QCOMPARE(env.fileRequests[1].title, env.text("frmMain", "msgExportTextTo"));
        QCOMPARE(env.fileRequests[2].title, env.text("frmMain", "msgExportShopNameTo"));
        QVERIFY(QFile::exists(f52));
        QVERIFY(!QFile::exists(f56));
        QVERIFY(QFile::exists(f61));
    }

    void importTextNeedsDocument()
    {
        w->Execute(Cmd::mnuFileImportText);
        w->Execute(Cmd::mnuFileImportShopname);
        QVERIFY(env.fileRequests.isEmpty());
        QVERIFY(w->documents().isEmpty());
    }

    void dropOpensFiles()
    {
        Label l(env.ctx.tables);
        l.m_iFormatNo = 7;
        const QString qlf = env.path("dropped.qlf");
        QVERIFY(quillon::SaveToFile(l, qlf).ok);
        const QString f52 = env.path("dropped52.DAT");
        {
            QFile f(f52);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(FormatRecord(l).toLatin1() + "\r\n");
        }
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(qlf), QUrl::fromLocalFile(f52)});
        // The drop goes to the widget that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &drop);
        delete mime;
        QCOMPARE(w->documents().size(), 2);
        QCOMPARE(w->documents()[0]->Caption(), qlf);
        QCOMPARE(int(w->documents()[1]->label().m_iFormatNo), 7);
        QCOMPARE(RecentFiles().value(0), qlf);
    }

    void missingToolsSaySo()
    {
        w->Execute(Cmd::mnuEditMorviBarcode);
        QCOMPARE(env.messages.size(), 1);
        QVERIFY(env.messages[0].text.startsWith(env.text("frmMain", "msgToolNotInstalled")));

        AboutBox about(w.get());
        QCOMPARE(about.cmdSysInfo->isEnabled(), !AboutBox::SystemInfoTool().isEmpty());
        QCOMPARE(AboutBox::VersionText(), QStringLiteral("Version 1.0.0"));
    }

    // While the driver runs, nothing may start a second transfer or close the label
    // being sent; everything comes back when it has ended, and no exchange file stays.
    void transferLocksTheWindow()
    {
        const QString driver = env.programDir + QStringLiteral("vexowtcp");
        QFile f(driver);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nsleep 0.4\nshift 2\nout=\"\"\nfor a in \"$@\"; do out=\"$out$a:0;\"; done\n"
                "printf '%s' \"${out%;}\" > result\n");
        f.close();
        QFile::setPermissions(driver, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        w->SetScalePicker([](bool multi) { return std::make_pair(!multi, QStringLiteral("127.0.0.2;127.0.0.3")); });
        w->Execute(Cmd::mnuFileNew);
        DocumentWindow* doc = w->activeDocument();
        QVERIFY(doc);
        w->Execute(Cmd::mnuSendToScale);
        QVERIFY(w->transfer()->busy());
        QVERIFY(!w->action(Cmd::mnuSendToScale)->isEnabled());
        QVERIFY(!w->action(Cmd::mnuSendReceive)->isEnabled());
        QVERIFY(!doc->close());
        QVERIFY(!w->close());
        QCOMPARE(w->documents().size(), 1);

        QTRY_VERIFY_WITH_TIMEOUT(!w->transfer()->busy(), 20000);
        QVERIFY(w->action(Cmd::mnuSendToScale)->isEnabled());
        QVERIFY(w->action(Cmd::mnuSendReceive)->isEnabled());
        QVERIFY(w->transfer()->lastReport().contains(env.text("frmMain", "msgAllSuccessful")));
        const QStringList left = QDir(env.programDir).entryList({QStringLiteral("SM*"), QStringLiteral("~tmp*")});
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u',')));
        QFile::remove(driver);
    }

    void unstorableTextWarns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("written");
        const int yes = QMessageBox::Yes, no = QMessageBox::No;
        const QString foreign = QStringLiteral("Price \u6F22\u5B57");   // no single-byte page holds these
        QTest::newRow("plain text saves silently") << QStringLiteral("Fresh bread") << "save" << yes << false << true;
        QTest::newRow("save declined") << foreign << "save" << no << true << false;
        QTest::newRow("save confirmed") << foreign << "save" << yes << true << true;
        QTest::newRow("text export declined") << foreign << "export" << no << true << false;
        QTest::newRow("text export confirmed") << foreign << "export" << yes << true << true;
    }

    // Characters the code page cannot hold become "?" in the file: the user is asked first.
    void unstorableTextWarns()
    {
        QFETCH(QString, text);
        QFETCH(QString, command);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, written);
        const Tables& t = env.ctx.tables;
        if (t.m_iAnsiCodepage == 936)
            QSKIP("the workstation code page holds these characters");
        int textField = -1;
        for (int i = 0; i < t.g_arrFieldDef.size() && textField < 0; ++i)
            if (t.g_arrFieldDef[i].FieldType == FT_TEXT)
                textField = i;
        QVERIFY(textField >= 0);
        DocumentWindow* doc = w->NewDocument(true);
        FieldRecord& rec = doc->label().m_arrFields[textField];
        rec.bUsed = true;
        rec.iTextLine = 1;
        rec.strText[1] = text;
        const QString path = env.path(command == QLatin1String("save") ? "warn.QLF" : "warn56.DAT");
        QFile::remove(path);
        env.fileAnswers.enqueue(path);
        if (asked)
            env.messageAnswers.enqueue(QMessageBox::StandardButton(answer));
        w->Execute(command == QLatin1String("save") ? Cmd::mnuFileSave : Cmd::mnuFileExportText);
        QCOMPARE(env.messages.size(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(env.messages[0].icon, QMessageBox::Warning);
            QVERIFY(env.messages[0].text.contains(QChar(0x6F22)));
        }
        QCOMPARE(QFile::exists(path), written);
        QCOMPARE(doc->Caption() == path, written && command == QLatin1String("save"));
    }

    void loadEndsOnMissingFiles_data()
    {
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QByteArray>("replacement");
        QTest::newRow("character sizes missing") << "FieldFont.dsc" << QByteArray();
        QTest::newRow("catalogue missing") << "FormatField.*.dsc" << QByteArray();
        QTest::newRow("character sizes unreadable") << "FieldFont.dsc" << QByteArray("DIR");
    }

    // Without the character sizes or the catalogue no label can be drawn: the
    // window reports the file and the program ends.
    void loadEndsOnMissingFiles()
    {
        QFETCH(QString, remove);
        QFETCH(QByteArray, replacement);
        QTemporaryDir dir;
        const QString bin = dir.path() + QStringLiteral("/bin/");
        QDir().mkpath(bin);
        const QDir program(env.programDir);
        for (const QString& f : program.entryList(QDir::Files))
            QFile::copy(program.filePath(f), bin + f);
        QFile::copy(env.rootDir + QStringLiteral("Vexo2005.INI"), dir.path() + QStringLiteral("/Vexo2005.INI"));
        for (const QString& f : QDir(bin).entryList({remove}, QDir::Files))
            QVERIFY(QFile::remove(bin + f));
        if (replacement == "DIR")
            QVERIFY(QDir().mkpath(bin + remove));
        AppContext ctx;
        QVERIFY(ctx.InitApplication(bin));
        env.reporter.clear();
        MainWindow win(ctx);
        QVERIFY(!win.Form_Load());
        QVERIFY(!env.reporter.entries.isEmpty());
        const QString reported = env.reporter.entries[0].source + env.reporter.entries[0].description;
        QVERIFY2(reported.contains(remove.startsWith(QLatin1String("FieldFont")) ? QStringLiteral("FieldFont.dsc")
                                                                                : QStringLiteral("FormatField.")),
                 qPrintable(reported));
    }

    // A label with every field type, built only through the palette, the grid and the
    // text editor, saved and exported, opens again as the same label.
    void labelFromPanesRoundTrips()
    {
        const Tables& t = env.ctx.tables;
        DocumentWindow* doc = w->NewDocument(true);
        QVERIFY(doc);
        QSet<int> types;
        for (int i = 0; i < t.g_arrFieldDef.size(); ++i) {
            emit w->m_frmToolbox->itemClicked(i);
            QVERIFY(doc->label().m_arrFields[i].bUsed);
            QCOMPARE(int(doc->label().m_iSelected), i);
            types.insert(t.g_arrFieldDef[i].FieldType);
            // Through the grid, as the user types: a position in mm and a size in dots.
            emit w->m_frmProperty->propertyChanged(PROP_X, QStringLiteral("2.5"));
            emit w->m_frmProperty->propertyChanged(PROP_HEIGHT_DOT, QStringLiteral("40"));
            QCoreApplication::processEvents();
            if (t.g_arrFieldDef[i].FieldType == FT_TEXT || t.g_arrFieldDef[i].FieldType == FT_SHOPNAME) {
                QTimer::singleShot(0, this, [] {
                    QWidget* dlg = QApplication::activeModalWidget();
                    if (!dlg)
                        return;
                    if (auto* line = dlg->findChild<QLineEdit*>(QStringLiteral("txtContents")))
                        line->setText(QStringLiteral("Cr\u00e8me br\u00fbl\u00e9e, 100 g"));
                    if (auto* ok = dlg->findChild<QPushButton*>(QStringLiteral("cmdOK")))
                        ok->click();
                });
                emit doc->labelView()->editTextRequested(i);
                QCOMPARE(int(doc->label().m_arrFields[i].iTextLine), 1);
            }
        }
        QCOMPARE(types.size(), 12);
        QCOMPARE(doc->label().m_arrFields[0].sngX, 2.5f);

        const QString qlf = env.path("panes.QLF");
        env.fileAnswers.enqueue(qlf);
        env.fileAnswers.enqueue(env.path("panes52.DAT"));
        env.fileAnswers.enqueue(env.path("panes56.DAT"));
        env.fileAnswers.enqueue(env.path("panes61.DAT"));
        w->Execute(Cmd::mnuFileSave);
        w->Execute(Cmd::mnuFileExportAll);
        for (const char* f : {"panes.QLF", "panes52.DAT", "panes56.DAT", "panes61.DAT"})
            QVERIFY2(QFileInfo(env.path(f)).size() > 2, f);

        DocumentWindow* again = w->NewDocument(false);
        QVERIFY(again->OpenFromFile(qlf));
        QCOMPARE(again->label().m_arrFields, doc->label().m_arrFields);
        QCOMPARE(again->label().m_iHoriRulerWidth, doc->label().m_iHoriRulerWidth);
        QVERIFY(!again->IsModified());
    }

    void doubleClickEditsText_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    // The text editor's lines become one undoable edit; cancelling changes nothing.
    void doubleClickEditsText()
    {
        QFETCH(bool, confirm);
        int textField = -1;
        const Tables& t = env.ctx.tables;
        for (int i = 0; i < t.g_arrFieldDef.size() && textField < 0; ++i)
            if (t.g_arrFieldDef[i].FieldType == FT_SHOPNAME)
                textField = i;
        QVERIFY(textField >= 0);
        DocumentWindow* doc = w->NewDocument(true);
        emit w->m_frmToolbox->itemClicked(textField);
        doc->label().m_bModified = false;
        const FieldRecord before = doc->label().m_arrFields[textField];
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            QWidget* dlg = QApplication::activeModalWidget();
            if (!dlg || dlg->objectName() != QLatin1String("frmEditText"))
                return;
            seen = true;
            auto* line = dlg->findChild<QLineEdit*>(QStringLiteral("txtContents"));
            if (line)
                line->setText(QStringLiteral("Corner Deli"));
            auto* button = dlg->findChild<QPushButton*>(confirm ? QStringLiteral("cmdOK") : QStringLiteral("cmdCancel"));
            if (button)
                button->click();
            else
                static_cast<QDialog*>(dlg)->reject();
        });
        emit doc->labelView()->editTextRequested(textField);
        QVERIFY(seen);
        const FieldRecord& rec = doc->label().m_arrFields[textField];
        if (!confirm) {
            QCOMPARE(rec, before);
            QVERIFY(!doc->IsModified());
            return;
        }
        QCOMPARE(int(rec.iTextLine), 1);
        QCOMPARE(rec.strText[1], QStringLiteral("Corner Deli"));
        QVERIFY(doc->IsModified());
        w->Execute(Cmd::mnuEditUndo);
        QCOMPARE(doc->label().m_arrFields[textField], before);
    }

    void windowList()
    {
        DocumentWindow* a = w->NewDocument(true);
        DocumentWindow* b = w->NewDocument(true);
        auto* menu = w->findChild<QMenu*>(QStringLiteral("mnuWindow"));
        QVERIFY(menu);
        emit menu->aboutToShow();
        QList<QAction*> entries;
        for (QAction* act : menu->actions())
            if (act->data().toInt() == int(Cmd::mnuWindowList))
                entries << act;
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries[0]->text().endsWith(a->Caption()));
        QVERIFY(entries[1]->isChecked());
        entries[0]->trigger();
        QCOMPARE(w->activeDocument(), a);
        // Refilled, not appended to, each time the menu opens.
        emit menu->aboutToShow();
        int count = 0;
        for (QAction* act : menu->actions())
            count += act->data().toInt() == int(Cmd::mnuWindowList);
        QCOMPARE(count, 2);
        Q_UNUSED(b);
    }

    void fileFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qt");
        QTest::newRow("format files") << kFormatFileFilter << QStringLiteral("Quillon File(*.QLF);;All Files (*.*)");
        QTest::newRow("data files, trailing bars") << kDataFileFilter << QStringLiteral("Data Files (*.DAT);;All Files (*.*)");
        QTest::newRow("pattern list without parentheses") << QStringLiteral("Labels|*.QLF;*.qlf")
                                                            << QStringLiteral("Labels (*.QLF *.qlf)");
        QTest::newRow("odd count drops the last") << QStringLiteral("Labels|*.QLF|Other") << QStringLiteral("Labels (*.QLF)");
    }

    void fileFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(QtFileFilter(filter), qt);
    }

    void modelChooser()
    {
        const Tables& t = env.ctx.tables;
        QVERIFY(t.g_arrScaleModel.size() >= 2);
        LabelTypeDialog chooser(t);
        QCOMPARE(chooser.cboScaleModal->count(), int(t.g_arrScaleModel.size()));
        for (int i = 0; i < t.g_arrScaleModel.size(); ++i)
            QCOMPARE(chooser.cboScaleModal->itemText(i), t.g_arrScaleModel[i].SCALE_NAME);
        QCOMPARE(chooser.cboScaleModal->currentIndex(), 0);
        chooser.cboScaleModal->setCurrentIndex(1);
        // Closed without OK: the first model stays chosen.
        chooser.reject();
        QCOMPARE(int(chooser.m_iScaleModelIndex), 0);
        auto* ok = chooser.findChild<QPushButton*>();
        QVERIFY(ok);
        ok->click();
        QCOMPARE(int(chooser.m_iScaleModelIndex), 1);
    }

    void panesAndStatusBarToggle()
    {
        for (Cmd id : {Cmd::mnuViewStatusBar, Cmd::panPLUFields, Cmd::panProperty}) {
            QVERIFY(w->action(id)->isChecked());
            w->Execute(id);
            QVERIFY2(!w->action(id)->isChecked(), qPrintable(QString::number(int(id))));
            w->Execute(id);
            QVERIFY(w->action(id)->isChecked());
        }
    }
};

QTEST_MAIN(TestFrmMain)
#include "test_mainwindow.moc"
