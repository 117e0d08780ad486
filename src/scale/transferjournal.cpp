#include "scale/transferjournal.h"

#include "context/texts.h"
#include "platform/csv.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/log.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr int kTypeCodes[3] = {52, 56, 61};
const QString kTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ");

// Column names by JournalModel::Column; the only text that reaches ORDER BY.
const char* const kColumns[JournalModel::ColumnCount] = {"TJ_TIME", "TJ_ADDRESS", "TJ_LABEL", "TJ_DIRECTION",
                                                         "TJ_TYPE",  "TJ_CODE",    "TJ_TEXT",  "TJ_HOST",
                                                         "TJ_USER",  "TJ_HASH"};
const QString kSelect = QStringLiteral(
    "select TJ_RUN, TJ_TIME, TJ_HOST, TJ_USER, TJ_DIRECTION, TJ_LABEL, TJ_HASH, TJ_ADDRESS, TJ_TYPE, TJ_CODE, TJ_TEXT "
    "from TRANSFER_JOURNAL");

QString sqlError(const QSqlQuery& q)
{
    const QSqlError e = q.lastError();
    return e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
}

// A null string binds as NULL; the columns hold "" for "none".
QString orEmpty(const QString& s)
{
    return s.isNull() ? QString(QLatin1String("")) : s;
}

QString osUser()
{
    // The account, not $USER: cron and sudo leave the variable behind.
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString directionName(TransferDirection d)
{
    return d == TransferDirection::Send ? QStringLiteral("send") : QStringLiteral("receive");
}

int typeIndex(int type)
{
    for (int k = 0; k < 3; ++k)
        if (kTypeCodes[k] == type)
            return k;
    return -1;
}

JournalEntry readEntry(const QSqlQuery& q)
{
    JournalEntry e;
    e.runId = q.value(0).toString();
    e.utc = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
    e.host = q.value(2).toString();
    e.user = q.value(3).toString();
    e.direction = q.value(4).toString();
    e.label = q.value(5).toString();
    e.hash = q.value(6).toString();
    e.address = q.value(7).toString();
    e.type = q.value(8).toInt();
    e.code = q.value(9).toInt();
    e.text = q.value(10).toString();
    return e;
}

// LIKE with the filter's own "%" and "_" taken literally.
QString likeLiteral(const QString& s)
{
    QString out = s;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    out.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return out;
}

QString utcText(const QDate& localDay)
{
    return QDateTime(localDay, QTime(0, 0)).toUTC().toString(kTimeFormat);
}

} // namespace

JournalRun NewJournalRun(TransferDirection direction, const QString& label, const QStringList& dataFiles)
{
    JournalRun run;
    run.runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    run.utc = QDateTime::currentDateTimeUtc();
    run.host = QSysInfo::machineHostName();
    run.user = osUser();
    run.direction = direction;
    run.label = label;
    for (int k = 0; k < 3 && k < dataFiles.size(); ++k) {
        QFile f(dataFiles[k]);
        if (dataFiles[k].isEmpty() || !f.open(QIODevice::ReadOnly))
            continue;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (hash.addData(&f))
            run.hashes[k] = QString::fromLatin1(hash.result().toHex());
    }
    return run;
}

QString JournalCodeText(int code)
{
    return GetLangString(QStringLiteral("Global"), QStringLiteral("msgTCPDriver%1").arg(code));
}

bool WriteJournal(QSqlDatabase& db, const JournalRun& run, const QList<ScaleOutcome>& outcomes, QString* error)
{
    // The rows as bound values, eleven per row.
    QVariantList values;
    QHash<int, QString> texts;
    const QString time = run.utc.toUTC().toString(kTimeFormat);
    for (const ScaleOutcome& o : outcomes) {
        for (int k = 0; k < 3; ++k) {
            const int code = o.codes[k] == kNotRun ? kNotAttemptedCode : o.codes[k];
            if (!texts.contains(code))
                texts.insert(code, JournalCodeText(code));
            values << run.runId << time << orEmpty(run.host) << orEmpty(run.user) << directionName(run.direction)
                   << orEmpty(run.label) << orEmpty(run.hashes[k]) << orEmpty(o.address) << kTypeCodes[k] << code
                   << orEmpty(texts.value(code));
        }
    }
    // Many rows per statement: a run of 2,000 scales on a server across the network is then a few
    // dozen round trips, not 6,000.
    constexpr int kColumns = 11, kRowsPerStatement = 64;
    const QString insert = QStringLiteral("insert into TRANSFER_JOURNAL (TJ_RUN, TJ_TIME, TJ_HOST, TJ_USER, TJ_DIRECTION, "
                                          "TJ_LABEL, TJ_HASH, TJ_ADDRESS, TJ_TYPE, TJ_CODE, TJ_TEXT) values ");
    const QString row = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    QString failure;
    if (!db.transaction()) {
        failure = db.lastError().text();
    } else {
        QSqlQuery q(db);
        int prepared = 0;   // rows of the prepared statement
        for (qsizetype first = 0; first < values.size() && failure.isEmpty(); first += kColumns * kRowsPerStatement) {
            const int rows = int(qMin<qsizetype>(kRowsPerStatement, (values.size() - first) / kColumns));
            if (rows != prepared) {
                QStringList placeholders(rows, row);
                if (!q.prepare(insert + placeholders.join(QStringLiteral(", ")))) {
                    failure = sqlError(q);
                    break;
                }
                prepared = rows;
            }
            for (int i = 0; i < rows * kColumns; ++i)
                q.bindValue(i, values[first + i]);
            if (!q.exec())
                failure = sqlError(q);
        }
        q.finish();
        if (failure.isEmpty() && !db.commit())
            failure = db.lastError().text();
        if (!failure.isEmpty())
            db.rollback();
    }
    if (error)
        *error = failure;
    return failure.isEmpty();
}

