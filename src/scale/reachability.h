#pragma once
// Which scales can be reached before a transfer: a ping of each address, or a
// TCP connect to the transfer port. Thousands of addresses without thousands of
// processes or sockets at once: one fping for all, or a bounded number of checks
// with the rest queued.
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;
class QTcpSocket;
class QTimer;

namespace quillon {

class ReachabilityCheck : public QObject {
    Q_OBJECT
public:
    enum class Method { Ping, Port };
    enum class State { Queued, Checking, Answered, NoAnswer, PortClosed, NotStarted };

    // Section "Transfer" of the INI file: "Check" (ping or port), "Ping", "Fping",
    // "Port" (QUILLON_SCALE_PORT first, as the driver reads it).
    struct Settings {
        Method method = Method::Ping;
        QString pingProgram = QStringLiteral("ping");
        QString fpingProgram = QStringLiteral("fping"); // "" or "none": one ping per address
        quint16 port = 3001;
        int deadlineMs = 1500;
        int maxParallel = 32;
    };
    static Settings ReadSettings(const QString& iniFile);

    explicit ReachabilityCheck(const Settings& settings, QObject* parent = nullptr);
    ~ReachabilityCheck() override;

    // Checks every address; index i of the signals is addresses[i]. Each must be
    // a dotted IPv4 address: nothing else reaches a command line.
    void start(const QStringList& addresses);
    // Ends every check; the rows not finished keep their state.
    void stop();

    int pending() const;
    int running() const { return m_running; }
    State state(int index) const { return m_rows.value(index).state; }
    // Why a check could not start, or what a failed connect said.
    QString reason(int index) const { return m_rows.value(index).reason; }
    const Settings& settings() const { return m_settings; }

signals:
    void changed(int index);
    void finished();

private:
    struct Row {
        QString address;
        State state = State::Queued;
        QString reason;
    };
    struct Job {
        int index = -1;
        QProcess* process = nullptr;
        QTcpSocket* socket = nullptr;
        QElapsedTimer started;
    };

    void set(int index, State state, const QString& reason = QString());
    bool startFping();
    void fpingDone();
    void fillSlots();
    void startOne(int index);
    void jobDone(Job* job, State state, const QString& reason = QString());
    void sweep();
    void checkFinished();

    Settings m_settings;
    QList<Row> m_rows;
    QList<int> m_queue;
    QList<Job*> m_jobs;
    QProcess* m_fping = nullptr;
    QElapsedTimer m_fpingStarted;
    QTimer* m_sweep = nullptr;
    int m_running = 0;
    bool m_active = false;
};

} // namespace quillon
