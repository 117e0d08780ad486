#include "scale/scalepickerdialog.h"

#include "context/appcontext.h"
#include "platform/database.h"
#include "platform/ini.h"
#include "platform/placement.h"
#include "scale/reachability.h"
#include "scale/scaledata.h"
#include "scale/scaledialog.h"

#include <QComboBox>
#include <QHash>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quillon {

namespace {
const QString kPlacement = QStringLiteral("ScaleSelect");
// The addresses ticked when the picker was last confirmed.
const QString kTickedKey = QStringLiteral("ScaleSelectTicked");
constexpr int kStateRole = Qt::UserRole + 1;
constexpr int kStoreColumn = 3;
constexpr int kStatusColumn = 4;

QString text(const char* key)
{
    return GetLangString(QStringLiteral("frmScaleSelect"), QString::fromLatin1(key));
}

// Sort key of an address: valid ones by their number, then anything else by text.
std::pair<quint64, QString> addressKey(const QString& ip)
{
    if (!IsDottedIPv4(ip))
        return {quint64(1) << 32, ip};
    quint64 n = 0;
    for (const QString& part : ip.split(u'.'))
        n = (n << 8) | part.toUInt();
    return {n, QString()};
}
} // namespace

ScalePickerDialog::ScalePickerDialog(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmScaleSelect"));

    const QString caption = text("Caption");
    setWindowTitle(caption);
    udtScaleSelectCaption = MakeCaptionStrip(this, QStringLiteral("udtScaleSelectCaption"), caption);

    lvwScale = MakeScaleList(this, text("lvwScaleNumber"), text("lvwIPAddress"), text("lvwScaleModel"));
    lvwScale->setHeaderLabels({text("lvwScaleNumber"), text("lvwIPAddress"), text("lvwScaleModel"), text("lvwStore"),
                               text("lvwStatus")});
    lvwScale->header()->setSectionResizeMode(QHeaderView::Interactive);
    lvwScale->header()->setStretchLastSection(true);
    lvwScale->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvwScale, &QTreeWidget::itemChanged, this, &ScalePickerDialog::rowChanged);
    connect(lvwScale, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* row) { RowDoubleClicked(row); });

    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    auto addMenu = [this](const char* name, void (ScalePickerDialog::*slot)()) {
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

    // A chain has hundreds of scales: find them by text, tick them by store.
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(text("txtFilter"));
    txtFilter->setClearButtonEnabled(true);
    connect(txtFilter, &QLineEdit::textChanged, this, &ScalePickerDialog::setFilter);
    cboStore = new QComboBox(this);
    cboStore->setObjectName(QStringLiteral("cboStore"));
    connect(cboStore, &QComboBox::activated, this, &ScalePickerDialog::storeChosen);
    auto button = [this](const char* name) {
        auto* b = new QPushButton(text(name), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdTickAll = button("cmdTickAll");
    cmdTickNone = button("cmdTickNone");
    cmdTickShown = button("cmdTickShown");
    connect(cmdTickAll, &QPushButton::clicked, this, &ScalePickerDialog::mnuSelectAll_Click);
    connect(cmdTickNone, &QPushButton::clicked, this, &ScalePickerDialog::mnuUnselectAll_Click);
    connect(cmdTickShown, &QPushButton::clicked, this, &ScalePickerDialog::tickShown);
    auto* ticks = new QHBoxLayout;
    ticks->addWidget(cboStore);
    ticks->addWidget(cmdTickAll);
    ticks->addWidget(cmdTickNone);
    ticks->addWidget(cmdTickShown);
    ticks->addStretch(1);

    auto legend = [this](int state, const char* label, const char* name) {
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
    legends->addLayout(legend(PingQueued, "lblQueued", "picQueued"));
    legends->addSpacing(16);
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

    m_check = new ReachabilityCheck(ReachabilityCheck::ReadSettings(ctx.paths.g_strIniFile), this);
    connect(m_check, &ReachabilityCheck::changed, this, &ScalePickerDialog::checkChanged);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(udtScaleSelectCaption);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addWidget(txtFilter);
    body->addLayout(ticks);
    body->addWidget(lvwScale, 1);
    body->addLayout(legends);
    body->addLayout(buttons);
    layout->addLayout(body, 1);

    // Room for the status column beside the store.
    setMinimumWidth(640);
    RestoreDialogPlacement(this, kPlacement);
}

ScalePickerDialog::~ScalePickerDialog()
{
    m_check->stop();
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

    QList<ScaleRow> rows = ListScales(m_ctx.db());
    // By store (those without one last), then by address.
    std::stable_sort(rows.begin(), rows.end(), [](const ScaleRow& a, const ScaleRow& b) {
        if (a.STORE.isEmpty() != b.STORE.isEmpty())
            return b.STORE.isEmpty();
        if (const int c = a.STORE.localeAwareCompare(b.STORE))
            return c < 0;
        return addressKey(a.SC_IP) < addressKey(b.SC_IP);
    });

    QSet<QString> ticked;
    if (!m_bJustOneSelected) {
        const QStringList last = ReadUserSetting(kTickedKey, QStringList()).toStringList();
        ticked = QSet<QString>(last.cbegin(), last.cend());
        const bool anyListed = std::any_of(rows.cbegin(), rows.cend(), [&ticked](const ScaleRow& r) {
            return ticked.contains(r.SC_IP);
        });
        if (!anyListed)
            ticked.clear();
    }

    QStringList addresses;
    QSet<QString> stores;
    m_updatingChecks = true;
    QList<QTreeWidgetItem*> items;
    for (const ScaleRow& r : std::as_const(rows)) {
        auto* row = new QTreeWidgetItem(QStringList{QString::number(r.SC_NO), r.SC_IP, r.SCALE_NAME, r.STORE});
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        // A resend ticks exactly the scales it names; otherwise the last ticked set.
        const bool tick = m_preselected.isEmpty()
                              ? !m_bJustOneSelected && (ticked.isEmpty() || ticked.contains(r.SC_IP))
                              : m_preselected.contains(r.SC_IP);
        row->setCheckState(0, tick ? Qt::Checked : Qt::Unchecked);
        items << row;
        if (!r.STORE.isEmpty())
            stores.insert(r.STORE);
        // Anything but a plain dotted address never reaches a command line or a connect.
        if (!IsDottedIPv4(r.SC_IP)) {
            setState(row, PingInvalid, text("msgInvalid"));
            continue;
        }
        setState(row, PingQueued, text("msgQueued"));
        m_checkRows << row;
        addresses << r.SC_IP;
    }
    lvwScale->addTopLevelItems(items);
    // A resend's scales may be far down a chain's list: show the first of them.
    if (!m_preselected.isEmpty())
        for (QTreeWidgetItem* row : std::as_const(items))
            if (row->checkState(0) == Qt::Checked) {
                lvwScale->scrollToItem(row, QAbstractItemView::PositionAtTop);
                break;
            }
    for (int c = 0; c < kStatusColumn; ++c)
        lvwScale->resizeColumnToContents(c);
    m_updatingChecks = false;

    QStringList storeList(stores.cbegin(), stores.cend());
    std::sort(storeList.begin(), storeList.end(),
              [](const QString& a, const QString& b) { return a.localeAwareCompare(b) < 0; });
    cboStore->addItem(text("cboStorePrompt"));
    cboStore->addItems(storeList);
    cboStore->setEnabled(!storeList.isEmpty() && !m_bJustOneSelected);
    cmdTickAll->setEnabled(!m_bJustOneSelected);
    if (QAction* all = mnuPopup->findChild<QAction*>(QStringLiteral("mnuSelectAll")))
        all->setVisible(!m_bJustOneSelected);
    cmdTickShown->setEnabled(!m_bJustOneSelected);

    m_check->start(addresses);
}

void ScalePickerDialog::checkChanged(int index)
{
    QTreeWidgetItem* row = m_checkRows.value(index);
    if (!row)
        return;
    const bool port = m_check->settings().method == ReachabilityCheck::Method::Port;
    using S = ReachabilityCheck::State;
    switch (m_check->state(index)) {
    case S::Queued:
        setState(row, PingQueued, text("msgQueued"));
        break;
    case S::Checking:
        setState(row, PingChecking, text("msgChecking"));
        break;
    case S::Answered:
        setState(row, PingOK, port ? text("msgPortOpen") : text("msgAnswers"));
        break;
    case S::NoAnswer:
        setState(row, PingTimeOut, text("msgNoAnswer"));
        break;
    case S::PortClosed:
        setState(row, PingTimeOut, text("msgPortClosed"));
        break;
    case S::NotStarted:
        setState(row, PingNotStarted, text("msgNotStarted").arg(m_check->reason(index)));
        break;
    }
}

void ScalePickerDialog::setState(QTreeWidgetItem* row, int state, const QString& status)
{
    const bool guard = m_updatingChecks;
    m_updatingChecks = true;
    row->setData(0, kStateRole, state);
    // Two thousand rows change state at least twice each: paint each picture once.
    static QHash<int, QIcon> icons;
    auto icon = icons.find(state);
    if (icon == icons.end())
        icon = icons.insert(state, QIcon(PingStateIcon(state)));
    row->setIcon(0, *icon);
    row->setText(kStatusColumn, status);
    row->setToolTip(kStatusColumn, status);
    m_updatingChecks = guard;
}

int ScalePickerDialog::pingState(int row) const
{
    QTreeWidgetItem* item = lvwScale->topLevelItem(row);
    return item ? item->data(0, kStateRole).toInt() : 0;
}

QString ScalePickerDialog::statusText(int row) const
{
    QTreeWidgetItem* item = lvwScale->topLevelItem(row);
    return item ? item->text(kStatusColumn) : QString();
}

int ScalePickerDialog::pendingPings() const
{
    return m_check->pending();
}

void ScalePickerDialog::setFilter(const QString& filter)
{
    const QString f = filter.trimmed();
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        QTreeWidgetItem* r = lvwScale->topLevelItem(i);
        bool match = f.isEmpty();
        for (int c = 0; c <= kStoreColumn && !match; ++c)
            match = r->text(c).contains(f, Qt::CaseInsensitive);
        r->setHidden(!match);
    }
    if (txtFilter->text() != filter)
        txtFilter->setText(filter);
}

void ScalePickerDialog::tickShown()
{
    if (m_bJustOneSelected)
        return;
    m_updatingChecks = true;
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        QTreeWidgetItem* r = lvwScale->topLevelItem(i);
        r->setCheckState(0, r->isHidden() ? Qt::Unchecked : Qt::Checked);
    }
    m_updatingChecks = false;
}

void ScalePickerDialog::tickStore(const QString& store)
{
    if (m_bJustOneSelected)
        return;
    m_updatingChecks = true;
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        QTreeWidgetItem* r = lvwScale->topLevelItem(i);
        r->setCheckState(0, r->text(kStoreColumn) == store ? Qt::Checked : Qt::Unchecked);
    }
    m_updatingChecks = false;
}

