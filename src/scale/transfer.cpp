#include "scale/transfer.h"
#include "context/texts.h"

#include "context/appcontext.h"
#include "model/datafile.h"
#include "platform/database.h"
#include "platform/ini.h"
#include "platform/log.h"
#include "scale/scalepicker.h"
#include "scale/driverresult.h"
#include "scale/driverrun.h"
#include "scale/resultpopup.h"
#include "scale/scaledata.h"
#include "scale/transferjournal.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace quillon {

namespace {
const auto& kTypeCodes = kTransferTypes;
const char* const kSendHeadings[3] = {"msgSendFormatToScale", "msgSendTextToScale", "msgSendShopnameToScale"};
const char* const kRecvHeadings[3] = {"msgRecvFormatFromScale", "msgRecvTextFromScale", "msgRecvShopnameFromScale"};
const QString kCrLf = QStringLiteral("\r\n");

QString codeText(int code)
{
    return GetLangString(QStringLiteral("Global"), QStringLiteral("msgTCPDriver%1").arg(code));
}

} // namespace

// --- controller ---------------------------------------------------------------------------

TransferController::TransferController(AppContext& ctx, QWidget* mainWindow, TransferCallbacks callbacks,
                                       QObject* parent)
    : QObject(parent), m_ctx(ctx), m_mainWindow(mainWindow), m_cb(std::move(callbacks))
{
}

TransferController::~TransferController()
{
    if (m_run) {
        m_run->disconnect(this);
        delete m_run;   // stops a driver that still runs
        m_run = nullptr;
    }
    if (m_op != Op::None)
        deleteExchangeFiles();
}

QString TransferController::PerScaleFile(const QString& address, int typeCode) const
{
    return ScaleFilePath(m_ctx.paths.g_strWorkPath, address, typeCode);
}

QString TransferController::ResultFile() const
{
    return m_ctx.paths.g_strWorkPath + QStringLiteral("result");
}

QString TransferController::DriverProgram() const
{
    return m_ctx.paths.g_strAppPath + QStringLiteral("vexowtcp");
}

QStringList TransferController::TempFiles() const
{
    return SendExportFiles(m_ctx.paths.g_strWorkPath);
}

ScalePick TransferController::pick(bool multi)
{
    if (m_cb.pickScales)
        return m_cb.pickScales(multi);
    ScalePicker picker(m_ctx, m_mainWindow);
    picker.m_bMultiSelect = multi;
    picker.m_iDeptID = -1;
    picker.Show();
    return ScalePick{picker.m_bCancel, picker.m_strScales};
}

void TransferController::setProgress(int done, const QString& step)
{
    m_done = done;
    emit progressChanged(m_done, m_total, step);
}

void TransferController::SendToScales()
{
    if (busy() || !m_cb.hasActiveDocument || !m_cb.hasActiveDocument())
        return;
    const ScalePick chosen = pick(true);
    if (chosen.m_bCancel || chosen.m_strScales.isEmpty() || busy())
        return;

    m_addresses.clear();
    m_outcomes = PickedOutcomes(chosen.m_strScales.split(QLatin1Char(';')), &m_addresses);
    m_op = Op::Send;
    m_report.clear();
    m_failures = 0;
    m_total = 3 * int(m_addresses.size());
    emit busyChanged(true);
    setProgress(0, GetLangString(QStringLiteral("frmMain"), QString::fromLatin1(kSendHeadings[0])));

    if (m_addresses.isEmpty()) {
        completeSend();
        return;
    }

    const QStringList temp = TempFiles();
    const bool exported = m_cb.exportFormatData && m_cb.exportTextData && m_cb.exportFormatData(temp[0]) &&
                          m_cb.exportTextData(temp[1], 10) && m_cb.exportTextData(temp[2], 11);
    if (!exported) {
        // The document has said why; nothing half-exported may reach a scale.
        endCommand(QString(), QString(), 0, false);
        return;
    }
    PlaceSendFiles(m_ctx.paths.g_strWorkPath, m_addresses, temp);
    startRun();
}

