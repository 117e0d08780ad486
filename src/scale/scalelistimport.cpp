#include "scale/scalelistimport.h"

#include "platform/csv.h"
#include "scale/scaledata.h"

#include "platform/database.h"
#include "platform/ini.h"

#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

namespace quillon::scalelist {

namespace {

constexpr int kDepartment = 97;          // every scale added by this program
constexpr int kStartTimeoutMs = 10000;
constexpr int kRunTimeoutMs = 5 * 60 * 1000;

// One scale row; the values are bound, whatever a file held.
bool insertScale(Database& db, const QVariant& number, const QVariant& department, const QString& ip,
                 const QVariant& used, const QVariant& modelId, const QString& store = QString())
{
    const QVariant storeValue = store.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(store);
    return bool(db.QueryVexoDB(
        QStringLiteral("insert into SCALE(SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID,Store) VALUES(?,?,?,?,?,?)"),
        {number, department, ip, used, modelId, storeValue}));
}

QString sqlError(const QSqlQuery& q)
{
    const QString t = q.lastError().text().trimmed();
    return t.isEmpty() ? QStringLiteral("Unknown database error.") : t;
}

// The scale number of a dotted IPv4 address: its last part.
int scaleNumber(const QString& address)
{
    return address.section(QLatin1Char('.'), -1).toInt();
}

bool validScaleAddress(const QString& address)
{
    return IsDottedIPv4(address) && scaleNumber(address) != 0;
}

QString text(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

// An integer column of a legacy table: its number, rounded half to even into 16 bits.
std::optional<int> int16Value(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    bool overflow = false;
    const qint16 r = RoundToInt16(d, &overflow);
    if (overflow)
        return std::nullopt;
    return r;
}

bool boolValue(const QVariant& v)
{
    const QString t = text(v).trimmed().toLower();
    return t == QLatin1String("1") || t == QLatin1String("-1") || t == QLatin1String("true")
           || t == QLatin1String("yes");
}

// A table of a legacy database: columns found by name, whatever their case or order.
struct Table {
    QStringList header;
    QList<CsvRecord> rows;
    QList<int> lines;

    int column(const QString& name) const
    {
        for (int i = 0; i < header.size(); ++i)
            if (header[i].trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

std::optional<Table> readTable(const ExportRunner& run, const QString& file, const QString& table,
                               const QStringList& needed, QString* error)
{
    const std::optional<QByteArray> out = run(QStringLiteral("mdb-export"), {file, table}, error);
    if (!out)
        return std::nullopt;
    QString why;
    QList<int> lines;
    auto records = ParseCsv(*out, &why, &lines);
    if (!records) {
        *error = QStringLiteral("the table %1 as mdb-export writes it is not CSV: %2").arg(table, why);
        return std::nullopt;
    }
    if (records->isEmpty()) {
        *error = QStringLiteral("mdb-export wrote no header for the table %1").arg(table);
        return std::nullopt;
    }
    Table t;
    for (const QVariant& v : records->takeFirst())
        t.header << text(v);
    lines.removeFirst();
    t.rows = *records;
    t.lines = lines;
    for (const QString& n : needed) {
        if (t.column(n) < 0) {
            *error = QStringLiteral("the table %1 has no column %2").arg(table, n);
            return std::nullopt;
        }
    }
    for (int i = 0; i < t.rows.size(); ++i) {
        if (t.rows[i].size() != t.header.size()) {
            *error = QStringLiteral("the table %1, line %2: %3 fields where the header has %4")
                         .arg(table)
                         .arg(t.lines[i])
                         .arg(t.rows[i].size())
                         .arg(t.header.size());
            return std::nullopt;
        }
    }
    return t;
}

// Runs the statements of one import in a transaction; nothing stays on failure.
class Transaction {
public:
    explicit Transaction(QSqlDatabase db) : m_db(db) { m_open = m_db.transaction(); }
    ~Transaction()
    {
        if (m_open)
            m_db.rollback();
    }
    bool isOpen() const { return m_open; }
    QString error() const { return m_db.lastError().text(); }
    bool commit()
    {
        m_open = false;
        if (m_db.commit())
            return true;
        m_db.rollback();
        return false;
    }

private:
    QSqlDatabase m_db;
    bool m_open = false;
};

Report failed(const QString& why)
{
    Report r;
    r.error = why;
    return r;
}

Report importMain(Database& db, const ExportRunner& run, const QString& file, const QString& modelTable,
                  const QString& scaleTable)
{
    const QStringList modelColumns = {QStringLiteral("ID"), QStringLiteral("SCALE_NAME"), QStringLiteral("MAX_WIDTH"),
                                      QStringLiteral("MIN_WIDTH"), QStringLiteral("MAX_HEIGHT"),
                                      QStringLiteral("MIN_HEIGHT"), QStringLiteral("MM_PER_KDOT")};
    const QStringList scaleColumns = {QStringLiteral("DP_NO"), QStringLiteral("SC_IP"), QStringLiteral("SC_USED"),
                                      QStringLiteral("SC_MODEL_ID")};
    QString why;
    std::optional<Table> models;
    std::optional<Table> scales;
    if (!modelTable.isEmpty() && !(models = readTable(run, file, modelTable, modelColumns, &why)))
        return failed(why);
    if (!scaleTable.isEmpty() && !(scales = readTable(run, file, scaleTable, scaleColumns, &why)))
        return failed(why);

    Report r;
    Transaction tx(db.mainDb());
    if (!tx.isOpen())
        return failed(tx.error());

    QHash<QString, int> idByName;
    QSet<int> ids;
    {
        auto q = db.QueryVexoDB(QStringLiteral("select ID, SCALE_NAME from SCALE_MODEL order by SCALE_NAME, ID"));
        if (!q)
            return failed(QStringLiteral("the scale models cannot be read"));
        while (q->next()) {
            const int id = q->value(0).toInt();
            ids.insert(id);
            if (!idByName.contains(q->value(1).toString()))
                idByName.insert(q->value(1).toString(), id);
        }
    }

    // Legacy model ID -> ID here. Without a model table the scales refer to ours.
    QHash<int, int> modelMap;
    if (!models) {
        for (int id : std::as_const(ids))
            modelMap.insert(id, id);
    } else {
        const Table& t = *models;
        for (int i = 0; i < t.rows.size(); ++i) {
            const CsvRecord& row = t.rows[i];
            const QString where = QStringLiteral("%1, line %2").arg(modelTable).arg(t.lines[i]);
            const QString name = text(row[t.column(QStringLiteral("SCALE_NAME"))]).trimmed();
            QList<int> values;
            bool bad = name.isEmpty();
            for (const QString& c : modelColumns) {
                if (c == QLatin1String("SCALE_NAME"))
                    continue;
                const auto v = int16Value(row[t.column(c)]);
                bad = bad || !v;
                values << v.value_or(0);
            }
            // values: ID, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT
            if (bad || values[5] <= 0) {
                r.notes << QStringLiteral("%1: model \"%2\" has an empty name or a value that is not a number "
                                          "the program can use; skipped").arg(where, name);
                ++r.skipped;
                continue;
            }
            const int legacyId = values[0];
            if (idByName.contains(name)) {
                // Labels refer to models by name order; a known model keeps its sizes.
                modelMap.insert(legacyId, idByName.value(name));
                r.notes << QStringLiteral("%1: model \"%2\" is already known; kept as it is").arg(where, name);
                continue;
            }
            int id = legacyId;
            if (ids.contains(id)) {
                id = ids.isEmpty() ? 1 : *std::max_element(ids.cbegin(), ids.cend()) + 1;
                if (id > 32767) {
                    r.notes << QStringLiteral("%1: no free ID for model \"%2\"; skipped").arg(where, name);
                    ++r.skipped;
                    continue;
                }
                r.notes << QStringLiteral("%1: model \"%2\" gets the ID %3, as %4 is taken").arg(where, name).arg(id).arg(legacyId);
            }
            auto q = db.QueryVexoDB(QStringLiteral("insert into SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, "
                                                   "MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) values (?, ?, ?, ?, ?, ?, ?)"),
                                    {id, name, values[1], values[2], values[3], values[4], values[5]});
            if (!q)
                return failed(QStringLiteral("%1: model \"%2\" cannot be stored").arg(where, name));
            ids.insert(id);
            idByName.insert(name, id);
            modelMap.insert(legacyId, id);
            ++r.added;
        }
    }

    if (scales) {
        QSet<QString> known;
        auto q = db.QueryVexoDB(QStringLiteral("select SC_IP from SCALE"));
        if (!q)
            return failed(QStringLiteral("the scale list cannot be read"));
        while (q->next())
            known.insert(q->value(0).toString().trimmed());
        const Table& t = *scales;
        for (int i = 0; i < t.rows.size(); ++i) {
            const CsvRecord& row = t.rows[i];
            const QString where = QStringLiteral("%1, line %2").arg(scaleTable).arg(t.lines[i]);
            const QString ip = text(row[t.column(QStringLiteral("SC_IP"))]).trimmed();
            if (!validScaleAddress(ip)) {
                r.notes << QStringLiteral("%1: \"%2\" is not a dotted IPv4 address of a scale; skipped").arg(where, ip);
                ++r.skipped;
                continue;
            }
            if (known.contains(ip)) {
                r.notes << QStringLiteral("%1: the address %2 is already in the scale list; skipped").arg(where, ip);
                ++r.skipped;
                continue;
            }
            const auto legacyModel = int16Value(row[t.column(QStringLiteral("SC_MODEL_ID"))]);
            if (!legacyModel || !modelMap.contains(*legacyModel)) {
                r.notes << QStringLiteral("%1: the scale %2 has no known model; skipped").arg(where, ip);
                ++r.skipped;
                continue;
            }
            const int dept = int16Value(row[t.column(QStringLiteral("DP_NO"))]).value_or(kDepartment);
            const bool used = boolValue(row[t.column(QStringLiteral("SC_USED"))]);
            if (!insertScale(db, scaleNumber(ip), dept, ip, used, modelMap.value(*legacyModel)))
                return failed(QStringLiteral("%1: the scale %2 cannot be stored").arg(where, ip));
            known.insert(ip);
            ++r.added;
        }
    }
    if (!tx.commit())
        return failed(tx.error());
    r.ok = true;
    return r;
}

Report importLanguage(Database& db, const ExportRunner& run, const QString& file, const QString& table)
{
    const QStringList columns = {QStringLiteral("E_NAME"), QStringLiteral("Caption"), QStringLiteral("English"),
                                 QStringLiteral("Chinese"), QStringLiteral("Other")};
    QString why;
    const std::optional<Table> t = readTable(run, file, table, columns, &why);
    if (!t)
        return failed(why);

    Report r;
    QSqlDatabase ldb = db.languageDb();
    Transaction tx(ldb);
    if (!tx.isOpen())
        return failed(tx.error());
    QSqlQuery update(ldb);
    QSqlQuery insert(ldb);
    if (!update.prepare(QStringLiteral("update tbl_LANGUAGE set English = ?, Chinese = ?, Other = ? "
                                       "where E_NAME = ? collate nocase and Caption = ? collate nocase"))
        || !insert.prepare(QStringLiteral("insert into tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) "
                                          "values (?, ?, ?, ?, ?)")))
        return failed(sqlError(update.lastError().isValid() ? update : insert));

    // A Null text stays Null: the program reports it when it is asked for.
    const auto value = [](const QVariant& v) { return v.isNull() ? QVariant(QMetaType::fromType<QString>()) : v; };
    QSet<QString> seen;
    for (int i = 0; i < t->rows.size(); ++i) {
        const CsvRecord& row = t->rows[i];
        const QString where = QStringLiteral("%1, line %2").arg(table).arg(t->lines[i]);
        const QString program = text(row[t->column(columns[0])]);
        const QString key = text(row[t->column(columns[1])]);
        if (program.isEmpty() || key.isEmpty()) {
            r.notes << QStringLiteral("%1: a text without program or key; skipped").arg(where);
            ++r.skipped;
            continue;
        }
        const QString id = program.toUpper() + QLatin1Char('\n') + key.toUpper();
        if (seen.contains(id)) {
            r.notes << QStringLiteral("%1: the key %2 of %3 is given twice; skipped").arg(where, key, program);
            ++r.skipped;
            continue;
        }
        seen.insert(id);
        const QVariant en = value(row[t->column(columns[2])]);
        const QVariant zh = value(row[t->column(columns[3])]);
        const QVariant other = value(row[t->column(columns[4])]);
        for (const QVariant& v : {en, zh, other, QVariant(program), QVariant(key)})
            update.addBindValue(v);
        if (!update.exec())
            return failed(QStringLiteral("%1: %2").arg(where, sqlError(update)));
        if (update.numRowsAffected() > 0) {
            ++r.replaced;
            continue;
        }
        for (const QVariant& v : {QVariant(program), QVariant(key), en, zh, other})
            insert.addBindValue(v);
        if (!insert.exec())
            return failed(QStringLiteral("%1: %2").arg(where, sqlError(insert)));
        ++r.added;
    }
    update.finish();
    insert.finish();
    if (!tx.commit())
        return failed(tx.error());
    r.ok = true;
    return r;
}

} // namespace

Report ExportScales(Database& db, QByteArray* csv)
{
    auto q = db.QueryVexoDB(QStringLiteral("Select SC_No, SC_IP, SCALE_NAME, Store from SCALE, SCALE_MODEL "
                                           "where SC_Used=true and SC_MODEL_ID=ID order by SC_No, SC_IP"));
    if (!q)
        return failed(QStringLiteral("the scale list cannot be read"));
    Report r;
    QByteArray out = CsvLine(ScaleCsvHeader());
    while (q->next()) {
        out += CsvLine({q->value(0).toString(), q->value(1).toString(), q->value(2).toString(),
                        q->value(3).toString()});
        ++r.added;
    }
    *csv = out;
    r.ok = true;
    return r;
}

Report ImportScales(Database& db, const QByteArray& csv)
{
    QString why;
    QList<int> lines;
    const auto records = ParseCsv(csv, &why, &lines);
    if (!records)
        return failed(why);
    if (records->isEmpty())
        return failed(QStringLiteral("the file is empty; its first line must be the header Number,Address,Model,Store"));
    const CsvRecord& header = records->first();
    const QStringList expected = ScaleCsvHeader();
    // Files written before the store column existed have the first three only.
    const qsizetype columns = header.size();
    bool headerOk = columns == expected.size() || columns == expected.size() - 1;
    for (int i = 0; headerOk && i < columns; ++i)
        headerOk = text(header[i]).trimmed().compare(expected[i], Qt::CaseInsensitive) == 0;
    if (!headerOk)
        return failed(QStringLiteral("line %1: the first line must be the header Number,Address,Model,Store "
                                     "(or Number,Address,Model)").arg(lines.first()));

    QHash<QString, int> idByName;
    {
        auto q = db.QueryVexoDB(QStringLiteral("select ID, SCALE_NAME from SCALE_MODEL order by SCALE_NAME, ID"));
        if (!q)
            return failed(QStringLiteral("the scale models cannot be read"));
        while (q->next())
            if (!idByName.contains(q->value(1).toString()))
                idByName.insert(q->value(1).toString(), q->value(0).toInt());
    }

    // Everything that would refuse the whole file is found before anything is stored.
    QStringList fatal;
    for (int i = 1; i < records->size(); ++i) {
        const CsvRecord& rec = records->at(i);
        if (rec.size() != columns)
            fatal << QStringLiteral("line %1: %2 fields where the header has %3").arg(lines[i]).arg(rec.size()).arg(columns);
        else if (!idByName.contains(text(rec[2]).trimmed()))
            fatal << QStringLiteral("line %1: there is no scale model \"%2\"").arg(lines[i]).arg(text(rec[2]).trimmed());
    }
    if (!fatal.isEmpty()) {
        Report r = failed(fatal.first());
        r.notes = fatal;
        return r;
    }

    Report r;
    Transaction tx(db.mainDb());
    if (!tx.isOpen())
        return failed(tx.error());
    QSet<QString> known;
    {
        auto q = db.QueryVexoDB(QStringLiteral("select SC_IP from SCALE"));
        if (!q)
            return failed(QStringLiteral("the scale list cannot be read"));
        while (q->next())
            known.insert(q->value(0).toString().trimmed());
    }
    for (int i = 1; i < records->size(); ++i) {
        const CsvRecord& rec = records->at(i);
        const QString number = text(rec[0]).trimmed();
        const QString ip = text(rec[1]).trimmed();
        if (!validScaleAddress(ip)) {
            r.notes << QStringLiteral("line %1: \"%2\" is not a dotted IPv4 address of a scale; skipped").arg(lines[i]).arg(ip);
            ++r.skipped;
            continue;
        }
        if (known.contains(ip)) {
            r.notes << QStringLiteral("line %1: the address %2 is already in the scale list; skipped").arg(lines[i]).arg(ip);
            ++r.skipped;
            continue;
        }
        const int no = scaleNumber(ip);
        if (!number.isEmpty() && number != QString::number(no))
            r.notes << QStringLiteral("line %1: the number %2 is not the last part of %3; %4 is stored")
                           .arg(lines[i]).arg(number, ip).arg(no);
        const QString store = columns > 3 ? text(rec[3]).trimmed() : QString();
        if (!insertScale(db, no, kDepartment, ip, true, idByName.value(text(rec[2]).trimmed()), store))
            return failed(QStringLiteral("line %1: the scale %2 cannot be stored").arg(lines[i]).arg(ip));
        known.insert(ip);
        ++r.added;
    }
    if (!tx.commit())
        return failed(tx.error());
    r.ok = true;
    return r;
}

ExportRunner ProcessRunner()
{
    return [](const QString& program, const QStringList& args, QString* error) -> std::optional<QByteArray> {
        QProcess p;
        p.setProgram(program);
        p.setArguments(args);
        p.start(QIODevice::ReadOnly);
        if (!p.waitForStarted(kStartTimeoutMs)) {
            *error = QStringLiteral("%1 cannot be started (is the package mdbtools installed?): %2").arg(program, p.errorString());
            return std::nullopt;
        }
        if (!p.waitForFinished(kRunTimeoutMs)) {
            p.kill();
            p.waitForFinished(kStartTimeoutMs);
            *error = QStringLiteral("%1 did not finish in %2 minutes").arg(program).arg(kRunTimeoutMs / 60000);
            return std::nullopt;
        }
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            const QString err = QString::fromUtf8(p.readAllStandardError()).simplified().left(500);
            *error = QStringLiteral("%1 failed (exit status %2)%3").arg(program).arg(p.exitCode())
                         .arg(err.isEmpty() ? QString() : QStringLiteral(": ") + err);
            return std::nullopt;
        }
        return p.readAllStandardOutput();
    };
}

LegacyReport ImportLegacyDatabase(Database& db, const QString& mdbFile, const ExportRunner& run)
{
    LegacyReport result;
    const QFileInfo info(mdbFile);
    if (!info.isFile()) {
        result.error = QStringLiteral("no such file");
        return result;
    }
    // Absolute, so that a name beginning with "-" never reads as an option.
    const QString file = info.absoluteFilePath();
    QString why;
    const std::optional<QByteArray> list = run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), file}, &why);
    if (!list) {
        result.error = why;
        return result;
    }
    QString modelTable;
    QString scaleTable;
    QString languageTable;
    for (const QString& line : QString::fromUtf8(*list).split(u'\n')) {
        const QString t = line.trimmed();
        if (t.compare(QLatin1String("SCALE_MODEL"), Qt::CaseInsensitive) == 0)
            modelTable = t;
        else if (t.compare(QLatin1String("SCALE"), Qt::CaseInsensitive) == 0)
            scaleTable = t;
        else if (t.compare(QLatin1String("tbl_LANGUAGE"), Qt::CaseInsensitive) == 0)
            languageTable = t;
    }
    if (modelTable.isEmpty() && scaleTable.isEmpty() && languageTable.isEmpty()) {
        result.error = QStringLiteral("the database holds none of the tables SCALE_MODEL, SCALE and tbl_LANGUAGE");
        return result;
    }
    if (!modelTable.isEmpty() || !scaleTable.isEmpty())
        result.main = importMain(db, run, file, modelTable, scaleTable);
    if (!languageTable.isEmpty())
        result.language = importLanguage(db, run, file, languageTable);
    return result;
}

} // namespace quillon::scalelist
