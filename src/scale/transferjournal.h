#pragma once
// The transfer journal in the main database (table TRANSFER_JOURNAL): who sent what to
// which scale and what came of it, one row per scale and data type. No widgets here, so
// the command-line tool journals its runs the same way as the program's windows.
#include <QAbstractTableModel>
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include "scale/transferreport.h"
#include <functional>

namespace quillon {

class Database;

enum class TransferDirection { Send, Receive };

// What a run's rows share.
struct JournalRun {
    QString runId;              // unique per run
    QDateTime utc;
    QString host;               // workstation
    QString user;               // operating-system user
    TransferDirection direction = TransferDirection::Send;
    QString label;              // the label's file name ("" for a receive)
    QString hashes[3];          // SHA-256 in hex of the bytes of 52, 56, 61; "" when there were none
};

// A run starting now on this workstation; `dataFiles` are the files sent (or received) for
// 52, 56 and 61, hashed as they are (a missing one hashes as "").
JournalRun NewJournalRun(TransferDirection direction, const QString& label, const QStringList& dataFiles);

// The driver code's text for the journal (the interface's own text).
QString JournalCodeText(int code);

// Writes the run's rows in one transaction: every outcome, all three types (a type the run
// never reached is "not attempted"). False with *error, and nothing written, on failure.
bool WriteJournal(QSqlDatabase& db, const JournalRun& run, const QList<ScaleOutcome>& outcomes,
                  QString* error = nullptr);

// The daily log's line for a run: direction, label, scales and rows per code; never
// file contents or credentials.
QString JournalLogLine(const JournalRun& run, const QList<ScaleOutcome>& outcomes);

// Journal and log line of a finished run; a journal that cannot be written is reported.
void RecordTransfer(Database& db, const JournalRun& run, const QList<ScaleOutcome>& outcomes);

// The addresses whose label did not fully arrive, in the run's order.
QStringList FailedAddresses(const QList<ScaleOutcome>& outcomes);

// One journal row as the history shows it.
struct JournalEntry {
    QString runId;
    QDateTime utc;
    QString host, user, direction, label, hash, address, text;
    int type = 0;
    int code = 0;
};

// The outcomes of one run, in address order, and what its rows share (direction, label).
QList<ScaleOutcome> JournalRunOutcomes(QSqlDatabase& db, const QString& runId, JournalEntry* shared = nullptr);

// Each address's last run: its time and label in `entry`, its overall outcome in entry.code.
QHash<QString, JournalEntry> LastTransfers(QSqlDatabase& db, const QStringList& addresses);

// What the history shows: an address (a whole address matches exactly, a part as its start),
// part of a label's file name, and local days from/to (invalid: open).
struct JournalFilter {
    QString address;
    QString label;
    QDate from, to;
};

// The journal newest first (or by any column), filtered, fetched a page at a time as the view
// scrolls, so a journal of millions of rows opens at once.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColTime, ColAddress, ColLabel, ColDirection, ColType, ColCode, ColText, ColHost, ColUser,
                  ColHash, ColumnCount };
    static constexpr int kPageRows = 256;

    explicit JournalModel(QSqlDatabase db, QObject* parent = nullptr);

    void setHeaders(const QStringList& titles);
    // Applies the filter and reads the first page again. False with lastError() on a failure.
    bool setFilter(const JournalFilter& filter);
    const JournalFilter& filter() const { return m_filter; }
    const JournalEntry& entry(int row) const { return m_rows.at(row); }
    QString lastError() const { return m_error; }

    // Every row of the filter, in the shown order, as CSV (a header line first).
    bool exportCsv(const QString& path, QString* error) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    QString selectSql(QVariantList* binds) const;
    bool fetchPage(QList<JournalEntry>* rows, QString* error) const;
    bool reload();

    QSqlDatabase m_db;
    JournalFilter m_filter;
    int m_sortColumn = ColTime;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    QStringList m_headers;
    QList<JournalEntry> m_rows;
    bool m_atEnd = true;
    QString m_error;
};

} // namespace quillon
