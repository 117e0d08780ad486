#include "app/mainwindow.h"
#include "app/aboutbox.h"
#include "app/barcodeformatsdialog.h"
#include "app/commandicons.h"
#include "app/labelprint.h"
#include "app/labeltypedialog.h"
#include "app/recentfiles.h"
#include "app/sampledialog.h"
#include "app/theme.h"
#include "app/zoom.h"
#include "context/appcontext.h"
#include "context/barcodeformats.h"
#include "context/texts.h"
#include "editor/documentwindow.h"
#include "editor/fieldpalette.h"
#include "editor/labelview.h"
#include "editor/prompts.h"
#include "editor/propertygrid.h"
#include "model/datafile.h"
#include "model/f52data.h"
#include "model/numberspelling.h"
#include "model/receiveddata.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/ini.h"
#include "platform/log.h"
#include "platform/placement.h"
#include "platform/screenunits.h"
#include "render/labelpainter.h"
#include "scale/scalelistdialog.h"
#include "scale/resultpopup.h"
#include "scale/scalepicker.h"
#include "scale/transfer.h"
#include "scale/transferhistorydialog.h"
#include "scale/transferjournal.h"
#include <QAction>
#include <QSqlDatabase>
#include <algorithm>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace quillon {

namespace {

constexpr int kMinWidth = 900;
constexpr int kMinHeight = 600;

double logicalDpi(const QWidget* w)
{
    const QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInch() : 96.0;
}

} // namespace

MainWindow::MainWindow(AppContext& ctx, QWidget* parent) : QMainWindow(parent), m_ctx(ctx)
{
    ApplyDesktopTheme();
    m_mdi = new QMdiArea(this);
    // The area's own grey is a light-theme colour.
    if (WantsDarkTheme())
        m_mdi->setBackground(QApplication::palette().color(QPalette::Mid));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    setAcceptDrops(true);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this] { DocumentActivated(); });
}

