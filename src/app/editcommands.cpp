// The main window's editing commands: the clipboard, selecting, arranging several
// fields, the canvas's context menu, zoom to fit and the grid.
#include "app/commandicons.h"
#include "app/griddialog.h"
#include "app/sampledialog.h"
#include "app/mainwindow.h"
#include "context/texts.h"
#include "editor/documentwindow.h"
#include "editor/labelview.h"
#include "editor/propertygrid.h"
#include "render/labelpainter.h"
#include "platform/placement.h"
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QListWidget>
#include <QPointer>
#include <QVBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>

namespace quillon {

namespace {

// What a copy of fields puts on the clipboard.
const QString kFieldsMime = QStringLiteral("application/x-quillon-fields");

struct ArrangeCommand {
    Cmd id;
    const char* name;
    Arrange how;
    CommandIcon icon;
    int least;   // fields the command needs selected
};

constexpr ArrangeCommand kArrange[] = {
    {Cmd::mnuAlignLeft, "mnuAlignLeft", Arrange::AlignLeft, CommandIcon::AlignLeft, 2},
    {Cmd::mnuAlignCentre, "mnuAlignCentre", Arrange::AlignHCentre, CommandIcon::AlignCentre, 2},
    {Cmd::mnuAlignRight, "mnuAlignRight", Arrange::AlignRight, CommandIcon::AlignRight, 2},
    {Cmd::mnuAlignTop, "mnuAlignTop", Arrange::AlignTop, CommandIcon::AlignTop, 2},
    {Cmd::mnuAlignMiddle, "mnuAlignMiddle", Arrange::AlignVCentre, CommandIcon::AlignMiddle, 2},
    {Cmd::mnuAlignBottom, "mnuAlignBottom", Arrange::AlignBottom, CommandIcon::AlignBottom, 2},
    {Cmd::mnuDistributeH, "mnuDistributeH", Arrange::DistributeH, CommandIcon::DistributeH, 3},
    {Cmd::mnuDistributeV, "mnuDistributeV", Arrange::DistributeV, CommandIcon::DistributeV, 3},
    {Cmd::mnuSameWidth, "mnuSameWidth", Arrange::SameWidth, CommandIcon::SameWidth, 2},
    {Cmd::mnuSameHeight, "mnuSameHeight", Arrange::SameHeight, CommandIcon::SameHeight, 2},
};

const ArrangeCommand* arrangeCommand(Cmd id)
{
    for (const ArrangeCommand& a : kArrange)
        if (a.id == id)
            return &a;
    return nullptr;
}

bool clipboardHasFields()
{
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    return mime && mime->hasFormat(kFieldsMime);
}

} // namespace

void MainWindow::CreateEditMenus(QMenu* edit, QMenu* view)
{
    auto add = [this](QMenu* menu, Cmd id, const char* name, bool group, const QKeySequence& key = {}) {
        QAction* a = AddCommandControl(menu, id, QString::fromLatin1(name), group);
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    add(edit, Cmd::mnuEditCut, "mnuEditCut", true, QKeySequence::Cut);
    add(edit, Cmd::mnuEditCopy, "mnuEditCopy", false, QKeySequence::Copy);
    add(edit, Cmd::mnuEditPaste, "mnuEditPaste", false, QKeySequence::Paste);
    add(edit, Cmd::mnuEditDelete, "mnuEditDelete", false, QKeySequence::Delete);
    add(edit, Cmd::mnuEditSelectAll, "mnuEditSelectAll", false, QKeySequence::SelectAll);
    add(edit, Cmd::mnuEditText, "mnuEditText", true);
    add(edit, Cmd::mnuEditProperties, "mnuEditProperties", false, QKeySequence(Qt::ALT | Qt::Key_Return));
    add(edit, Cmd::mnuEditCheckLabel, "mnuEditCheckLabel", false, QKeySequence(Qt::Key_F7));
    add(edit, Cmd::mnuEditSample, "mnuEditSample", false);

    edit->addSeparator();
    m_arrangeMenu = edit->addMenu(GetLangString(kMainSection, QStringLiteral("mnuArrange")));
    m_arrangeMenu->setObjectName(QStringLiteral("mnuArrange"));
    m_actions.insert(int(Cmd::mnuArrange), m_arrangeMenu->menuAction());
    for (const ArrangeCommand& a : kArrange) {
        const bool group = a.id == Cmd::mnuAlignTop || a.id == Cmd::mnuDistributeH || a.id == Cmd::mnuSameWidth;
        add(m_arrangeMenu, a.id, a.name, group)->setIcon(MakeCommandIcon(a.icon));
    }

    add(view, Cmd::tlbZoomIn, "mnuViewZoomIn", true, QKeySequence(Qt::CTRL | Qt::Key_Plus));
    action(Cmd::tlbZoomIn)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    add(view, Cmd::tlbZoomOut, "mnuViewZoomOut", false, QKeySequence(Qt::CTRL | Qt::Key_Minus));
    add(view, Cmd::mnuViewZoomFit, "mnuViewZoomFit", false, QKeySequence(Qt::CTRL | Qt::Key_0))
        ->setIcon(MakeCommandIcon(CommandIcon::ZoomFit));
    add(view, Cmd::mnuViewPreview, "mnuViewPreview", true, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P))
        ->setCheckable(true);
    action(Cmd::mnuViewPreview)->setIcon(MakeCommandIcon(CommandIcon::Preview));
    add(view, Cmd::mnuViewGrid, "mnuViewGrid", false, QKeySequence(Qt::CTRL | Qt::Key_G))->setCheckable(true);
    add(view, Cmd::mnuViewSnapGrid, "mnuViewSnapGrid", false)->setCheckable(true);
    add(view, Cmd::mnuViewGridSettings, "mnuViewGridSettings", false);

    // The canvas's own menu shares the commands (and so their states).
    m_canvasMenu = new QMenu(this);
    m_canvasMenu->setObjectName(QStringLiteral("mnuCanvas"));
    for (Cmd id : {Cmd::mnuEditText, Cmd::mnuEditCut, Cmd::mnuEditCopy, Cmd::mnuEditPaste, Cmd::mnuEditDelete})
        m_canvasMenu->addAction(action(id));
    m_canvasMenu->addSeparator();
    m_canvasMenu->addMenu(m_arrangeMenu);
    m_canvasMenu->addSeparator();
    m_canvasMenu->addAction(action(Cmd::mnuEditProperties));
}

void MainWindow::CreateArrangeToolbar()
{
    QToolBar* bar = addToolBar(WithoutMnemonic(GetLangString(kMainSection, QStringLiteral("mnuArrange"))));
    bar->setObjectName(QStringLiteral("tlbArrange"));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->addAction(action(Cmd::mnuViewZoomFit));
    bar->addAction(action(Cmd::mnuViewPreview));
    bar->addSeparator();
    for (const ArrangeCommand& a : kArrange) {
        if (a.id == Cmd::mnuDistributeH || a.id == Cmd::mnuSameWidth)
            bar->addSeparator();
        bar->addAction(action(a.id));
    }
    for (QAction* a : bar->actions())
        if (!a->isSeparator())
            a->setToolTip(WithoutMnemonic(a->text()));
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &MainWindow::Update);
}