QString JournalLogLine(const JournalRun& run, const QList<ScaleOutcome>& outcomes)
{
    QMap<int, int> perCode;
    for (const ScaleOutcome& o : outcomes)
        for (int c : o.codes)
            ++perCode[c == kNotRun ? kNotAttemptedCode : c];
    QStringList counts;
    for (auto it = perCode.cbegin(); it != perCode.cend(); ++it)
        counts << QStringLiteral("code %1 x%2").arg(it.key()).arg(it.value());
    return QStringLiteral("Transfer journal: %1 \"%2\", %3 scale(s), %4 received the label; %5")
        .arg(directionName(run.direction), run.label)
        .arg(outcomes.size())
        .arg(outcomes.size() - FailedAddresses(outcomes).size())
        .arg(counts.join(QStringLiteral(", ")));
}

void RecordTransfer(Database& db, const JournalRun& run, const QList<ScaleOutcome>& outcomes)
{
    WriteLog(JournalLogLine(run, outcomes));
    QSqlDatabase main = db.mainDb();
    QString error;
    if (!main.isOpen())
        error = QStringLiteral("The main database is not open.");
    else
        WriteJournal(main, run, outcomes, &error);
    // The transfer itself is done; only its record is missing, and the technician must know.
    if (!error.isEmpty())
        ReportError(QStringLiteral("WriteJournal ") + db.mainFilePath(), error);
}

QStringList FailedAddresses(const QList<ScaleOutcome>& outcomes)
{
    QStringList failed;
    for (const ScaleOutcome& o : outcomes)
        if (OverallOutcome(o) != 0)
            failed << o.address;
    return failed;
}

QList<ScaleOutcome> JournalRunOutcomes(QSqlDatabase& db, const QString& runId, JournalEntry* shared)
{
    QSqlQuery q(db);
    q.prepare(kSelect + QStringLiteral(" where TJ_RUN = ? order by TJ_ADDRESS, TJ_TYPE"));
    q.addBindValue(runId);
    QList<ScaleOutcome> outcomes;
    if (!q.exec())
        return outcomes;
    while (q.next()) {
        const JournalEntry e = readEntry(q);
        if (shared && outcomes.isEmpty())
            *shared = e;
        if (outcomes.isEmpty() || outcomes.last().address != e.address)
            outcomes << ScaleOutcome{e.address};
        if (const int k = typeIndex(e.type); k >= 0)
            outcomes.last().codes[k] = e.code;
    }
    return outcomes;
}

QHash<QString, JournalEntry> LastTransfers(QSqlDatabase& db, const QStringList& addresses)
{
    QHash<QString, JournalEntry> last;
    QSqlQuery q(db);
    // Three rows at most per address, through its index: a run writes one per type.
    if (!q.prepare(kSelect + QStringLiteral(" where TJ_ADDRESS = ? order by TJ_TIME desc limit 3")))
        return last;
    for (const QString& a : addresses) {
        q.bindValue(0, a);
        if (!q.exec())
            continue;
        ScaleOutcome o{a};
        JournalEntry first;
        while (q.next()) {
            const JournalEntry e = readEntry(q);
            if (first.runId.isEmpty())
                first = e;
            if (const int k = typeIndex(e.type); e.runId == first.runId && k >= 0)
                o.codes[k] = e.code;
        }
        if (first.runId.isEmpty())
            continue;
        first.code = OverallOutcome(o);
        first.text = OutcomePhrase(first.code);
        last.insert(a, first);
    }
    return last;
}

// --- JournalModel ----------------------------------------------------------------------------