MainWindow::~MainWindow()
{
    // The children outlive this part of the object: docks, the area and the
    // documents report visibility and activation while they are torn down.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

bool MainWindow::Form_Load()
{
    setWindowTitle(GetLangString("frmMain", "Caption"));
    if (!m_ctx.LoadFieldFonts())
        return false;
    RestorePlacement();

    m_statusText = new QLabel(windowTitle(), this);
    statusBar()->addWidget(m_statusText, 1);
    statusBar()->show();

    CreateMenus();
    CreateToolbar();
    if (!CreatePanes())
        return false;
    m_ctx.BuildCodePageTables();
    m_sample = LoadUserSample(m_ctx.tables.g_strLanguage);
    m_barcodeFormats = LoadBarcodeFormats(m_ctx.db().mainDb());
    CreateTransfer();
    Update();
    return true;
}

// --- building the command bars -------------------------------------------------

QAction* MainWindow::command(Cmd id, const QString& controlName)
{
    QAction* a = m_actions.value(int(id));
    if (a)
        return a;
    a = new QAction(GetLangString(kMainSection, controlName), this);
    a->setObjectName(controlName);
    a->setData(int(id));
    connect(a, &QAction::triggered, this, [this, id] { Execute(id); });
    m_actions.insert(int(id), a);
    return a;
}

QAction* MainWindow::AddCommandControl(QMenu* menu, Cmd id, const QString& controlName, bool beginGroup)
{
    if (beginGroup && !menu->isEmpty())
        menu->addSeparator();
    QAction* a = command(id, controlName);
    menu->addAction(a);
    return a;
}

void MainWindow::CreateMenus()
{
    auto submenu = [this](QMenu* parentMenu, const QString& name, bool beginGroup) {
        if (beginGroup && !parentMenu->isEmpty())
            parentMenu->addSeparator();
        QMenu* m = parentMenu->addMenu(GetLangString(kMainSection, name));
        m->setObjectName(name);
        connect(m, &QMenu::aboutToShow, this, &MainWindow::Update);
        return m;
    };
    auto topMenu = [this](const QString& name) {
        QMenu* m = menuBar()->addMenu(GetLangString(kMainSection, name));
        m->setObjectName(name);
        connect(m, &QMenu::aboutToShow, this, &MainWindow::Update);
        return m;
    };

    QMenu* file = topMenu(QStringLiteral("mnuFile"));
    AddCommandControl(file, Cmd::mnuFileNew, QStringLiteral("mnuFileNew"), false);
    AddCommandControl(file, Cmd::mnuFileOpen, QStringLiteral("mnuFileOpen"), false);
    AddCommandControl(file, Cmd::mnuFileSave, QStringLiteral("mnuFileSave"), false);
    AddCommandControl(file, Cmd::mnuFileSaveAs, QStringLiteral("mnuFileSaveAs"), false);
    AddCommandControl(file, Cmd::mnuFilePrintPreview, QStringLiteral("mnuFilePrintPreview"), true)
        ->setIcon(QIcon::fromTheme(QStringLiteral("document-print-preview")));
    AddCommandControl(file, Cmd::mnuFilePrint, QStringLiteral("mnuFilePrint"), false)
        ->setIcon(QIcon::fromTheme(QStringLiteral("document-print")));
    AddCommandControl(file, Cmd::mnuFileExportPdf, QStringLiteral("mnuFileExportPdf"), false);
    AddCommandControl(file, Cmd::mnuFileExportPng, QStringLiteral("mnuFileExportPng"), false);
    AddCommandControl(file, Cmd::mnuFileClose, QStringLiteral("mnuFileClose"), true);
    QMenu* exportMenu = submenu(file, QStringLiteral("mnuFileExport"), true);
    m_actions.insert(int(Cmd::mnuFileExport), exportMenu->menuAction());
    AddCommandControl(exportMenu, Cmd::mnuFileExportAll, QStringLiteral("mnuFileExportAll"), false);
    AddCommandControl(exportMenu, Cmd::mnuFileExportFormat, QStringLiteral("mnuFileExportFormat"), true);
    AddCommandControl(exportMenu, Cmd::mnuFileExportText, QStringLiteral("mnuFileExportText"), false);
    AddCommandControl(exportMenu, Cmd::mnuFileExportShopname, QStringLiteral("mnuFileExportShopname"), false);
    QMenu* importMenu = submenu(file, QStringLiteral("mnuFileImport"), false);
    m_actions.insert(int(Cmd::mnuFileImport), importMenu->menuAction());
    AddCommandControl(importMenu, Cmd::mnuFileImportAll, QStringLiteral("mnuFileImportAll"), false);
    AddCommandControl(importMenu, Cmd::mnuFileImportFormat, QStringLiteral("mnuFileImportFormat"), true);
    AddCommandControl(importMenu, Cmd::mnuFileImportText, QStringLiteral("mnuFileImportText"), false);
    AddCommandControl(importMenu, Cmd::mnuFileImportShopname, QStringLiteral("mnuFileImportShopname"), false);
    m_recentMenu = submenu(file, QStringLiteral("mnuFileRecent"), true);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::FillRecentFiles);
    AddCommandControl(file, Cmd::mnuFileExit, QStringLiteral("mnuFileExit"), true);

    QMenu* edit = topMenu(QStringLiteral("mnuEdit"));
    AddCommandControl(edit, Cmd::mnuEditUndo, QStringLiteral("mnuEditUndo"), false);
    AddCommandControl(edit, Cmd::mnuEditRedo, QStringLiteral("mnuEditRedo"), false);
    QMenu* view = topMenu(QStringLiteral("mnuView"));
    CreateEditMenus(edit, view);
    AddCommandControl(edit, Cmd::mnuEditOption, QStringLiteral("mnuEditOption"), true);
    AddCommandControl(edit, Cmd::mnuEditMorviBarcode, QStringLiteral("mnuEditMorviBarcode"), true);

    AddCommandControl(view, Cmd::panProperty, QStringLiteral("panProperty"), true)->setCheckable(true);
    AddCommandControl(view, Cmd::panPLUFields, QStringLiteral("panPLUFields"), false)->setCheckable(true);
    AddCommandControl(view, Cmd::mnuViewStatusBar, QStringLiteral("mnuViewStatusBar"), true)->setCheckable(true);
    QMenu* language = submenu(view, QStringLiteral("mnuLanguage"), true);
    m_actions.insert(int(Cmd::mnuLanguage), language->menuAction());
    AddCommandControl(language, Cmd::mnuID_VIEW_LANGUAGE_ENGLISH, QStringLiteral("mnuID_VIEW_LANGUAGE_ENGLISH"), false)
        ->setCheckable(true);
    AddCommandControl(language, Cmd::mnuID_VIEW_LANGUAGE_CHINESE, QStringLiteral("mnuID_VIEW_LANGUAGE_CHINESE"), false)
        ->setCheckable(true);
    AddCommandControl(language, Cmd::mnuID_VIEW_LANGUAGE_OTHER, QStringLiteral("mnuID_VIEW_LANGUAGE_OTHER"), false)
        ->setCheckable(true);

    QMenu* send = topMenu(QStringLiteral("mnuSend"));
    AddCommandControl(send, Cmd::mnuSendToScale, QStringLiteral("mnuSendToScale"), false);
    AddCommandControl(send, Cmd::mnuSendReceive, QStringLiteral("mnuSendReceive"), false);
    AddCommandControl(send, Cmd::mnuTransferHistory, QStringLiteral("mnuTransferHistory"), true);

    m_windowMenu = topMenu(QStringLiteral("mnuWindow"));
    AddCommandControl(m_windowMenu, Cmd::mnuWindowTileHori, QStringLiteral("mnuWindowTileHori"), false);
    AddCommandControl(m_windowMenu, Cmd::mnuWindowTileVert, QStringLiteral("mnuWindowTileVert"), false);
    AddCommandControl(m_windowMenu, Cmd::mnuWindowCascade, QStringLiteral("mnuWindowCascade"), false);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainWindow::FillWindowList);

    QMenu* help = topMenu(QStringLiteral("mnuHelp"));
    AddCommandControl(help, Cmd::mnuHelpAbout, QStringLiteral("mnuHelpAbout"), true);

    // Key bindings of the command table.
    action(Cmd::mnuFileNew)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    action(Cmd::mnuFileOpen)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    action(Cmd::mnuFileSave)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    action(Cmd::mnuFilePrint)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    action(Cmd::mnuEditUndo)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    action(Cmd::mnuEditRedo)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
}