void MainWindow::EditCommand(Cmd id)
{
    DocumentWindow* doc = activeDocument();
    switch (id) {
    case Cmd::mnuViewGrid:
    case Cmd::mnuViewSnapGrid: {
        (id == Cmd::mnuViewGrid ? m_grid.visible : m_grid.snap) = action(id)->isChecked();
        m_grid.Store();
        for (DocumentWindow* d : documents())
            ApplyGrid(d);
        return;
    }
    case Cmd::mnuViewGridSettings: ShowGridSettings(); return;
    case Cmd::mnuEditSample: {
        SampleDialog dlg(m_sample, this);
        if (dlg.exec() != QDialog::Accepted)
            return;
        m_sample = dlg.item();
        StoreUserSample(m_sample);
        for (DocumentWindow* d : documents())
            ApplySample(d, d->labelView()->isPreview());
        return;
    }
    case Cmd::mnuViewPreview:
        // The choice is the window's, and the next new window's.
        if (doc) {
            ApplySample(doc, action(id)->isChecked());
            WriteUserSetting(QStringLiteral("PreviewSampleData"), action(id)->isChecked());
        }
        return;
    default: break;
    }
    // A shortcut pressed while the mouse still drags would edit under the drag's own step.
    if (!doc || doc->labelView()->isDragging())
        return;
    if (const ArrangeCommand* a = arrangeCommand(id)) {
        doc->ArrangeSelection(a->how);
        return;
    }
    switch (id) {
    case Cmd::mnuEditCut:
    case Cmd::mnuEditCopy: {
        const QByteArray data = doc->CopySelection();
        if (data.isEmpty())
            return;
        auto* mime = new QMimeData;
        mime->setData(kFieldsMime, data);
        QApplication::clipboard()->setMimeData(mime);
        if (id == Cmd::mnuEditCut)
            doc->DeleteSelection();
        break;
    }
    case Cmd::mnuEditPaste:
        if (const QMimeData* mime = QApplication::clipboard()->mimeData())
            doc->Paste(mime->data(kFieldsMime));
        break;
    case Cmd::mnuEditDelete: doc->DeleteSelection(); break;
    case Cmd::mnuEditSelectAll: doc->SelectAll(); break;
    case Cmd::mnuEditText: doc->EditFieldText(doc->label().m_iSelected); break;
    case Cmd::mnuEditProperties:
        m_paneProperty->show();
        m_paneProperty->raise();
        m_frmProperty->setFocus(Qt::ShortcutFocusReason);
        break;
    case Cmd::mnuViewZoomFit: doc->ZoomToFit(); break;
    case Cmd::mnuEditCheckLabel: ShowLabelCheck(doc); break;
    default: break;
    }
}

