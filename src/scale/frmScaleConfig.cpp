#include "scale/frmScaleConfig.h"

#include "app/startup.h"
#include "platform/database.h"
#include "scale/frmScaleEdit.h"
#include "scale/scaledata.h"
#include "scale/scaledialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {
const QString kPlacement = QStringLiteral("ScaleEdit");
}

frmScaleConfig::frmScaleConfig(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmScaleConfig"));
    auto text = [&ctx](const char* key) { return ctx.db().GetLangString(QStringLiteral("frmScaleConfig"), QString::fromLatin1(key)); };

    const QString caption = text("Caption");
    setWindowTitle(caption);
    udtScaleEditCaption = new QLabel(caption, this);
    udtScaleEditCaption->setObjectName(QStringLiteral("udtScaleEditCaption"));
    QFont bold = udtScaleEditCaption->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    udtScaleEditCaption->setFont(bold);
    udtScaleEditCaption->setContentsMargins(6, 4, 6, 4);
    udtScaleEditCaption->setAutoFillBackground(true);
    udtScaleEditCaption->setBackgroundRole(QPalette::Mid);

    lvwScale = new QTreeWidget(this);
    lvwScale->setObjectName(QStringLiteral("lvwScale"));
    lvwScale->setRootIsDecorated(false);
    lvwScale->setUniformRowHeights(true);
    lvwScale->setAllColumnsShowFocus(true);
    lvwScale->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwScale->setHeaderLabels({text("lvwScaleNumber"), text("lvwIPAddress"), text("lvwScaleModel")});
    lvwScale->header()->setSectionResizeMode(QHeaderView::Stretch);
    connect(lvwScale, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* row) { EditRow(row); });

    cmdAddNew = new QPushButton(text("cmdAddNew"), this);
    cmdAddNew->setObjectName(QStringLiteral("cmdAddNew"));
    cmdEdit = new QPushButton(text("cmdEdit"), this);
    cmdEdit->setObjectName(QStringLiteral("cmdEdit"));
    cmdDelete = new QPushButton(text("cmdDelete"), this);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    cmdOK = new QPushButton(text("cmdOK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    for (QPushButton* b : {cmdAddNew, cmdEdit, cmdDelete})
        b->setAutoDefault(false);
    connect(cmdAddNew, &QPushButton::clicked, this, &frmScaleConfig::cmdAddNew_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmScaleConfig::cmdEdit_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmScaleConfig::cmdDelete_Click);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAddNew);
    buttons->addWidget(cmdEdit);
    buttons->addWidget(cmdDelete);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(udtScaleEditCaption);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addWidget(lvwScale, 1);
    body->addLayout(buttons);
    layout->addLayout(body, 1);

    RestoreDialogPlacement(this, kPlacement);
    RefreshList();
}

frmScaleConfig::~frmScaleConfig() = default;

void frmScaleConfig::RefreshList()
{
    // Highlight is kept by position: the rows may have moved after a change.
    QList<int> positions;
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        if (lvwScale->topLevelItem(i)->isSelected())
            positions << i;
    }
    const QList<ScaleRow> rows = ListScales(m_ctx.db());
    lvwScale->clear();
    QList<QTreeWidgetItem*> items;
    for (const ScaleRow& r : rows)
        items << new QTreeWidgetItem(QStringList{QString::number(r.SC_NO), r.SC_IP, r.SCALE_NAME});
    lvwScale->addTopLevelItems(items);
    lvwScale->clearSelection();
    for (int pos : positions) {
        if (pos < items.size())
            items[pos]->setSelected(true);
    }
}

int frmScaleConfig::runEditDialog(frmScaleEdit& dlg)
{
    if (m_onEditDialog)
        m_onEditDialog(dlg);
    return dlg.exec();
}

void frmScaleConfig::cmdAddNew_Click()
{
    frmScaleEdit dlg(m_ctx, this);
    dlg.m_bAddNew = true;
    dlg.m_iScaleModalIndex = 0;
    dlg.m_strIP.clear();
    dlg.m_validate = [this](const QString& ip) {
        const QString problem = ScaleAddressProblem(ip);
        if (!problem.isEmpty())
            return problem;
        if (ScaleExists(m_ctx.db(), ip))
            return tr("A scale with this address is already in the list.");
        return QString();
    };
    runEditDialog(dlg);
    if (dlg.m_bCancel)
        return;
    const QString ip = dlg.m_strIP;
    // Checked again here: the dialog is not the only way a value can arrive.
    if (!IsDottedIPv4(ip) || ScaleExists(m_ctx.db(), ip) || GetScaleNoFromIP(ip) == 0)
        return;
    const auto& models = m_ctx.tables.g_arrScaleModel;
    if (dlg.m_iScaleModalIndex < 0 || dlg.m_iScaleModalIndex >= models.size())
        return;
    AddScale(m_ctx.db(), ip, models[dlg.m_iScaleModalIndex].ID);
    RefreshList();
}

void frmScaleConfig::cmdEdit_Click()
{
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < lvwScale->topLevelItemCount() && !first; ++i) {
        if (lvwScale->topLevelItem(i)->isSelected())
            first = lvwScale->topLevelItem(i);
    }
    EditRow(first);
}

void frmScaleConfig::EditRow(QTreeWidgetItem* row)
{
    if (!row)
        return;
    lvwScale->scrollToItem(row);
    const QString oldIp = row->text(1);
    const QString modelName = row->text(2);
    frmScaleEdit dlg(m_ctx, this);
    dlg.m_bAddNew = false;
    dlg.m_strIP = oldIp;
    dlg.m_iScaleModalIndex = 0;
    const auto& models = m_ctx.tables.g_arrScaleModel;
    for (int i = 0; i < models.size(); ++i) {
        if (models[i].SCALE_NAME == modelName) {
            dlg.m_iScaleModalIndex = qint16(i);
            break;
        }
    }
    dlg.m_validate = [this, oldIp](const QString& ip) {
        const QString problem = ScaleAddressProblem(ip);
        if (!problem.isEmpty())
            return problem;
        if (ip != oldIp && ScaleExists(m_ctx.db(), ip))
            return tr("A scale with this address is already in the list.");
        return QString();
    };
    runEditDialog(dlg);
    if (dlg.m_bCancel)
        return;
    const QString ip = dlg.m_strIP;
    if (!IsDottedIPv4(ip) || GetScaleNoFromIP(ip) == 0)
        return;
    if (dlg.m_iScaleModalIndex < 0 || dlg.m_iScaleModalIndex >= models.size())
        return;
    ChangeScale(m_ctx.db(), oldIp, ip, models[dlg.m_iScaleModalIndex].ID);
    RefreshList();
}

void frmScaleConfig::cmdDelete_Click()
{
    QStringList addresses;
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        if (lvwScale->topLevelItem(i)->isSelected())
            addresses << lvwScale->topLevelItem(i)->text(1);
    }
    for (const QString& ip : addresses)
        DeleteScale(m_ctx.db(), ip);
    RefreshList();
}

void frmScaleConfig::done(int r)
{
    if (!m_placementStored) {
        StoreDialogPlacement(this, kPlacement);
        m_placementStored = true;
    }
    QDialog::done(r);
}

void ShowScaleConfig(AppContext& ctx, QWidget* parent)
{
    frmScaleConfig dlg(ctx, parent);
    dlg.exec();
}

void ShowScaleConfig(QWidget* parent)
{
    ShowScaleConfig(App(), parent);
}

} // namespace quillon