void MainWindow::CreateToolbar()
{
    QToolBar* bar = addToolBar(GetLangString(kMainSection, QStringLiteral("tlbStandard")));
    bar->setObjectName(QStringLiteral("tlbStandard"));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    // Actions shared with the menus keep their menu caption; the toolbar button
    // shows the tool tip and status text of its own keys.
    auto button = [this, bar](Cmd id, const QString& controlName, const QString& tipKey, const QString& descKey,
                              const QIcon& icon, bool beginGroup) {
        if (beginGroup)
            bar->addSeparator();
        QAction* a = command(id, controlName);
        a->setIcon(icon);
        a->setToolTip(WithoutMnemonic(GetLangString(kMainSection, tipKey)));
        if (!descKey.isEmpty())
            a->setStatusTip(GetLangString(kMainSection, descKey));
        bar->addAction(a);
    };
    auto standard = [this](QStyle::StandardPixmap icon, const char* themeIcon) {
        return QIcon::fromTheme(QString::fromLatin1(themeIcon), style()->standardIcon(icon));
    };
    button(Cmd::mnuFileNew, "mnuFileNew", "tblStandardFileNewToolTip", "tblStandardFileNewDesc",
           standard(QStyle::SP_FileIcon, "document-new"), false);
    button(Cmd::mnuFileOpen, "mnuFileOpen", "tblStandardFileOpenToolTip", "tblStandardFileOpenDesc",
           standard(QStyle::SP_DialogOpenButton, "document-open"), false);
    button(Cmd::mnuFileSave, "mnuFileSave", "tblStandardFileSaveToolTip", "tblStandardFileSaveDesc",
           standard(QStyle::SP_DialogSaveButton, "document-save"), false);
    button(Cmd::mnuEditUndo, "mnuEditUndo", "tblStandardEditUndoToolTip", "tblStandardEditUndoDesc",
           standard(QStyle::SP_ArrowBack, "edit-undo"), false);
    button(Cmd::mnuEditRedo, "mnuEditRedo", "tblStandardEditRedoToolTip", "tblStandardEditRedoDesc",
           standard(QStyle::SP_ArrowForward, "edit-redo"), false);
    button(Cmd::tlbZoomOut, "tlbZoomOut", "tlbZoomOut", QString(), MakeCommandIcon(CommandIcon::ZoomOut), false);

    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setObjectName(QStringLiteral("tlbZoomComboBox"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    m_zoomBox->setToolTip(GetLangString(kMainSection, QStringLiteral("tlbZoomComboBox")));
    for (int p = 50; p <= 500; p += 50)
        m_zoomBox->addItem(QString::number(p) + QLatin1Char('%'));
    m_zoomBox->setMinimumContentsLength(5);
    QAction* zoomBoxAction = bar->addWidget(m_zoomBox);
    zoomBoxAction->setData(int(Cmd::tlbZoomComboBox));
    m_actions.insert(int(Cmd::tlbZoomComboBox), zoomBoxAction);
    // Any whole percentage typed applies as typed: no completion to a listed value.
    m_zoomBox->setCompleter(nullptr);
    connect(m_zoomBox, &QComboBox::textActivated, this, [this] { Execute(Cmd::tlbZoomComboBox); });
    connect(m_zoomBox->lineEdit(), &QLineEdit::returnPressed, this, [this] { Execute(Cmd::tlbZoomComboBox); });

    button(Cmd::tlbZoomIn, "tlbZoomIn", "tlbZoomIn", QString(), MakeCommandIcon(CommandIcon::ZoomIn), false);
    button(Cmd::mnuSendToScale, "mnuSendToScale", "mnuSendToScale", QString(),
           MakeCommandIcon(CommandIcon::SendToScale), true);
    button(Cmd::mnuSendReceive, "mnuSendReceive", "mnuSendReceive", QString(),
           MakeCommandIcon(CommandIcon::ReceiveFromScale), false);
    button(Cmd::mnuEditOption, "mnuEditOption", "mnuEditOption", QString(),
           MakeCommandIcon(CommandIcon::ScaleList), true);
    button(Cmd::mnuHelpAbout, "mnuHelpAbout", "mnuHelpAbout", QString(),
           standard(QStyle::SP_MessageBoxInformation, "help-about"), true);
    CreateArrangeToolbar();
}

bool MainWindow::CreatePanes()
{
    m_panePalette = new QDockWidget(WithoutMnemonic(GetLangString(kMainSection, QStringLiteral("panPLUFields"))), this);
    m_panePalette->setObjectName(QStringLiteral("panPLUFields"));
    m_frmToolbox = new FieldPalette(m_panePalette);
    m_panePalette->setWidget(m_frmToolbox);
    addDockWidget(Qt::LeftDockWidgetArea, m_panePalette);

    m_paneProperty = new QDockWidget(WithoutMnemonic(GetLangString(kMainSection, QStringLiteral("panProperty"))), this);
    m_paneProperty->setObjectName(QStringLiteral("panProperty"));
    m_frmProperty = new PropertyGrid(m_paneProperty);
    m_paneProperty->setWidget(m_frmProperty);
    addDockWidget(Qt::RightDockWidgetArea, m_paneProperty);
    resizeDocks({m_panePalette, m_paneProperty}, {200, 240}, Qt::Horizontal);

    for (QDockWidget* d : {m_panePalette, m_paneProperty})
        connect(d, &QDockWidget::visibilityChanged, this, &MainWindow::Update);

    connect(m_frmToolbox, &FieldPalette::itemClicked, this, [this](int field) {
        if (DocumentWindow* doc = activeDocument())
            doc->ToggleField(field);
    });
    // Queued: the grid is rebuilt by the change, so its own signal must have returned first.
    connect(m_frmProperty, &PropertyGrid::propertyChanged, this,
            [this](int tag, const QString& value) {
                if (DocumentWindow* doc = activeDocument())
                    doc->PropertyChanged(tag, value);
            },
            Qt::QueuedConnection);

    if (!m_ctx.LoadFieldCatalogue(m_frmToolbox->catalogueCallbacks()))
        return false;
    m_frmToolbox->ResetToolbox(nullptr);
    m_frmProperty->ResetProperty(nullptr);
    return true;
}

QDockWidget* MainWindow::pane(Cmd id) const
{
    if (id == Cmd::panPLUFields)
        return m_panePalette;
    if (id == Cmd::panProperty)
        return m_paneProperty;
    return nullptr;
}

// --- placement -------------------------------------------------------------------

void MainWindow::RestorePlacement()
{
    const double dpi = logicalDpi(this);
    auto px = [dpi](int twips) { return int(qRound(twips * dpi / kTwipsPerInch)); };
    const int left = px(ReadPlacement(QStringLiteral("MainLeft"), 1000));
    const int top = px(ReadPlacement(QStringLiteral("MainTop"), 1000));
    // A stored size too small to use (or negative) would hide the window.
    const int width = px(ReadPlacement(QStringLiteral("MainWidth"), 6500));
    const int height = px(ReadPlacement(QStringLiteral("MainHeight"), 6500));
    // The menus, the toolbar and both panes need room; the stored size may be smaller.
    const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    QSize least(kMinWidth, kMinHeight);
    if (scr)
        least = least.boundedTo(scr->availableGeometry().size());
    setMinimumSize(least);
    move(left, top);
    resize(width, height);
}

void MainWindow::StorePlacement()
{
    if (isMinimized())
        return;
    const double dpi = logicalDpi(this);
    auto twips = [dpi](int px) { return int(qRound(px * kTwipsPerInch / dpi)); };
    WritePlacement(QStringLiteral("MainLeft"), twips(x()));
    WritePlacement(QStringLiteral("MainTop"), twips(y()));
    WritePlacement(QStringLiteral("MainWidth"), twips(width()));
    WritePlacement(QStringLiteral("MainHeight"), twips(height()));
}

// --- documents ------------------------------------------------------------------

DocumentWindow* MainWindow::activeDocument() const
{
    QMdiSubWindow* w = m_mdi->activeSubWindow();
    if (!w) {
        // Offscreen and while the frame itself is inactive, the area reports no
        // active window; the current one is still the one the commands act on.
        w = m_mdi->currentSubWindow();
    }
    return qobject_cast<DocumentWindow*>(w);
}

QList<DocumentWindow*> MainWindow::documents() const
{
    QList<DocumentWindow*> docs;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder))
        if (auto* d = qobject_cast<DocumentWindow*>(w))
            docs << d;
    return docs;
}