void MainWindow::UpdateEditCommands(DocumentWindow* doc)
{
    const int selected = doc ? int(doc->document().selection().size()) : 0;
    const int primary = doc ? doc->label().m_iSelected : -1;
    const qint32 type = doc && primary >= 0 ? doc->label().fieldType(primary) : -1;
    for (Cmd id : {Cmd::mnuEditCut, Cmd::mnuEditCopy, Cmd::mnuEditDelete})
        action(id)->setEnabled(selected > 0);
    action(Cmd::mnuEditPaste)->setEnabled(doc && clipboardHasFields());
    action(Cmd::mnuEditSelectAll)->setEnabled(doc != nullptr);
    action(Cmd::mnuEditText)->setEnabled(type == FT_TEXT || type == FT_SHOPNAME);
    action(Cmd::mnuEditProperties)->setEnabled(doc != nullptr);
    action(Cmd::mnuViewZoomFit)->setEnabled(doc != nullptr);
    action(Cmd::mnuEditCheckLabel)->setEnabled(doc != nullptr);
    for (const ArrangeCommand& a : kArrange)
        action(a.id)->setEnabled(selected >= a.least);
    m_arrangeMenu->menuAction()->setEnabled(selected >= 2);
    action(Cmd::mnuViewPreview)->setEnabled(doc != nullptr);
    action(Cmd::mnuViewPreview)->setChecked(doc && doc->labelView()->isPreview());
    action(Cmd::mnuViewGrid)->setChecked(m_grid.visible);
    action(Cmd::mnuViewSnapGrid)->setChecked(m_grid.snap);
    if (doc)
        ApplyGrid(doc);
}

void MainWindow::ShowLabelCheck(DocumentWindow* doc)
{
    // Beside the label, so the user can mend a field and look again.
    auto* dlg = new QDialog(this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setObjectName(QStringLiteral("frmCheckLabel"));
    dlg->setWindowTitle(WithoutMnemonic(GetLangString(kMainSection, QStringLiteral("mnuEditCheckLabel"))) + QStringLiteral(" - ")
                        + doc->Caption());
    auto* layout = new QVBoxLayout(dlg);
    auto* list = new QListWidget(dlg);
    list->setObjectName(QStringLiteral("lstMisfits"));
    layout->addWidget(list);
    const Label& label = doc->label();
    const auto& defs = label.tables().g_arrFieldDef;
    const SampleItem sample = SampleFor(doc);
    for (int i = 0; i < label.fieldCount(); ++i) {
        const FieldFit fit = FieldFitOf(label, i, sample);
        if (fit.fits)
            continue;
        auto* item = new QListWidgetItem(defs.value(i).Name + QStringLiteral(": ")
                                         + FitText(fit, label.fieldType(i) == FT_B1), list);
        item->setData(Qt::UserRole, i);
    }
    if (list->count() == 0)
        list->addItem(GetLangString(kMainSection, QStringLiteral("msgEveryFieldFits")));
    QPointer<DocumentWindow> target(doc);
    connect(list, &QListWidget::itemClicked, dlg, [target](QListWidgetItem* item) {
        const QVariant field = item->data(Qt::UserRole);
        if (target && field.isValid())
            target->SelectField(field.toInt());
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dlg);
    connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::close);
    layout->addWidget(buttons);
    dlg->resize(520, 300);
    dlg->show();
}

void MainWindow::ShowCanvasMenu(const QPoint& globalPos)
{
    Update();
    m_canvasMenu->popup(globalPos);
}

void MainWindow::ApplyGrid(DocumentWindow* doc)
{
    const GridSettings& g = m_grid;
    LabelView::GridOptions o;
    o.visible = g.visible;
    o.snapToGrid = g.snap;
    o.stepMM = g.StepMM(doc->label().GetMMPerKDot() / 1000.0f);
    doc->labelView()->SetGrid(o);
}

void MainWindow::ShowGridSettings()
{
    GridDialog dlg(m_grid, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_grid = dlg.settings();
    m_grid.Store();
    for (DocumentWindow* d : documents())
        ApplyGrid(d);
}

} // namespace quillon
