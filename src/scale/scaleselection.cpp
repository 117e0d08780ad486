#include "scale/scaleselection.h"

#include "platform/database.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace quillon {

QStringList ScalesOfStore(Database& db, const QString& store, QString* error)
{
    QStringList out;
    // Asked first, so an older list gets a clear answer rather than a failed query in the log.
    if (!db.mainDb().record(QStringLiteral("SCALE")).contains(QStringLiteral("Store"))) {
        *error = QStringLiteral("the scale list has no store column; add the stores to the scale list first");
        return out;
    }
    auto q = db.QueryVexoDB(QStringLiteral("select SC_IP from SCALE where SC_USED=1 and Store=? order by SC_NO"),
                            {store});
    if (!q) {
        *error = QStringLiteral("the scale list could not be read");
        return out;
    }
    while (q->next())
        out << q->value(0).toString();
    return out;
}

} // namespace quillon