void MainWindow::AttachDocument(DocumentWindow* doc)
{
    doc->SetPanes(m_frmToolbox, m_frmProperty);
    doc->setWindowIcon(style()->standardIcon(QStyle::SP_FileIcon));
    connect(doc, &DocumentWindow::stateChanged, this, &MainWindow::Update);
    connect(doc, &DocumentWindow::statusText, this, [this](const QString& text) {
        if (m_statusText)
            m_statusText->setText(text);
    });
    connect(doc, &DocumentWindow::documentClosed, this, [this] {
        m_frmToolbox->ResetToolbox(nullptr);
        m_frmProperty->ResetProperty(nullptr);
    });
    connect(doc, &DocumentWindow::contextMenuRequested, this, &MainWindow::ShowCanvasMenu);
    connect(doc, &DocumentWindow::saved, this, [this, doc] { LabelFileSaved(doc); });
    connect(doc, &QObject::destroyed, this, &MainWindow::Update, Qt::QueuedConnection);
    // Large enough to show a label whole, but never larger than the area (it would
    // open scrolled half out of sight); the label then zooms to fit it.
    const QSize room = m_mdi->viewport()->size();
    if (room.width() > 100 && room.height() > 100)
        doc->resize(QSize(900, 700).boundedTo(room - QSize(48, 48)));
    doc->installEventFilter(this);
    m_mdi->addSubWindow(doc);
    doc->show();
    m_mdi->setActiveSubWindow(doc);
    ApplyGrid(doc);
    ApplySample(doc, ReadUserSetting(QStringLiteral("PreviewSampleData"), false).toBool());
    doc->ZoomToFit();
}