void TransferController::ReceiveFromScale()
{
    if (busy())
        return;
    const ScalePick chosen = pick(false);
    if (chosen.m_bCancel || chosen.m_strScales.isEmpty() || busy())
        return;

    m_addresses.clear();
    m_outcomes = {ScaleOutcome{chosen.m_strScales}};
    m_op = Op::Receive;
    m_report.clear();
    m_failures = 0;
    m_total = 3;
    m_receivedFiles.clear();
    emit busyChanged(true);
    setProgress(0, GetLangString(QStringLiteral("frmMain"), QString::fromLatin1(kRecvHeadings[0])));

    if (!IsDottedIPv4(chosen.m_strScales)) {
        m_outcomes[0].codes[0] = kInvalidAddressCode;
        m_report = GetLangString(QStringLiteral("frmMain"), QString::fromLatin1(kRecvHeadings[0])) + kCrLf +
                   DriverReportLine(chosen.m_strScales, codeText(kInvalidAddressCode));
        completeReceive();
        return;
    }
    m_addresses << chosen.m_strScales;
    for (int k = 0; k < 3; ++k) {
        const QString f = PerScaleFile(m_addresses.first(), kTypeCodes[k]);
        // An older file must never pass for what this run received.
        QFile::remove(f);
        m_receivedFiles << f;
    }
    startRun();
}

void TransferController::startRun()
{
    m_run = new DriverRun(DriverProgram(), m_ctx.paths.g_strWorkPath, ReadTransferSettings(m_ctx.paths.g_strIniFile),
                          this);
    connect(m_run, &DriverRun::typeStarted, this, [this](int type, int) {
        const char* const* headings = m_op == Op::Send ? kSendHeadings : kRecvHeadings;
        m_step = GetLangString(QStringLiteral("frmMain"), QString::fromLatin1(headings[type]));
        setProgress(type * int(m_addresses.size()), m_step);
    });
    connect(m_run, &DriverRun::progress, this, [this](int type, int done, int scales, int failures) {
        m_failures = failures;
        setProgress(type * int(m_addresses.size()) + done, m_step);
        emit scaleProgress(done, scales, failures);
    });
    connect(m_run, &DriverRun::finished, this, &TransferController::runFinished);
    m_run->start(m_op == Op::Send ? DriverRun::Direction::Send : DriverRun::Direction::Receive, m_outcomes);
}

void TransferController::Cancel()
{
    if (m_run && m_run->running()) {
        WriteLog(QStringLiteral("Transfer: cancelled by the user"));
        m_run->cancel();
    }
}