void ScalePickerDialog::storeChosen(int index)
{
    if (index > 0)
        tickStore(cboStore->itemText(index));
    cboStore->setCurrentIndex(0);
}

QStringList ScalePickerDialog::tickedAddresses() const
{
    QStringList chosen;
    for (int i = 0; i < lvwScale->topLevelItemCount(); ++i) {
        QTreeWidgetItem* r = lvwScale->topLevelItem(i);
        if (r->checkState(0) == Qt::Checked)
            chosen << r->text(1);
    }
    return chosen;
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
    // A receive takes one scale: ticking many would hand the driver a joined list.
    if (m_bJustOneSelected && checked) {
        QTreeWidgetItem* row = lvwScale->currentItem();
        if (!highlightedOnly || (row && row->isSelected()))
            RowDoubleClicked(row ? row : lvwScale->topLevelItem(0));
        return;
    }
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
    const QStringList chosen = tickedAddresses();
    if (chosen.isEmpty())
        return;
    m_strScales = chosen.join(QLatin1Char(';'));
    m_bCancel = false;
    if (!m_bJustOneSelected)
        WriteUserSetting(kTickedKey, chosen);
    accept();
}

void ScalePickerDialog::done(int r)
{
    m_check->stop();
    if (!m_placementStored) {
        StoreDialogPlacement(this, kPlacement);
        m_placementStored = true;
    }
    QDialog::done(r);
}

} // namespace quillon