void MainWindow::DocumentActivated()
{
    DocumentWindow* doc = activeDocument();
    if (doc)
        doc->Form_Activate();
    // The status bar follows the active document's selection.
    if (m_statusText)
        m_statusText->setText(doc ? doc->StatusText() : QString());
    Update();
}

// --- Execute and Update -----------------------------------------------------------

void MainWindow::Execute(Cmd id)
{
    switch (id) {
    case Cmd::mnuID_VIEW_LANGUAGE_ENGLISH: ChooseLanguage(QStringLiteral("English")); break;
    case Cmd::mnuID_VIEW_LANGUAGE_CHINESE: ChooseLanguage(QStringLiteral("Chinese")); break;
    case Cmd::mnuID_VIEW_LANGUAGE_OTHER: ChooseLanguage(QStringLiteral("Other")); break;
    case Cmd::mnuFileNew: NewDocument(true); break;
    case Cmd::mnuFileOpen: OpenDocument(); break;
    case Cmd::mnuFileExit: close(); return;
    case Cmd::mnuFileImportAll: ImportAll(); break;
    case Cmd::mnuFileImportFormat: ImportFormat(); break;
    case Cmd::mnuFileImportText: ImportText(); break;
    case Cmd::mnuFileImportShopname: ImportShopName(); break;
    case Cmd::mnuEditOption: ShowScaleList(); break;
    case Cmd::mnuEditMorviBarcode: EditBarcodeFormats(); break;
    case Cmd::mnuSendReceive: ReceiveFromScale(); break;
    case Cmd::mnuTransferHistory: ShowTransferHistory(); break;
    case Cmd::mnuViewStatusBar: statusBar()->setVisible(statusBar()->isHidden()); break;
    case Cmd::mnuViewGrid:
    case Cmd::mnuViewSnapGrid:
    case Cmd::mnuViewGridSettings:
    case Cmd::mnuViewPreview:
    case Cmd::mnuEditCheckLabel:
    case Cmd::mnuEditSample:
    case Cmd::mnuEditCut: case Cmd::mnuEditCopy: case Cmd::mnuEditPaste: case Cmd::mnuEditDelete:
    case Cmd::mnuEditSelectAll: case Cmd::mnuEditText: case Cmd::mnuEditProperties: case Cmd::mnuViewZoomFit:
    case Cmd::mnuAlignLeft: case Cmd::mnuAlignRight: case Cmd::mnuAlignTop: case Cmd::mnuAlignBottom:
    case Cmd::mnuAlignCentre: case Cmd::mnuAlignMiddle: case Cmd::mnuDistributeH: case Cmd::mnuDistributeV:
    case Cmd::mnuSameWidth: case Cmd::mnuSameHeight:
        EditCommand(id);
        break;
    case Cmd::panPLUFields:
    case Cmd::panProperty: {
        QDockWidget* d = pane(id);
        d->setVisible(d->isHidden());
        break;
    }
    case Cmd::mnuHelpAbout: {
        AboutBox about(this);
        about.exec();
        break;
    }
    default: {
        DocumentWindow* doc = activeDocument();
        if (!doc)
            break;
        switch (id) {
        case Cmd::mnuFileClose: doc->close(); break;
        case Cmd::mnuFileSave: mnuFileSave_Click(); break;
        case Cmd::mnuFileSaveAs: SaveDocumentAs(); break;
        case Cmd::mnuFileExportAll: ExportAll(); break;
        case Cmd::mnuFileExportFormat: ExportFormat(); break;
        case Cmd::mnuFileExportText: ExportText(); break;
        case Cmd::mnuFileExportShopname: ExportShopName(); break;
        case Cmd::mnuFilePrintPreview: PrintPreview(); break;
        case Cmd::mnuFilePrint: PrintDocument(); break;
        case Cmd::mnuFileExportPdf: ExportPdf(); break;
        case Cmd::mnuFileExportPng: ExportPng(); break;
        case Cmd::mnuEditUndo: doc->Undo(); break;
        case Cmd::mnuEditRedo: doc->Redo(); break;
        case Cmd::mnuSendToScale: SendToScales(); break;
        case Cmd::mnuWindowCascade: m_mdi->cascadeSubWindows(); break;
        case Cmd::mnuWindowTileHori: TileWindows(true); break;
        case Cmd::mnuWindowTileVert: TileWindows(false); break;
        case Cmd::tlbZoomOut:
        case Cmd::tlbZoomIn:
        case Cmd::tlbZoomComboBox: Zoom(id); break;
        default: break;
        }
    }
    }
    Update();
}