void TransferController::runFinished()
{
    if (!m_run)
        return;
    m_outcomes = m_run->outcomes();
    const DriverRun::Failure failure = m_run->failure();
    const QString result = m_run->resultFile();
    m_run->deleteLater();
    m_run = nullptr;
    switch (failure) {
    case DriverRun::Failure::None:
        break;
    case DriverRun::Failure::ResultNotDeleted:
        endCommand(QString(), QString(), 0, false);
        showCritical(GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgResultNotDeleted")).arg(result));
        return;
    case DriverRun::Failure::DriverNotStarted:
        endCommand(QString(), QString(), 0, false);
        showCritical(GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgCreateDriverError")));
        return;
    case DriverRun::Failure::DriverStalled: {
        // The scales it finished before it stuck are known; a technician needs them for the retry.
        const QString stopped = GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgUnknownError"));
        // The journal keeps what reached the scales before the driver stuck, and "no result" for the rest.
        recordRun();
        if (m_op == Op::Send)
            endCommand(stopped + kCrLf + SendReport(m_outcomes), QString(), ResultPopup::KindError, true,
                       SendReportCsv(m_outcomes));
        else
            endCommand(stopped, QString(), ResultPopup::KindError, true);
        return;
    }
    }
    if (m_op == Op::Receive) {
        const QString section = QStringLiteral("frmMain");
        for (int k = 0; k < 3; ++k) {
            const int code = m_outcomes[0].codes[k];
            if (code == 0)
                continue;
            // Data that did not arrive is neither imported nor trusted.
            QFile::remove(m_receivedFiles[k]);
            m_receivedFiles[k].clear();
            if (!m_report.isEmpty())
                m_report += kCrLf;
            m_report += GetLangString(section, QString::fromLatin1(kRecvHeadings[k])) + kCrLf +
                        DriverReportLine(m_outcomes[0].address, codeText(code));
        }
    }
    setProgress(m_total, QString());
    if (m_op == Op::Send)
        completeSend();
    else
        completeReceive();
}

void TransferController::showCritical(const QString& message)
{
    if (m_cb.showCritical)
        m_cb.showCritical(message);
    else
        QMessageBox::critical(m_mainWindow, QString(), message, QMessageBox::Ok);
}

void TransferController::recordRun()
{
    const JournalRun run = m_op == Op::Send
                               ? NewJournalRun(TransferDirection::Send, m_cb.labelName ? m_cb.labelName() : QString(),
                                               TempFiles())
                               : NewJournalRun(TransferDirection::Receive, QString(), m_receivedFiles);
    RecordTransfer(m_ctx.db(), run, m_outcomes);
}

void TransferController::completeSend()
{
    recordRun();
    endCommand(SendReport(m_outcomes), GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgSendToScaleResult")),
               ResultPopup::KindInformation, true, SendReportCsv(m_outcomes));
}

void TransferController::completeReceive()
{
    recordRun();
    const QString title = GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgRecvFromScaleResult"));
    if (!m_addresses.isEmpty() && !m_receivedFiles.isEmpty() && !m_receivedFiles[0].isEmpty()) {
        QByteArray format;
        const bool noLabel = !ReadFirstLine(m_receivedFiles[0], &format) || format.trimmed().isEmpty() ||
                             format.trimmed() == "E2";
        const int model = GetScaleModelIndexByIP(m_ctx, m_addresses.first());
        if (m_cb.importReceivedData)
            m_cb.importReceivedData(m_receivedFiles[0], m_receivedFiles[1], m_receivedFiles[2], model);
        if (noLabel) {
            const QString message = GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgRecvNoLabel"));
            endCommand(m_report.isEmpty() ? message : message + kCrLf + m_report, title, ResultPopup::KindInformation,
                       true);
        } else if (!m_report.isEmpty()) {
            // The label opened, but without what did not arrive: the user must know before sending it back.
            endCommand(GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgRecvPartial")) + kCrLf + m_report, title,
                       ResultPopup::KindError, true);
        } else {
            endCommand(QString(), QString(), 0, false);
        }
        return;
    }
    endCommand(m_report, title, ResultPopup::KindError, true);
}

void TransferController::deleteExchangeFiles()
{
    for (const QString& a : std::as_const(m_addresses)) {
        for (int code : kTypeCodes)
            QFile::remove(PerScaleFile(a, code));
    }
    if (m_op == Op::Send) {
        for (const QString& f : TempFiles())
            QFile::remove(f);
    }
}

void TransferController::endCommand(const QString& popupMessage, const QString& popupTitle, int kind, bool showPopup,
                                    const QByteArray& csv)
{
    deleteExchangeFiles();
    m_op = Op::None;
    m_addresses.clear();
    m_lastOutcomes = m_outcomes;
    m_outcomes.clear();
    m_lastCsv = showPopup ? csv : QByteArray();
    m_receivedFiles.clear();
    m_lastReport = showPopup ? popupMessage : QString();
    emit busyChanged(false);
    if (showPopup) {
        if (m_cb.showPopup)
            m_cb.showPopup(popupMessage, popupTitle, kind);
        else
            ShowPopupMsg(m_mainWindow, m_ctx.paths.g_strAppPath, popupMessage, popupTitle, kind)->setCsv(csv);
    }
    emit finished(m_lastReport);
}

QWidget* TransferController::createProgressWidget(QWidget* parent)
{
    auto* w = new QWidget(parent);
    w->setObjectName(QStringLiteral("transferProgress"));
    auto* label = new QLabel(w);
    label->setObjectName(QStringLiteral("transferProgressText"));
    auto* bar = new QProgressBar(w);
    bar->setFormat(QStringLiteral("%v / %m"));
    bar->setMaximumWidth(180);
    bar->setRange(0, qMax(1, m_total));
    bar->setValue(m_done);
    auto* cancel = new QPushButton(GetLangString(QStringLiteral("frmMain"), QStringLiteral("cmdCancelTransfer")), w);
    cancel->setObjectName(QStringLiteral("transferCancel"));
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(bar);
    layout->addWidget(cancel);
    w->setVisible(busy());
    connect(cancel, &QPushButton::clicked, this, &TransferController::Cancel);
    connect(this, &TransferController::busyChanged, w, [w, cancel](bool busy) {
        cancel->setEnabled(true);
        w->setVisible(busy);
    });
    connect(cancel, &QPushButton::clicked, cancel, [cancel] { cancel->setEnabled(false); });
    connect(this, &TransferController::progressChanged, w, [label, bar](int done, int total, const QString& step) {
        label->setText(step);
        bar->setRange(0, qMax(1, total));
        bar->setValue(done);
    });
    // Scales, not transfers, are what a technician counts; failures show as they happen.
    connect(this, &TransferController::scaleProgress, w, [this, label](int done, int scales, int failures) {
        label->setText(GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgTransferProgress"))
                           .arg(m_step)
                           .arg(done)
                           .arg(scales)
                           .arg(failures));
    });
    return w;
}

} // namespace quillon
