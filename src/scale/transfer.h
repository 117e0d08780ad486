#pragma once
// Sending the active label to scales and fetching one from a scale, through the
// transfer driver in the program folder. The run itself is a DriverRun, driven by the
// driver's signals and output: nothing waits on the user-interface thread.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include "scale/driverresult.h"
#include "scale/transferreport.h"
#include <functional>

class QWidget;

namespace quillon {

class DriverRun;
class AppContext;

// What the picker handed back.
struct ScalePick {
    bool m_bCancel = true;
    QString m_strScales;   // addresses joined by ";"
};

// The main window's side of a transfer.
struct TransferCallbacks {
    // True when there is an active document to send.
    std::function<bool()> hasActiveDocument;
    // The active document's exports; false when the file was not written (already reported).
    std::function<bool(const QString& path)> exportFormatData;
    std::function<bool(const QString& path, int fieldType)> exportTextData;   // 10 text, 11 shop name
    // One new document per received format record; an empty path: that data did not arrive.
    std::function<void(const QString& formatFile, const QString& textFile, const QString& shopNameFile, int model)>
        importReceivedData;
    // Optional: the active label's file name, for the transfer journal.
    std::function<QString()> labelName;
    // Optional: the picker (default: ScalePicker over the main window).
    std::function<ScalePick(bool multiSelect)> pickScales;
    // Optional: a critical message with an OK button (default: a message box).
    std::function<void(const QString& text)> showCritical;
    // Optional: the result pop-up (default: ShowPopupMsg at the main window's corner).
    std::function<void(const QString& message, const QString& title, int kind)> showPopup;
};

class TransferController : public QObject {
    Q_OBJECT
public:
    TransferController(AppContext& ctx, QWidget* mainWindow, TransferCallbacks callbacks, QObject* parent = nullptr);
    ~TransferController() override;

    // Both return as soon as the driver runs; busyChanged(false) and finished() tell the end.
    // While busy() a second call does nothing.
    void SendToScales();
    void ReceiveFromScale();

    // Ends a running command: finished scales are reported as they are, the rest as cancelled.
    void Cancel();

    bool busy() const { return m_op != Op::None; }
    int progressDone() const { return m_done; }
    int progressTotal() const { return m_total; }
    // The report of the last command ("" when nothing was shown), and of a send also as CSV.
    QString lastReport() const { return m_lastReport; }
    QByteArray lastReportCsv() const { return m_lastCsv; }
    // Each picked scale's codes of the last send or receive.
    QList<ScaleOutcome> lastOutcomes() const { return m_lastOutcomes; }

    // A status-bar sized progress indicator that shows itself while a transfer runs.
    QWidget* createProgressWidget(QWidget* parent);

    // Paths of the program folder's exchange files.
    QString PerScaleFile(const QString& address, int typeCode) const;
    QString ResultFile() const;
    QString DriverProgram() const;
    QStringList TempFiles() const;

signals:
    void busyChanged(bool busy);
    void progressChanged(int done, int total, const QString& step);
    // Scales of the current data type finished, of how many; scales with a failure so far.
    void scaleProgress(int done, int scales, int failures);
    void finished(const QString& report);

private:
    enum class Op { None, Send, Receive };
    void startRun();
    void runFinished();
    void showCritical(const QString& message);
    // The run's rows in the transfer journal, and its line in the daily log.
    void recordRun();
    void completeSend();
    void completeReceive();
    void endCommand(const QString& popupMessage, const QString& popupTitle, int kind, bool showPopup,
                    const QByteArray& csv = QByteArray());
    void deleteExchangeFiles();
    void setProgress(int done, const QString& step);
    ScalePick pick(bool multi);

    AppContext& m_ctx;
    QPointer<QWidget> m_mainWindow;
    TransferCallbacks m_cb;

    Op m_op = Op::None;
    QStringList m_addresses;     // valid addresses in the picker's order
    QList<ScaleOutcome> m_outcomes; // every picked address, invalid ones included
    QList<ScaleOutcome> m_lastOutcomes;
    QByteArray m_lastCsv;
    QStringList m_receivedFiles; // receive: files still known (empty = did not arrive)
    QString m_step;              // the heading of the data type that runs
    int m_failures = 0;
    QString m_report;
    QString m_lastReport;
    int m_done = 0;
    int m_total = 0;
    DriverRun* m_run = nullptr;
};

} // namespace quillon
