#include "context/barcodeformats.h"
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>

namespace quillon {

namespace {

Result failure(const QSqlError& e) { return Result::Fail(e.text().trimmed()); }

// Labels are told apart by their file name, so a label copied to another
// workstation's folder keeps its choice.
QString labelKey(const QString& labelFile) { return QFileInfo(labelFile).fileName(); }

// Runs `work` in one transaction: all of it is stored, or none.
Result inTransaction(QSqlDatabase& db, const std::function<Result(QSqlQuery&)>& work)
{
    if (!db.transaction())
        return failure(db.lastError());
    Result r;
    {
        QSqlQuery q(db);
        r = work(q);
    }
    if (r.ok && !db.commit())
        r = failure(db.lastError());
    if (!r.ok)
        db.rollback();
    return r;
}

// An empty pattern is stored as "", which the NOT NULL column takes.
QString stored(const QString& pattern) { return pattern.isNull() ? QStringLiteral("") : pattern; }

} // namespace

QList<BarcodeFormat> LoadBarcodeFormats(QSqlDatabase db, Result* result, int* skipped)
{
    QList<BarcodeFormat> formats;
    int bad = 0;
    QSqlQuery q(db);
    const bool ok = q.exec(QStringLiteral("SELECT NAME, SYMBOLOGY, PATTERN FROM BARCODE_FORMAT ORDER BY NAME"));
    if (result)
        *result = ok ? Result::Ok() : failure(q.lastError());
    while (ok && q.next()) {
        const std::optional<BarcodeKind> kind = BarcodeKindFromKey(q.value(1).toString());
        BarcodeFormat f{q.value(0).toString(), kind.value_or(BarcodeKind::Ean13), q.value(2).toString()};
        if (BarcodePatternLength(f.kind) == 0)
            f.pattern.clear();
        if (!kind || CheckBarcodeFormat(f) != BarcodeFormatProblem::None)
            ++bad;
        else
            formats << f;
    }
    if (skipped)
        *skipped = bad;
    return formats;
}

Result SaveBarcodeFormats(QSqlDatabase db, const QList<BarcodeFormat>& formats)
{
    QSet<QString> names;
    for (const BarcodeFormat& f : formats) {
        if (CheckBarcodeFormat(f) != BarcodeFormatProblem::None)
            return Result::Fail(QStringLiteral("The barcode format \"%1\" is not sound.").arg(f.name));
        if (names.contains(f.name.toCaseFolded()))
            return Result::Fail(QStringLiteral("Two barcode formats are named \"%1\".").arg(f.name));
        names.insert(f.name.toCaseFolded());
    }
    return inTransaction(db, [&](QSqlQuery& q) {
        if (!q.exec(QStringLiteral("DELETE FROM BARCODE_FORMAT")))
            return failure(q.lastError());
        q.prepare(QStringLiteral("INSERT INTO BARCODE_FORMAT (NAME, SYMBOLOGY, PATTERN) VALUES (?, ?, ?)"));
        for (const BarcodeFormat& f : formats) {
            q.addBindValue(f.name);
            q.addBindValue(BarcodeKindKey(f.kind));
            q.addBindValue(stored(BarcodePatternLength(f.kind) == 0 ? QString() : f.pattern));
            if (!q.exec())
                return failure(q.lastError());
        }
        if (!q.exec(QStringLiteral("DELETE FROM LABEL_BARCODE_FORMAT WHERE FORMAT_NAME NOT IN "
                                   "(SELECT NAME FROM BARCODE_FORMAT)")))
            return failure(q.lastError());
        return Result::Ok();
    });
}

QString LabelBarcodeFormat(QSqlDatabase db, const QString& labelFile)
{
    const QString key = labelKey(labelFile);
    if (key.isEmpty())
        return {};
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT FORMAT_NAME FROM LABEL_BARCODE_FORMAT WHERE LABEL_FILE = ?"));
    q.addBindValue(key);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

Result SetLabelBarcodeFormat(QSqlDatabase db, const QString& labelFile, const QString& formatName)
{
    const QString key = labelKey(labelFile);
    if (key.isEmpty())
        return Result::Fail(QStringLiteral("The label has no file name."));
    return inTransaction(db, [&](QSqlQuery& q) {
        q.prepare(QStringLiteral("DELETE FROM LABEL_BARCODE_FORMAT WHERE LABEL_FILE = ?"));
        q.addBindValue(key);
        if (!q.exec())
            return failure(q.lastError());
        if (formatName.isEmpty())
            return Result::Ok();
        q.prepare(QStringLiteral("INSERT INTO LABEL_BARCODE_FORMAT (LABEL_FILE, FORMAT_NAME) VALUES (?, ?)"));
        q.addBindValue(key);
        q.addBindValue(formatName);
        return q.exec() ? Result::Ok() : failure(q.lastError());
    });
}

} // namespace quillon
