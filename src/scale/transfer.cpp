#include "scale/transfer.h"
#include "context/texts.h"

#include "context/appcontext.h"
#include "model/datafile.h"
#include "platform/database.h"
#include "platform/ini.h"
#include "platform/log.h"
#include "scale/scalepicker.h"
#include "scale/driverresult.h"
#include "scale/resultpopup.h"
#include "scale/scaledata.h"
#include "scale/transferjournal.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>

namespace quillon {

namespace {
constexpr int kTypeCodes[3] = {52, 56, 61};
constexpr int kDefaultLimitMs = 30000;
constexpr int kWaitStepMs = 2000;
constexpr int kTimeoutCode = 3;
constexpr int kInvalidAddressCode = 6;
const char* const kSendHeadings[3] = {"msgSendFormatToScale", "msgSendTextToScale", "msgSendShopnameToScale"};
const char* const kRecvHeadings[3] = {"msgRecvFormatFromScale", "msgRecvTextFromScale", "msgRecvShopnameFromScale"};
const QString kCrLf = QStringLiteral("\r\n");

QString codeText(int code)
{
    return GetLangString(QStringLiteral("Global"), QStringLiteral("msgTCPDriver%1").arg(code));
}

// The kill limit; tests may shorten it, nothing lengthens it.
int driverLimitMs()
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue("QUILLON_DRIVER_TIMEOUT_MS", &ok);
    return ok && v > 0 && v < kDefaultLimitMs ? v : kDefaultLimitMs;
}

} // namespace

void KillProcess(QProcess* process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->kill();
    process->waitForFinished(3000);
}

// --- controller ---------------------------------------------------------------------------

TransferController::TransferController(AppContext& ctx, QWidget* mainWindow, TransferCallbacks callbacks,
                                       QObject* parent)
    : QObject(parent), m_ctx(ctx), m_mainWindow(mainWindow), m_cb(std::move(callbacks))
{
    m_waitStep = new QTimer(this);
    connect(m_waitStep, &QTimer::timeout, this, &TransferController::checkTimeLimit);
}

TransferController::~TransferController()
{
    if (m_driver) {
        m_driver->disconnect(this);
        KillProcess(m_driver);
        delete m_driver;
        m_driver = nullptr;
    }
    if (m_op != Op::None)
        deleteExchangeFiles();
}

QString TransferController::PerScaleFile(const QString& address, int typeCode) const
{
    return m_ctx.paths.g_strWorkPath + QStringLiteral("SM") + address + QStringLiteral("F%1.DAT").arg(typeCode);
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
    const QString dir = m_ctx.paths.g_strWorkPath;
    return {dir + QStringLiteral("~tmpSendFormat.dat"), dir + QStringLiteral("~tmpSendText.dat"),
            dir + QStringLiteral("~tmpSendShopName.dat")};
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
    m_outcomes.clear();
    // Only a plain dotted address may become a file name or a driver argument.
    for (const QString& a : chosen.m_strScales.split(QLatin1Char(';'))) {
        ScaleOutcome o{a};
        if (IsDottedIPv4(a))
            m_addresses << a;
        else
            std::fill(std::begin(o.codes), std::end(o.codes), kInvalidAddressCode);
        m_outcomes << o;
    }
    m_op = Op::Send;
    m_report.clear();
    m_type = 0;
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
    for (const QString& a : std::as_const(m_addresses)) {
        for (int k = 0; k < 3; ++k) {
            const QString target = PerScaleFile(a, kTypeCodes[k]);
            QFile::remove(target);
            // A copy that fails shows as the driver's "file missing" for this scale.
            if (!QFile::copy(temp[k], target))
                WriteLog(QStringLiteral("SendToScales: cannot copy %1 to %2").arg(temp[k], target));
        }
    }
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
    m_type = 0;
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

// The valid addresses this type goes to. A scale that timed out, or was never reached, skips
// its remaining types: one dead scale costs one deadline, not three.
QStringList TransferController::runAddresses()
{
    QStringList run;
    for (ScaleOutcome& o : m_outcomes) {
        if (o.codes[m_type] != kNotRun)
            continue;   // invalid
        const int before = m_type > 0 ? o.codes[m_type - 1] : 0;
        if (before == kTimeoutCode || before == kNotAttemptedCode)
            o.codes[m_type] = kNotAttemptedCode;
        else
            run << o.address;
    }
    return run;
}

void TransferController::startRun()
{
    const QStringList addresses = runAddresses();
    if (addresses.isEmpty()) {
        typeDone();
        return;
    }
    const QString result = ResultFile();
    // A result left by an earlier run must never be read as this run's: without removing it, no run.
    if ((QFileInfo::exists(result) || QFileInfo(result).isSymLink()) && !QFile::remove(result)) {
        WriteLog(QStringLiteral("Transfer: cannot delete the old result file %1").arg(result));
        endCommand(QString(), QString(), 0, false);
        const QString message = GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgResultNotDeleted")).arg(result);
        if (m_cb.showCritical)
            m_cb.showCritical(message);
        else
            QMessageBox::critical(m_mainWindow, QString(), message, QMessageBox::Ok);
        return;
    }

    const QString program = DriverProgram();
    if (!QFileInfo(program).isExecutable()) {
        driverFailedToStart();
        return;
    }
    QStringList args{m_op == Op::Send ? QStringLiteral("WR") : QStringLiteral("RD"),
                     QString::number(kTypeCodes[m_type])};
    args += addresses;

    m_driver = new QProcess(this);
    m_driver->setProgram(program);
    m_driver->setArguments(args);
    // The exchange files live in the writable program folder (the user's own on an installed system).
    m_driver->setWorkingDirectory(m_ctx.paths.g_strWorkPath);
    m_driver->setStandardOutputFile(QProcess::nullDevice());
    m_driver->setStandardErrorFile(QProcess::nullDevice());
    connect(m_driver, &QProcess::finished, this, &TransferController::runFinished, Qt::QueuedConnection);
    connect(
        m_driver, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart && m_driver && m_driver->state() == QProcess::NotRunning)
                driverFailedToStart();
        },
        Qt::QueuedConnection);

    m_limitMs = driverLimitMs();
    m_runClock.start();
    m_driver->start();
    m_waitStep->start(qMin(kWaitStepMs, m_limitMs));
}