void MainWindow::Update()
{
    if (m_actions.isEmpty())
        return;
    DocumentWindow* doc = activeDocument();
    const bool hasDoc = doc != nullptr;
    for (Cmd id : {Cmd::mnuFileClose, Cmd::mnuFileSave, Cmd::mnuFileSaveAs, Cmd::mnuFileExport,
                   Cmd::mnuSendToScale, Cmd::tlbZoomOut, Cmd::tlbZoomIn, Cmd::mnuFilePrintPreview,
                   Cmd::mnuFilePrint, Cmd::mnuFileExportPdf, Cmd::mnuFileExportPng}) {
        if (QAction* a = action(id))
            a->setEnabled(hasDoc);
    }
    // The export entries follow their submenu, so a shortcut cannot reach them either.
    for (Cmd id : {Cmd::mnuFileExportAll, Cmd::mnuFileExportFormat, Cmd::mnuFileExportText,
                   Cmd::mnuFileExportShopname})
        action(id)->setEnabled(hasDoc);
    // One transfer at a time: the commands come back when the driver has ended.
    const bool transferring = m_transfer && m_transfer->busy();
    if (transferring) {
        action(Cmd::mnuSendToScale)->setEnabled(false);
        action(Cmd::mnuSendReceive)->setEnabled(false);
        action(Cmd::mnuFileClose)->setEnabled(false);
    } else {
        action(Cmd::mnuSendReceive)->setEnabled(true);
    }
    action(Cmd::mnuEditUndo)->setEnabled(hasDoc && doc->document().undo().canUndo());
    action(Cmd::mnuEditRedo)->setEnabled(hasDoc && doc->document().undo().canRedo());
    action(Cmd::tlbZoomComboBox)->setEnabled(hasDoc);
    m_zoomBox->setEnabled(hasDoc);
    // What the user is typing stays; otherwise the box follows the zoom, however it changed.
    if (hasDoc && !(m_zoomBox->hasFocus() && m_zoomBox->lineEdit()->isModified()))
        m_zoomBox->setEditText(ZoomBoxText(doc->m_sngLabelScale()));
    for (Cmd id : {Cmd::mnuWindowCascade, Cmd::mnuWindowTileHori, Cmd::mnuWindowTileVert})
        action(id)->setEnabled(hasDoc);

    UpdateEditCommands(doc);
    action(Cmd::mnuViewStatusBar)->setChecked(!statusBar()->isHidden());
    action(Cmd::panPLUFields)->setChecked(m_panePalette && !m_panePalette->isHidden());
    action(Cmd::panProperty)->setChecked(m_paneProperty && !m_paneProperty->isHidden());
    const QString& lang = m_ctx.tables.g_strLanguage;
    action(Cmd::mnuID_VIEW_LANGUAGE_ENGLISH)->setChecked(lang == QLatin1String("English"));
    action(Cmd::mnuID_VIEW_LANGUAGE_CHINESE)->setChecked(lang == QLatin1String("Chinese"));
    action(Cmd::mnuID_VIEW_LANGUAGE_OTHER)->setChecked(lang == QLatin1String("Other"));
}

void MainWindow::ChooseLanguage(const QString& language)
{
    // The interface keeps its language until the next start.
    if (WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), language, m_ctx.paths.g_strIniFile))
        AskUser(this, QMessageBox::Information, windowTitle(), GetLangString(kMainSection, QStringLiteral("msgAvailableNextStart")));
}

void MainWindow::Zoom(Cmd id)
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    int p = 0;
    if (id == Cmd::tlbZoomOut)
        p = ZoomStepPercent(doc->m_sngLabelScale(), -1);
    else if (id == Cmd::tlbZoomIn)
        p = ZoomStepPercent(doc->m_sngLabelScale(), +1);
    else
        p = ZoomBoxPercent(m_zoomBox->currentText());
    if (p > 0)
        doc->ApplyLabelScale(float(p) / 100.0f);
    m_zoomBox->setEditText(ZoomBoxText(doc->m_sngLabelScale()));
    // A confirmed value hands the keys back to the label, as the arrow keys expect.
    if (id == Cmd::tlbZoomComboBox && m_zoomBox->hasFocus())
        doc->labelView()->setFocus(Qt::OtherFocusReason);
}

void MainWindow::TileWindows(bool horizontal)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::StackingOrder))
        if (w->isVisible() && !w->isMinimized())
            windows << w;
    if (windows.isEmpty())
        return;
    const QRect area = m_mdi->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        // Horizontal tiling stacks full-width windows; vertical puts them side by side.
        if (horizontal) {
            const int h = area.height() / n;
            w->setGeometry(0, i * h, area.width(), h);
        } else {
            const int wd = area.width() / n;
            w->setGeometry(i * wd, 0, wd, area.height());
        }
    }
}

