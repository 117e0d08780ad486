#include "scale/scalelistdialog.h"

#include "context/appcontext.h"
#include "platform/database.h"
#include "platform/log.h"
#include "scale/scalelistimport.h"
#include "scale/scaleeditdialog.h"
#include "scale/scaledata.h"
#include "scale/transferjournalgui.h"
#include "scale/scaledialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QSaveFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {
const QString kPlacement = QStringLiteral("ScaleEdit");
// --- store column
constexpr int kStoreColumn = 3;
// --- end store column

// A button caption's mnemonic marker does not belong in a dialog title.
QString withoutAmpersand(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}
}

ScaleListDialog::ScaleListDialog(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmScaleConfig"));
    auto text = [&ctx](const char* key) { return GetLangString(QStringLiteral("frmScaleConfig"), QString::fromLatin1(key)); };

    const QString caption = text("Caption");
    setWindowTitle(caption);
    udtScaleEditCaption = MakeCaptionStrip(this, QStringLiteral("udtScaleEditCaption"), caption);

    lvwScale = MakeScaleList(this, text("lvwScaleNumber"), text("lvwIPAddress"), text("lvwScaleModel"));
    // --- store column
    lvwScale->setHeaderLabels({text("lvwScaleNumber"), text("lvwIPAddress"), text("lvwScaleModel"), text("lvwStore")});
    // --- end store column
    // Seven columns do not share the width evenly: each takes what it shows.
    lvwScale->header()->setSectionResizeMode(QHeaderView::Interactive);
    lvwScale->header()->setStretchLastSection(true);
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
    cmdImportCsv = new QPushButton(text("cmdImportCsv"), this);
    cmdImportCsv->setObjectName(QStringLiteral("cmdImportCsv"));
    cmdExportCsv = new QPushButton(text("cmdExportCsv"), this);
    cmdExportCsv->setObjectName(QStringLiteral("cmdExportCsv"));
    for (QPushButton* b : {cmdAddNew, cmdEdit, cmdDelete, cmdImportCsv, cmdExportCsv})
        b->setAutoDefault(false);
    connect(cmdImportCsv, &QPushButton::clicked, this, &ScaleListDialog::cmdImportCsv_Click);
    connect(cmdExportCsv, &QPushButton::clicked, this, &ScaleListDialog::cmdExportCsv_Click);
    connect(cmdAddNew, &QPushButton::clicked, this, &ScaleListDialog::cmdAddNew_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &ScaleListDialog::cmdEdit_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &ScaleListDialog::cmdDelete_Click);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAddNew);
    buttons->addWidget(cmdEdit);
    buttons->addWidget(cmdDelete);
    buttons->addSpacing(12);
    buttons->addWidget(cmdImportCsv);
    buttons->addWidget(cmdExportCsv);
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

    // Wide enough for the store and the last transfer beside each scale.
    RestoreDialogPlacement(this, kPlacement, 12000);
    RefreshList();
}

ScaleListDialog::~ScaleListDialog() = default;

void ScaleListDialog::RefreshList()
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
    for (const ScaleRow& r : rows) {
        items << new QTreeWidgetItem(QStringList{QString::number(r.SC_NO), r.SC_IP, r.SCALE_NAME});
        items.last()->setText(kStoreColumn, r.STORE); // --- store column
    }
    lvwScale->addTopLevelItems(items);
    ShowLastTransfers(lvwScale, m_ctx.db(), 1);
    for (int c = 0; c + 1 < lvwScale->columnCount(); ++c)
        lvwScale->resizeColumnToContents(c);
    lvwScale->clearSelection();
    for (int pos : positions) {
        if (pos < items.size())
            items[pos]->setSelected(true);
    }
}

int ScaleListDialog::runEditDialog(ScaleEditDialog& dlg)
{
    if (m_onEditDialog)
        m_onEditDialog(dlg);
    return dlg.exec();
}

void ScaleListDialog::cmdAddNew_Click()
{
    ScaleEditDialog dlg(m_ctx, this);
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
    AddScale(m_ctx.db(), ip, models[dlg.m_iScaleModalIndex].ID, dlg.m_strStore);
    RefreshList();
}

void ScaleListDialog::cmdEdit_Click()
{
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < lvwScale->topLevelItemCount() && !first; ++i) {
        if (lvwScale->topLevelItem(i)->isSelected())
            first = lvwScale->topLevelItem(i);
    }
    EditRow(first);
}

void ScaleListDialog::EditRow(QTreeWidgetItem* row)
{
    if (!row)
        return;
    lvwScale->scrollToItem(row);
    const QString oldIp = row->text(1);
    const QString modelName = row->text(2);
    ScaleEditDialog dlg(m_ctx, this);
    dlg.m_bAddNew = false;
    dlg.m_strIP = oldIp;
    dlg.m_strStore = row->text(kStoreColumn);
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
    ChangeScale(m_ctx.db(), oldIp, ip, models[dlg.m_iScaleModalIndex].ID, dlg.m_strStore);
    RefreshList();
}