void TransferController::checkTimeLimit()
{
    if (!m_driver || m_runClock.elapsed() <= m_limitMs)
        return;
    m_waitStep->stop();
    m_driver->disconnect(this);
    KillProcess(m_driver);
    m_driver->deleteLater();
    m_driver = nullptr;
    WriteLog(QStringLiteral("Transfer: the driver ran longer than %1 ms and was stopped").arg(m_limitMs));
    endCommand(GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgUnknownError")), QString(), ResultPopup::KindError,
               true);
}

void TransferController::driverFailedToStart()
{
    m_waitStep->stop();
    if (m_driver) {
        m_driver->disconnect(this);
        m_driver->deleteLater();
        m_driver = nullptr;
    }
    const QString message = GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgCreateDriverError"));
    WriteLog(QStringLiteral("Transfer: cannot start %1").arg(DriverProgram()));
    endCommand(QString(), QString(), 0, false);
    if (m_cb.showCritical)
        m_cb.showCritical(message);
    else
        QMessageBox::critical(m_mainWindow, QString(), message, QMessageBox::Ok);
}

void TransferController::runFinished()
{
    if (!m_driver)
        return;
    m_waitStep->stop();
    m_driver->disconnect(this);
    const bool ran = m_driver->exitStatus() == QProcess::NormalExit && m_driver->exitCode() == 0;
    const bool usageError = m_driver->exitStatus() == QProcess::NormalExit && m_driver->exitCode() == 2;
    if (!ran)
        WriteLog(QStringLiteral("Transfer: the driver ended with exit status %1%2")
                     .arg(m_driver->exitCode())
                     .arg(m_driver->exitStatus() == QProcess::CrashExit ? QStringLiteral(" (crashed)") : QString()));
    m_driver->deleteLater();
    m_driver = nullptr;

    QStringList run;
    for (const ScaleOutcome& o : std::as_const(m_outcomes)) {
        if (o.codes[m_type] == kNotRun)
            run << o.address;
    }
    // Only a driver that ran has a result of this run; whatever file is there otherwise is not it.
    const QList<int> codes = ran ? ReadDriverCodes(ResultFile(), run)
                                 : QList<int>(run.size(), usageError ? kUsageErrorCode : kNoResultCode);
    for (int i = 0, j = 0; i < m_outcomes.size(); ++i) {
        if (m_outcomes[i].codes[m_type] == kNotRun)
            m_outcomes[i].codes[m_type] = codes[j++];
    }
    typeDone();
}

// Records the type's outcome for a receive and goes on with the next type, or ends.
void TransferController::typeDone()
{
    const QString section = QStringLiteral("frmMain");
    if (m_op == Op::Receive) {
        const int code = m_outcomes[0].codes[m_type];
        if (code != 0) {
            // Data that did not arrive is neither imported nor trusted.
            QFile::remove(m_receivedFiles[m_type]);
            m_receivedFiles[m_type].clear();
            if (!m_report.isEmpty())
                m_report += kCrLf;
            m_report += GetLangString(section, QString::fromLatin1(kRecvHeadings[m_type])) + kCrLf +
                        DriverReportLine(m_outcomes[0].address, codeText(code));
        }
    }
    ++m_type;
    const char* const* headings = m_op == Op::Send ? kSendHeadings : kRecvHeadings;
    if (m_type < 3) {
        setProgress(m_type * int(m_addresses.size()), GetLangString(section, QString::fromLatin1(headings[m_type])));
        startRun();
        return;
    }
    setProgress(m_total, QString());
    if (m_op == Op::Send)
        completeSend();
    else
        completeReceive();
}

void TransferController::completeSend()
{
    RecordTransfer(m_ctx.db(), NewJournalRun(TransferDirection::Send, m_cb.labelName ? m_cb.labelName() : QString(),
                                             TempFiles()),
                   m_outcomes);
    endCommand(SendReport(m_outcomes), GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgSendToScaleResult")),
               ResultPopup::KindInformation, true, SendReportCsv(m_outcomes));
}

void TransferController::completeReceive()
{
    RecordTransfer(m_ctx.db(), NewJournalRun(TransferDirection::Receive, QString(), m_receivedFiles), m_outcomes);
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
    m_waitStep->stop();
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
    auto* bar = new QProgressBar(w);
    bar->setFormat(QStringLiteral("%v / %m"));
    bar->setMaximumWidth(180);
    bar->setRange(0, qMax(1, m_total));
    bar->setValue(m_done);
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(bar);
    w->setVisible(busy());
    connect(this, &TransferController::busyChanged, w, &QWidget::setVisible);
    connect(this, &TransferController::progressChanged, w, [label, bar](int done, int total, const QString& step) {
        label->setText(step);
        bar->setRange(0, qMax(1, total));
        bar->setValue(done);
    });
    return w;
}

} // namespace quillon