void MainWindow::EditBarcodeFormats()
{
    QSqlDatabase db = m_ctx.db().mainDb();
    Result r;
    m_barcodeFormats = LoadBarcodeFormats(db, &r);
    const QString notStored = GetLangString(QStringLiteral("frmBarcodeFormats"), QStringLiteral("msgNotStored"));
    if (!r) {
        WriteLog(QStringLiteral("EditBarcodeFormats: ") + r.error);
        AskUser(this, QMessageBox::Critical, windowTitle(), notStored + QStringLiteral("\n") + r.error);
        return;
    }
    DocumentWindow* doc = activeDocument();
    BarcodeFormatsDialog dlg(m_barcodeFormats, doc ? doc->Caption() : QString(), doc ? doc->BarcodeFormatName() : QString(),
                             m_sample, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    r = SaveBarcodeFormats(db, dlg.formats());
    if (!r) {
        WriteLog(QStringLiteral("EditBarcodeFormats: ") + r.error);
        AskUser(this, QMessageBox::Critical, windowTitle(), notStored + QStringLiteral("\n") + r.error);
        return;
    }
    m_barcodeFormats = dlg.formats();
    if (doc) {
        doc->SetBarcodeFormatName(dlg.labelFormat());
        // An untitled label keeps its choice in the window until it is saved.
        if (!doc->IsUntitled())
            LabelFileSaved(doc);
    }
    // Formats may have changed under every window's label.
    for (DocumentWindow* d : documents()) {
        const QString name = d->BarcodeFormatName();
        if (std::none_of(m_barcodeFormats.cbegin(), m_barcodeFormats.cend(),
                         [&name](const BarcodeFormat& f) { return f.name == name; }))
            d->SetBarcodeFormatName(QString());
        ApplySample(d, d->labelView()->isPreview());
    }
}

SampleItem MainWindow::SampleFor(const DocumentWindow* doc) const
{
    if (doc && !doc->BarcodeFormatName().isEmpty())
        for (const BarcodeFormat& f : m_barcodeFormats)
            if (f.name == doc->BarcodeFormatName())
                return WithBarcodeFormat(m_sample, f);
    return m_sample;
}

void MainWindow::ApplySample(DocumentWindow* doc, bool preview)
{
    doc->labelView()->SetSample(SampleFor(doc), preview);
}

void MainWindow::LabelFileOpened(DocumentWindow* doc, const QString& path)
{
    doc->SetBarcodeFormatName(LabelBarcodeFormat(m_ctx.db().mainDb(), path));
    ApplySample(doc, doc->labelView()->isPreview());
}

void MainWindow::LabelFileSaved(DocumentWindow* doc)
{
    const Result r = SetLabelBarcodeFormat(m_ctx.db().mainDb(), doc->Caption(), doc->BarcodeFormatName());
    if (!r)
        WriteLog(QStringLiteral("SetLabelBarcodeFormat %1: %2").arg(doc->Caption(), r.error));
}

void MainWindow::FillWindowList()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    const QList<DocumentWindow*> docs = documents();
    if (docs.isEmpty())
        return;
    m_windowListActions << m_windowMenu->addSeparator();
    DocumentWindow* active = activeDocument();
    int n = 0;
    for (DocumentWindow* doc : docs) {
        ++n;
        QAction* a = m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(n).arg(doc->Caption()));
        a->setData(int(Cmd::mnuWindowList));
        a->setCheckable(true);
        a->setChecked(doc == active);
        QPointer<DocumentWindow> target(doc);
        connect(a, &QAction::triggered, this, [this, target] {
            if (target)
                m_mdi->setActiveSubWindow(target);
        });
        m_windowListActions << a;
    }
}

void MainWindow::FillRecentFiles()
{
    m_recentMenu->clear();
    const QStringList files = RecentFiles();
    int n = 0;
    for (const QString& path : files) {
        ++n;
        QAction* a = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(n).arg(path));
        connect(a, &QAction::triggered, this, [this, path] {
            if (!QFileInfo::exists(path)) {
                RemoveRecentFile(path);
                ReportError(QStringLiteral("OpenFromFile ") + path, QStringLiteral("The file does not exist."));
                return;
            }
            OpenInNewDocument(path);
        });
    }
    m_recentMenu->setEnabled(true);
    if (files.isEmpty()) {
        QAction* none = m_recentMenu->addAction(QStringLiteral("-"));
        none->setEnabled(false);
    }
}

// --- scale communication ------------------------------------------------------------

void MainWindow::ShowScaleList()
{
    ScaleListDialog dlg(m_ctx, this);
    // The CSV buttons ask through the same prompts as the file commands.
    dlg.m_askCsvFile = [](QWidget* parent, const QString& title, const QString& filter, bool save) {
        return AskFileName(parent, {title, filter, save, {}});
    };
    dlg.m_showResult = [](QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
        AskUser(parent, icon, title, text);
    };
    dlg.exec();
}