void ScaleListDialog::cmdDelete_Click()
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

std::optional<QString> ScaleListDialog::askCsvFile(const QString& title, bool save)
{
    const QString filter = GetLangString(QStringLiteral("frmScaleConfig"), QStringLiteral("dlgCsvFilter"));
    if (m_askCsvFile)
        return m_askCsvFile(this, title, filter, save);
    // "desc|pattern|desc|pattern" into the dialog's "desc;;desc" form.
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList descs;
    for (int i = 0; i < parts.size(); i += 2)
        descs << parts[i];
    const QString qtFilter = descs.join(QStringLiteral(";;"));
    const QString path = save ? QFileDialog::getSaveFileName(this, title, QString(), qtFilter)
                              : QFileDialog::getOpenFileName(this, title, QString(), qtFilter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

void ScaleListDialog::showResult(QMessageBox::Icon icon, const QString& text)
{
    if (m_showResult) {
        m_showResult(this, icon, windowTitle(), text);
        return;
    }
    QMessageBox box(icon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

namespace {

// The notes of a run, a few of them: the rest are in the log.
QString notesText(const QStringList& notes)
{
    constexpr int kShown = 12;
    QString text = notes.mid(0, kShown).join(QLatin1Char('\n'));
    if (notes.size() > kShown)
        text += QStringLiteral("\n...");
    return text;
}

} // namespace

void ScaleListDialog::cmdImportCsv_Click()
{
    auto text = [this](const char* key) {
        return GetLangString(QStringLiteral("frmScaleConfig"), QString::fromLatin1(key));
    };
    const auto path = askCsvFile(withoutAmpersand(cmdImportCsv->text()), false);
    if (!path)
        return;
    QFile file(*path);
    // A scale list is a few lines per scale; anything far larger is not one.
    constexpr qint64 kMaxCsvBytes = 16 * 1024 * 1024;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxCsvBytes) {
        const QString why = file.isOpen() ? text("msgCsvTooLarge") : file.errorString();
        WriteLog(QStringLiteral("ImportScales %1: %2").arg(*path, why));
        showResult(QMessageBox::Critical, text("msgCsvImportFailed") + QStringLiteral("\n") + *path + QStringLiteral("\n") + why);
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    const scalelist::Report r = scalelist::ImportScales(m_ctx.db(), bytes);
    for (const QString& note : r.notes)
        WriteLog(QStringLiteral("ImportScales %1: %2").arg(*path, note));
    if (!r.ok) {
        WriteLog(QStringLiteral("ImportScales %1: %2").arg(*path, r.error));
        QString msg = text("msgCsvImportFailed") + QStringLiteral("\n") + *path + QStringLiteral("\n\n") + r.error;
        if (r.notes.size() > 1)
            msg += QStringLiteral("\n") + notesText(r.notes.mid(1));
        showResult(QMessageBox::Critical, msg);
        return;
    }
    RefreshList();
    QString msg = text("msgCsvImported").arg(r.added).arg(r.skipped);
    if (!r.notes.isEmpty())
        msg += QStringLiteral("\n\n") + notesText(r.notes);
    showResult(r.skipped > 0 ? QMessageBox::Warning : QMessageBox::Information, msg);
}

void ScaleListDialog::cmdExportCsv_Click()
{
    auto text = [this](const char* key) {
        return GetLangString(QStringLiteral("frmScaleConfig"), QString::fromLatin1(key));
    };
    const auto path = askCsvFile(withoutAmpersand(cmdExportCsv->text()), true);
    if (!path)
        return;
    QByteArray csv;
    const scalelist::Report r = scalelist::ExportScales(m_ctx.db(), &csv);
    QString why = r.ok ? QString() : r.error;
    if (why.isEmpty()) {
        QSaveFile file(*path);
        if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
            why = file.errorString();
    }
    if (!why.isEmpty()) {
        WriteLog(QStringLiteral("ExportScales %1: %2").arg(*path, why));
        showResult(QMessageBox::Critical, text("msgCsvExportFailed") + QStringLiteral("\n") + *path + QStringLiteral("\n") + why);
        return;
    }
    showResult(QMessageBox::Information, text("msgCsvExported").arg(r.added).arg(*path));
}

void ScaleListDialog::done(int r)
{
    if (!m_placementStored) {
        StoreDialogPlacement(this, kPlacement);
        m_placementStored = true;
    }
    QDialog::done(r);
}

void ShowScaleConfig(AppContext& ctx, QWidget* parent)
{
    ScaleListDialog dlg(ctx, parent);
    dlg.exec();
}

void ShowScaleConfig(QWidget* parent)
{
    ShowScaleConfig(App(), parent);
}

} // namespace quillon
