#include "scale/transferhistorydialog.h"

#include "context/appcontext.h"
#include "context/texts.h"
#include "platform/database.h"
#include "platform/placement.h"
#include "scale/resultpopup.h"
#include "scale/scaledialog.h"
#include "scale/transferjournal.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace quillon {

namespace {
const QString kSection = QStringLiteral("frmTransferHistory");
QPointer<ResultPopup> g_shownReport;

QString text(const char* key)
{
    return GetLangString(kSection, QString::fromLatin1(key));
}
} // namespace

TransferHistoryDialog::TransferHistoryDialog(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmTransferHistory"));
    setWindowTitle(text("Caption"));
    setSizeGripEnabled(true);

    txtAddress = new QLineEdit(this);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    txtLabel = new QLineEdit(this);
    txtLabel->setObjectName(QStringLiteral("txtLabel"));
    chkFrom = new QCheckBox(text("chkFrom"), this);
    chkTo = new QCheckBox(text("chkTo"), this);
    dtpFrom = new QDateEdit(QDate::currentDate().addDays(-7), this);
    dtpTo = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* d : {dtpFrom, dtpTo}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    auto* filters = new QGridLayout;
    filters->addWidget(new QLabel(text("lblAddress"), this), 0, 0);
    filters->addWidget(txtAddress, 0, 1);
    filters->addWidget(chkFrom, 0, 2);
    filters->addWidget(dtpFrom, 0, 3);
    filters->addWidget(new QLabel(text("lblLabel"), this), 1, 0);
    filters->addWidget(txtLabel, 1, 1);
    filters->addWidget(chkTo, 1, 2);
    filters->addWidget(dtpTo, 1, 3);
    filters->setColumnStretch(1, 1);

    m_model = new JournalModel(ctx.db().mainDb(), this);
    m_model->setHeaders({text("colTime"), text("colAddress"), text("colLabel"), text("colDirection"), text("colType"),
                         text("colCode"), text("colText"), text("colHost"), text("colUser"), text("colHash")});
    lvwJournal = new QTableView(this);
    lvwJournal->setObjectName(QStringLiteral("lvwJournal"));
    lvwJournal->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwJournal->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwJournal->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows it has not shown.
    lvwJournal->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvwJournal->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    lvwJournal->horizontalHeader()->setStretchLastSection(true);
    lvwJournal->setModel(m_model);
    lvwJournal->setSortingEnabled(true);
    lvwJournal->horizontalHeader()->setSortIndicator(JournalModel::ColTime, Qt::DescendingOrder);
    // Widths from typical contents: measuring the rows themselves would read them all.
    const char* const samples[JournalModel::ColumnCount] = {
        "0000-00-00 00:00:00", "000.000.000.000", "Label name.qlf", "receive", "00", "00",
        "The scale did not answer in time", "workstation", "user", "0000000000000000"};
    for (int c = 0; c < JournalModel::ColumnCount; ++c) {
        const int content = fontMetrics().horizontalAdvance(QString::fromLatin1(samples[c]));
        const int title = fontMetrics().horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString());
        lvwJournal->setColumnWidth(c, qMax(content, title) + 20);
    }

    cmdShowReport = new QPushButton(text("cmdShowReport"), this);
    cmdSendAgain = new QPushButton(GetLangString(QStringLiteral("frmMain"), QStringLiteral("cmdSendAgainFailed")), this);
    cmdExportCsv = new QPushButton(text("cmdExportCsv"), this);
    cmdClose = new QPushButton(text("cmdClose"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdShowReport, cmdSendAgain, cmdExportCsv})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(lvwJournal, 1);
    layout->addLayout(buttons);
    RestoreDialogPlacement(this, QStringLiteral("TransferHistory"));
    // The list has ten columns: wider than the other dialogs until the user has sized it.
    if (ReadPlacement(QStringLiteral("TransferHistoryWidth"), -1) < 0)
        resize(960, 540);

    m_filterDelay = new QTimer(this);
    m_filterDelay->setSingleShot(true);
    m_filterDelay->setInterval(300);
    connect(m_filterDelay, &QTimer::timeout, this, &TransferHistoryDialog::applyFilter);
    for (QLineEdit* e : {txtAddress, txtLabel})
        connect(e, &QLineEdit::textChanged, m_filterDelay, qOverload<>(&QTimer::start));
    for (QDateEdit* d : {dtpFrom, dtpTo})
        connect(d, &QDateEdit::dateChanged, m_filterDelay, qOverload<>(&QTimer::start));
    for (QCheckBox* c : {chkFrom, chkTo})
        connect(c, &QCheckBox::toggled, this, &TransferHistoryDialog::applyFilter);
    connect(lvwJournal->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TransferHistoryDialog::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TransferHistoryDialog::updateButtons);
    connect(lvwJournal, &QTableView::doubleClicked, this, &TransferHistoryDialog::cmdShowReport_Click);
    connect(cmdShowReport, &QPushButton::clicked, this, &TransferHistoryDialog::cmdShowReport_Click);
    connect(cmdSendAgain, &QPushButton::clicked, this, &TransferHistoryDialog::cmdSendAgain_Click);
    connect(cmdExportCsv, &QPushButton::clicked, this, &TransferHistoryDialog::cmdExportCsv_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    applyFilter();
}