void MainWindow::CreateTransfer()
{
    TransferCallbacks cb;
    cb.hasActiveDocument = [this] { return activeDocument() != nullptr; };
    cb.exportFormatData = [this](const QString& path) {
        DocumentWindow* doc = activeDocument();
        return doc && doc->ExportFormatData(path);
    };
    cb.exportTextData = [this](const QString& path, int fieldType) {
        DocumentWindow* doc = activeDocument();
        return doc && doc->ExportTextData(path, fieldType);
    };
    cb.importReceivedData = [this](const QString& f, const QString& t, const QString& s, int model) {
        ImportReceivedData(f, t, s, model);
    };
    cb.labelName = [this] {
        DocumentWindow* doc = activeDocument();
        return doc ? QFileInfo(doc->Caption()).fileName() : QString();
    };
    cb.pickScales = [this](bool multi) {
        const QStringList preselected = std::exchange(m_preselectedScales, {});
        if (m_pickScales) {
            const auto [cancel, scales] = m_pickScales(multi);
            return ScalePick{cancel, scales};
        }
        ScalePicker picker(m_ctx, this);
        picker.m_bMultiSelect = multi;
        picker.m_iDeptID = -1;
        picker.m_preselected = preselected;
        picker.Show();
        return ScalePick{picker.m_bCancel, picker.m_strScales};
    };
    m_transfer = new TransferController(m_ctx, this, std::move(cb), this);
    statusBar()->addPermanentWidget(m_transfer->createProgressWidget(statusBar()));
    connect(m_transfer, &TransferController::busyChanged, this, [this] { Update(); });
    // Only a send's report has a CSV; its pop-up offers the resend of the scales that failed.
    connect(m_transfer, &TransferController::finished, this, [this] {
        const QStringList failed = FailedAddresses(m_transfer->lastOutcomes());
        ResultPopup* popup = ResultPopup::current();
        if (m_transfer->lastReportCsv().isEmpty() || failed.isEmpty() || !popup)
            return;
        DocumentWindow* doc = activeDocument();
        const QString label = doc ? QFileInfo(doc->Caption()).fileName() : QString();
        popup->addActionButton(GetLangString(kMainSection, QStringLiteral("cmdSendAgainFailed")),
                               [this, failed, label] { SendAgain(failed, label); });
    });
}

void MainWindow::ShowTransferHistory()
{
    TransferHistoryDialog dlg(m_ctx, this);
    dlg.m_askCsvFile = [](QWidget* parent, const QString& title) {
        return AskFileName(parent,
                           {title, GetLangString(QStringLiteral("frmScaleConfig"), QStringLiteral("dlgCsvFilter")), true, {}});
    };
    dlg.m_sendAgain = [this](const QStringList& addresses, const QString& label) {
        // After the history has closed: the picker belongs over the main window.
        QTimer::singleShot(0, this, [this, addresses, label] { SendAgain(addresses, label); });
    };
    dlg.exec();
}

void MainWindow::SendAgain(const QStringList& addresses, const QString& label)
{
    if (!m_transfer || m_transfer->busy())
        return;
    DocumentWindow* doc = activeDocument();
    // The scales failed a particular label; another one must not go out in its name.
    if (!doc || (!label.isEmpty() && QFileInfo(doc->Caption()).fileName() != label)) {
        AskUser(this, QMessageBox::Warning, QString(),
                GetLangString(kMainSection, QStringLiteral("msgSendAgainOtherLabel")).arg(label));
        return;
    }
    m_preselectedScales = addresses;
    m_transfer->SendToScales();
    m_preselectedScales.clear();
}

void MainWindow::SendToScales()
{
    if (m_transfer)
        m_transfer->SendToScales();
}

void MainWindow::ReceiveFromScale()
{
    if (m_transfer)
        m_transfer->ReceiveFromScale();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A document may not go away under a running transfer: it is the one being sent,
    // and the received labels open into the area when the driver ends.
    if (event->type() == QEvent::Close && m_transfer && m_transfer->busy()) {
        event->ignore();
        statusBar()->showMessage(GetLangString(kMainSection, QStringLiteral("msgTransferRunning")), 5000);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- window events --------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_transfer && m_transfer->busy()) {
        event->ignore();
        statusBar()->showMessage(GetLangString(kMainSection, QStringLiteral("msgTransferRunning")), 5000);
        return;
    }
    // The most recently opened document first; one that stays open keeps the program running.
    const QList<DocumentWindow*> docs = documents();
    for (auto it = docs.rbegin(); it != docs.rend(); ++it) {
        if (!(*it)->close()) {
            event->ignore();
            Update();
            return;
        }
    }
    StorePlacement();
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    bool any = false;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile()) {
            OpenInNewDocument(path);
            any = true;
        }
    }
    if (any)
        event->acceptProposedAction();
}

} // namespace quillon
