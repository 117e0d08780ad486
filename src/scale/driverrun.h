#pragma once
// One send or receive through the transfer driver: the three data types in turn, each a
// driver process with all its scales, read as it goes. Shared by the program and
// quillon-convert, so both run the driver alike; no widgets.
#include "scale/transferreport.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;
class QTimer;

namespace quillon {

constexpr int kInvalidAddressCode = 6;   // the picked address is not a plain dotted IPv4 address
constexpr int kCancelledCode = 11;   // the user cancelled the run before this scale finished

// Section [Transfer] of the INI; every key falls back to the default when missing or out of range.
struct TransferSettings {
    int parallel = 64;        // Parallel: scales served at once
    int connectMs = 2000;     // ConnectTimeoutMs
    int replyMs = 3000;       // ReplyTimeoutMs: from connected to the whole reply
    int port = 0;             // Port; 0: the driver's own default
};
TransferSettings ReadTransferSettings(const QString& iniFile);

// The data types in run order.
inline constexpr int kTransferTypes[3] = {52, 56, 61};

// "SM<address>F<type>.DAT" in `workDir`; only for addresses that passed IsDottedIPv4.
QString ScaleFilePath(const QString& workDir, const QString& address, int type);
// The format, text and shop-name exports of a send in `workDir`, in run order.
QStringList SendExportFiles(const QString& workDir);
// One outcome per picked address, in their order; an address that is not plain dotted
// IPv4 is reported invalid for every type and never reaches a file name or the driver.
// `valid` gets the others.
QList<ScaleOutcome> PickedOutcomes(const QStringList& addresses, QStringList* valid);
// Copies the format, text and shop-name exports to each scale's files. A copy that fails is
// logged and shows as the driver's "file missing" for that scale.
void PlaceSendFiles(const QString& workDir, const QStringList& addresses, const QStringList& exports);

class DriverRun : public QObject {
    Q_OBJECT
public:
    enum class Direction { Send, Receive };
    enum class Failure {
        None,
        ResultNotDeleted,   // an old result file stayed: nothing was run
        DriverNotStarted,
        DriverStalled,      // no progress for too long: the driver was killed
    };

    DriverRun(const QString& driverProgram, const QString& workDir, const TransferSettings& settings,
              QObject* parent = nullptr);
    ~DriverRun() override;

    // Runs every type for the outcomes whose codes are still kNotRun (others, such as invalid
    // addresses, stay as they are); the per-scale files must be in the work folder. Returns at once.
    void start(Direction direction, const QList<ScaleOutcome>& outcomes);
    // Ends the run: finished scales keep their codes, the rest become kCancelledCode.
    void cancel();
    // Starts and waits in a local event loop (for the command line).
    void exec(Direction direction, const QList<ScaleOutcome>& outcomes);

    bool running() const { return m_running; }
    QList<ScaleOutcome> outcomes() const { return m_outcomes; }
    Failure failure() const { return m_failure; }
    QString resultFile() const;
    // How long the driver may go without reporting a scale before it counts as stuck.
    int stallLimitMs() const { return m_stallLimitMs; }

signals:
    // Index 0..2 of the type now running, with the number of scales it goes to.
    void typeStarted(int typeIndex, int scales);
    // Scales of the current type finished so far; failures: scales with any failed type so far.
    void progress(int typeIndex, int done, int scales, int failures);
    void finished();

private:
    void startType();
    void readProgress();
    void driverEnded();
    void checkStall();
    void endRun(Failure failure);
    QStringList typeAddresses();

    QString m_program;
    QString m_workDir;
    TransferSettings m_settings;
    Direction m_direction = Direction::Send;
    QList<ScaleOutcome> m_outcomes;
    QHash<QString, int> m_lineCodes;   // codes the driver printed during the current type
    QByteArray m_pending;              // a partial progress line
    int m_type = 0;
    int m_typeScales = 0;
    bool m_running = false;
    bool m_cancelled = false;
    Failure m_failure = Failure::None;
    QProcess* m_driver = nullptr;
    QTimer* m_stallTimer = nullptr;
    QElapsedTimer m_sinceProgress;
    int m_stallLimitMs = 30000;
};

} // namespace quillon