TransferHistoryDialog::~TransferHistoryDialog() = default;

void TransferHistoryDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    updateButtons();
}

void TransferHistoryDialog::done(int r)
{
    if (!m_placementStored) {
        StoreDialogPlacement(this, QStringLiteral("TransferHistory"));
        m_placementStored = true;
    }
    QDialog::done(r);
}

void TransferHistoryDialog::applyFilter()
{
    m_filterDelay->stop();
    JournalFilter f;
    f.address = txtAddress->text();
    f.label = txtLabel->text();
    if (chkFrom->isChecked())
        f.from = dtpFrom->date();
    if (chkTo->isChecked())
        f.to = dtpTo->date();
    if (!m_model->setFilter(f))
        QMessageBox::warning(this, windowTitle(), text("msgNotRead").arg(m_model->lastError()));
    if (m_model->rowCount() > 0)
        lvwJournal->selectRow(0);
}

void TransferHistoryDialog::updateButtons()
{
    const bool any = lvwJournal->currentIndex().isValid();
    cmdShowReport->setEnabled(any);
    cmdSendAgain->setVisible(bool(m_sendAgain));
    cmdSendAgain->setEnabled(any && !failedOfCurrentRun().isEmpty());
}

QStringList TransferHistoryDialog::failedOfCurrentRun(QString* label) const
{
    const QModelIndex current = lvwJournal->currentIndex();
    if (!current.isValid())
        return {};
    const JournalEntry& e = m_model->entry(current.row());
    if (label)
        *label = e.label;
    if (e.direction != QLatin1String("send"))
        return {};
    QSqlDatabase db = m_ctx.db().mainDb();
    return FailedAddresses(JournalRunOutcomes(db, e.runId));
}

void TransferHistoryDialog::cmdShowReport_Click()
{
    const QModelIndex current = lvwJournal->currentIndex();
    if (!current.isValid())
        return;
    QSqlDatabase db = m_ctx.db().mainDb();
    JournalEntry run;
    const QList<ScaleOutcome> outcomes = JournalRunOutcomes(db, m_model->entry(current.row()).runId, &run);
    const bool send = run.direction == QLatin1String("send");
    const QString title = GetLangString(QStringLiteral("frmMain"), send ? QStringLiteral("msgSendToScaleResult")
                                                                        : QStringLiteral("msgRecvFromScaleResult"));
    // The heading says when and what, since the pop-up no longer follows its run.
    const QString heading = QStringLiteral("%1  %2  %3@%4\r\n")
                                .arg(run.utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), run.label,
                                     run.user, run.host);
    const QStringList failed = FailedAddresses(outcomes);
    // Over this window: one that belonged to the main window could not be used while the history is open.
    ResultPopup* popup = ShowPopupMsg(this, m_ctx.paths.g_strAppPath,
                                      heading + SendReport(outcomes), title,
                                      failed.isEmpty() ? ResultPopup::KindInformation : ResultPopup::KindError);
    popup->setCsv(SendReportCsv(outcomes));
    // The pop-up may outlive this window.
    if (send && !failed.isEmpty() && m_sendAgain)
        popup->addActionButton(cmdSendAgain->text(),
                               [self = QPointer(this), sendAgain = m_sendAgain, failed, label = run.label] {
                                   if (self)
                                       self->accept();
                                   sendAgain(failed, label);
                               });
    g_shownReport = popup;
}

ResultPopup* TransferHistoryDialog::shownReport() const
{
    return g_shownReport.data();
}

void TransferHistoryDialog::cmdSendAgain_Click()
{
    QString label;
    const QStringList failed = failedOfCurrentRun(&label);
    if (failed.isEmpty() || !m_sendAgain)
        return;
    const auto sendAgain = m_sendAgain;
    accept();
    sendAgain(failed, label);
}

void TransferHistoryDialog::cmdExportCsv_Click()
{
    std::optional<QString> path;
    if (m_askCsvFile) {
        path = m_askCsvFile(this, cmdExportCsv->text());
    } else {
        const QString chosen =
            QFileDialog::getSaveFileName(this, cmdExportCsv->text(), QString(), QStringLiteral("CSV (*.csv)"));
        if (!chosen.isEmpty())
            path = chosen.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ? chosen : chosen + QStringLiteral(".csv");
    }
    if (!path)
        return;
    QString error;
    if (!m_model->exportCsv(*path, &error))
        QMessageBox::warning(this, windowTitle(), text("msgNotExported").arg(error));
}

} // namespace quillon
