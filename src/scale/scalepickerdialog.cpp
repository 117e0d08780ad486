#include "scale/scalepickerdialog.h"

#include "context/appcontext.h"
#include "platform/database.h"
#include "platform/ini.h"
#include "scale/scaledata.h"
#include "scale/scaledialog.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {
const QString kPlacement = QStringLiteral("ScaleSelect");
constexpr int kStateRole = Qt::UserRole + 1;

// The program whose exit code tells whether an address answers: the "Ping" key
// of section "Transfer", the system's ping when unset.
QString pingProgram(AppContext& ctx)
{
    const QString p = ReadIniString(QStringLiteral("Transfer"), QStringLiteral("Ping"), ctx.paths.g_strIniFile);
    return p.isEmpty() ? QStringLiteral("ping") : p;
}
} // namespace

ScalePickerDialog::ScalePickerDialog(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmScaleSelect"));
    auto text = [&ctx](const char* key) { return GetLangString(QStringLiteral("frmScaleSelect"), QString::fromLatin1(key)); };

    const QString caption = text("Caption");
    setWindowTitle(caption);
    udtScaleSelectCaption = MakeCaptionStrip(this, QStringLiteral("udtScaleSelectCaption"), caption);

    lvwScale = MakeScaleList(this, text("lvwScaleNumber"), text("lvwIPAddress"), text("lvwScaleModel"));
    lvwScale->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvwScale, &QTreeWidget::itemChanged, this, &ScalePickerDialog::rowChanged);
    connect(lvwScale, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* row) { RowDoubleClicked(row); });

    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    auto addMenu = [this, &text](const char* name, void (ScalePickerDialog::*slot)()) {
        QAction* a = mnuPopup->addAction(text(name));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
    };
    addMenu("mnuSelect", &ScalePickerDialog::mnuSelect_Click);
    addMenu("mnuUnselect", &ScalePickerDialog::mnuUnselect_Click);
    mnuPopup->addSeparator();
    addMenu("mnuSelectAll", &ScalePickerDialog::mnuSelectAll_Click);
    addMenu("mnuUnselectAll", &ScalePickerDialog::mnuUnselectAll_Click);
    connect(lvwScale, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { mnuPopup->popup(lvwScale->viewport()->mapToGlobal(pos)); });

    auto legend = [this, &text](int state, const char* label, const char* name) {
        auto* pic = new QLabel(this);
        pic->setPixmap(PingStateIcon(state));
        auto* lbl = new QLabel(text(label), this);
        lbl->setObjectName(QString::fromLatin1(label));
        pic->setObjectName(QString::fromLatin1(name));
        auto* box = new QHBoxLayout;
        box->setSpacing(4);
        box->addWidget(pic);
        box->addWidget(lbl);
        return box;
    };
    auto* legends = new QHBoxLayout;
    legends->addLayout(legend(PingChecking, "lblChecking", "picChecking"));
    legends->addSpacing(16);
    legends->addLayout(legend(PingOK, "lblPingOK", "picPingOK"));
    legends->addSpacing(16);
    legends->addLayout(legend(PingTimeOut, "lblTimeOut", "picTimeOut"));
    legends->addStretch(1);

    cmdOK = new QPushButton(text("cmdOK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(text("cmdCancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &ScalePickerDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    tmrCheckPing = new QTimer(this);
    tmrCheckPing->setObjectName(QStringLiteral("tmrCheckPing"));
    tmrCheckPing->setInterval(50);
    connect(tmrCheckPing, &QTimer::timeout, this, &ScalePickerDialog::tmrCheckPing_Timer);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(udtScaleSelectCaption);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addWidget(lvwScale, 1);
    body->addLayout(legends);
    body->addLayout(buttons);
    layout->addLayout(body, 1);

    RestoreDialogPlacement(this, kPlacement);
}

ScalePickerDialog::~ScalePickerDialog()
{
    stopPings();
}

int ScalePickerDialog::exec()
{
    Form_Load();
    return QDialog::exec();
}

void ScalePickerDialog::Form_Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_bCancel = true;
    m_strScales.clear();

    const QString program = pingProgram(m_ctx);
    const QList<ScaleRow> rows = ListScales(m_ctx.db());
    m_updatingChecks = true;
    for (const ScaleRow& r : rows) {
        auto* row = new QTreeWidgetItem(QStringList{QString::number(r.SC_NO), r.SC_IP, r.SCALE_NAME});
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        const bool ticked = m_preselected.isEmpty() ? !m_bJustOneSelected : m_preselected.contains(r.SC_IP);
        row->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
        lvwScale->addTopLevelItem(row);
        // Anything but a plain dotted address never reaches the ping's command line.
        if (!IsDottedIPv4(r.SC_IP)) {
            setState(row, PingInvalid);
            row->setToolTip(1, tr("Not a valid IPv4 address"));
            continue;
        }
        setState(row, PingChecking);
        auto* p = new QProcess(this);
        p->setWorkingDirectory(m_ctx.paths.g_strAppPath);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->setStandardErrorFile(QProcess::nullDevice());
        // iputils' ping takes a fractional reply time-out in seconds.
        p->start(program, {QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-W"), QStringLiteral("1.5"), r.SC_IP});
        if (p->state() == QProcess::NotRunning && p->error() == QProcess::FailedToStart) {
            delete p;
            continue;
        }
        m_pings << Ping{p, row};
    }
    m_updatingChecks = false;
    if (!m_pings.isEmpty())
        tmrCheckPing->start();
}

void ScalePickerDialog::tmrCheckPing_Timer()
{
    tmrCheckPing->stop();
    for (auto it = m_pings.begin(); it != m_pings.end();) {
        QProcess* p = it->process;
        if (p->state() != QProcess::NotRunning) {
            ++it;
            continue;
        }
        // A ping that never started leaves its row "checking"; the row can still be chosen.
        if (p->error() != QProcess::FailedToStart) {
            const bool answered = p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
            setState(it->row, answered ? PingOK : PingTimeOut);
        }
        p->deleteLater();
        it = m_pings.erase(it);
    }
    if (!m_pings.isEmpty())
        tmrCheckPing->start();
}

void ScalePickerDialog::setState(QTreeWidgetItem* row, int state)
{
    const bool guard = m_updatingChecks;
    m_updatingChecks = true;
    row->setData(0, kStateRole, state);
    row->setIcon(0, QIcon(PingStateIcon(state)));
    m_updatingChecks = guard;
}

int ScalePickerDialog::pingState(int row) const
{
    QTreeWidgetItem* item = lvwScale->topLevelItem(row);
    return item ? item->data(0, kStateRole).toInt() : 0;
}

int ScalePickerDialog::pendingPings() const
{
    return int(m_pings.size());
}

void ScalePickerDialog::rowChanged(QTreeWidgetItem* row, int column)
{
    if (m_updatingChecks || column != 0 || !m_bJustOneSelected)
        return;
    // Single selection: whatever the click did, the clicked row ends up the only tick.
    m_updatingChecks = true;
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        QTreeWidgetItem* r = lvwScale->topLevelItem(i);
        r->setCheckState(0, r == row ? Qt::Checked : Qt::Unchecked);
    }
    m_updatingChecks = false;
}

void ScalePickerDialog::RowDoubleClicked(QTreeWidgetItem* row)
{
    if (!row)
        return;
    m_updatingChecks = true;
    if (m_bJustOneSelected) {
        for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
            QTreeWidgetItem* r = lvwScale->topLevelItem(i);
            r->setCheckState(0, r == row ? Qt::Checked : Qt::Unchecked);
        }
    } else {
        row->setCheckState(0, row->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    m_updatingChecks = false;
}

void ScalePickerDialog::setAllChecks(bool checked, bool highlightedOnly)
{
    m_updatingChecks = true;
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        QTreeWidgetItem* r = lvwScale->topLevelItem(i);
        if (!highlightedOnly || r->isSelected())
            r->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
    m_updatingChecks = false;
}

void ScalePickerDialog::mnuSelect_Click() { setAllChecks(true, true); }
void ScalePickerDialog::mnuUnselect_Click() { setAllChecks(false, true); }
void ScalePickerDialog::mnuSelectAll_Click() { setAllChecks(true, false); }
void ScalePickerDialog::mnuUnselectAll_Click() { setAllChecks(false, false); }

void ScalePickerDialog::cmdOK_Click()
{
    QStringList chosen;
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        QTreeWidgetItem* r = lvwScale->topLevelItem(i);
        if (r->checkState(0) == Qt::Checked)
            chosen << r->text(1);
    }
    if (chosen.isEmpty())
        return;
    m_strScales = chosen.join(QLatin1Char(';'));
    m_bCancel = false;
    accept();
}

void ScalePickerDialog::done(int r)
{
    tmrCheckPing->stop();
    if (!m_placementStored) {
        StoreDialogPlacement(this, kPlacement);
        m_placementStored = true;
    }
    QDialog::done(r);
}

void ScalePickerDialog::stopPings()
{
    // Their answers are no longer wanted; a ping ends within its reply time-out anyway.
    for (const Ping& ping : std::as_const(m_pings)) {
        ping.process->disconnect(this);
        if (ping.process->state() != QProcess::NotRunning) {
            ping.process->kill();
            ping.process->waitForFinished(1000);
        }
        delete ping.process;
    }
    m_pings.clear();
}

} // namespace quillon