JournalModel::JournalModel(QSqlDatabase db, QObject* parent) : QAbstractTableModel(parent), m_db(std::move(db))
{
    for (const char* c : kColumns)
        m_headers << QString::fromLatin1(c);
}

void JournalModel::setHeaders(const QStringList& titles)
{
    for (int i = 0; i < titles.size() && i < m_headers.size(); ++i)
        m_headers[i] = titles[i];
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

QString JournalModel::selectSql(QVariantList* binds) const
{
    QStringList where;
    const QString address = m_filter.address.trimmed();
    if (!address.isEmpty()) {
        // A whole address goes through its index; "10.1.2." lists a subnet.
        if (address.count(QLatin1Char('.')) == 3 && !address.endsWith(QLatin1Char('.'))) {
            where << QStringLiteral("TJ_ADDRESS = ?");
            *binds << address;
        } else {
            where << QStringLiteral("TJ_ADDRESS like ? escape '\\'");
            *binds << likeLiteral(address) + QLatin1Char('%');
        }
    }
    const QString label = m_filter.label.trimmed();
    if (!label.isEmpty()) {
        where << QStringLiteral("lower(TJ_LABEL) like ? escape '\\'");
        *binds << QLatin1Char('%') + likeLiteral(label.toLower()) + QLatin1Char('%');
    }
    if (m_filter.from.isValid()) {
        where << QStringLiteral("TJ_TIME >= ?");
        *binds << utcText(m_filter.from);
    }
    if (m_filter.to.isValid()) {
        where << QStringLiteral("TJ_TIME < ?");
        *binds << utcText(m_filter.to.addDays(1));
    }
    const QString dir = m_sortOrder == Qt::DescendingOrder ? QStringLiteral(" desc") : QString();
    QString order = QString::fromLatin1(kColumns[m_sortColumn]) + dir;
    // Rows that tie stay in one order from page to page, a run's rows together.
    if (m_sortColumn != ColTime)
        order += QStringLiteral(", TJ_TIME desc");
    order += QStringLiteral(", TJ_RUN, TJ_ADDRESS, TJ_TYPE");
    return kSelect + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where.join(QStringLiteral(" and "))) +
           QStringLiteral(" order by ") + order;
}

bool JournalModel::fetchPage(QList<JournalEntry>* rows, QString* error) const
{
    QVariantList binds;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const QString sql = selectSql(&binds) + QStringLiteral(" limit ? offset ?");
    binds << kPageRows << int(m_rows.size());
    bool ok = q.prepare(sql);
    for (int i = 0; ok && i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!ok || !q.exec()) {
        *error = sqlError(q);
        return false;
    }
    while (q.next())
        *rows << readEntry(q);
    return true;
}

bool JournalModel::reload()
{
    beginResetModel();
    m_rows.clear();
    m_atEnd = false;
    m_error.clear();
    QList<JournalEntry> page;
    const bool ok = fetchPage(&page, &m_error);
    m_rows = page;
    m_atEnd = !ok || page.size() < kPageRows;
    endResetModel();
    return ok;
}

bool JournalModel::setFilter(const JournalFilter& filter)
{
    m_filter = filter;
    return reload();
}

void JournalModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    reload();
}

bool JournalModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void JournalModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || m_atEnd)
        return;
    QList<JournalEntry> page;
    if (!fetchPage(&page, &m_error)) {
        m_atEnd = true;
        return;
    }
    m_atEnd = page.size() < kPageRows;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size() - 1));
    m_rows += page;
    endInsertRows();
}

int JournalModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const JournalEntry& e = m_rows.at(index.row());
    switch (index.column()) {
    case ColTime: return e.utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case ColAddress: return e.address;
    case ColLabel: return e.label;
    case ColDirection: return e.direction;
    case ColType: return e.type;
    case ColCode: return e.code;
    case ColText: return e.text;
    case ColHost: return e.host;
    case ColUser: return e.user;
    case ColHash: return e.hash;
    default: return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_headers.size())
        return m_headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool JournalModel::exportCsv(const QString& path, QString* error) const
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = out.errorString();
        return false;
    }
    out.write(CsvLine(m_headers));
    QVariantList binds;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    bool ok = q.prepare(selectSql(&binds));
    for (int i = 0; ok && i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!ok || !q.exec()) {
        *error = sqlError(q);
        out.cancelWriting();
        return false;
    }
    // Times stay UTC in the file: a spreadsheet of several workstations' rows must agree.
    while (q.next()) {
        const JournalEntry e = readEntry(q);
        out.write(CsvLine({e.utc.toString(kTimeFormat), e.address, e.label, e.direction, QString::number(e.type),
                           QString::number(e.code), e.text, e.host, e.user, e.hash}));
    }
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace quillon
