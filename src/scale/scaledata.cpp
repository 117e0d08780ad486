#include "scale/scaledata.h"

#include "context/appcontext.h"
#include "model/tables.h"
#include "platform/database.h"
#include "platform/ini.h"

#include <QSqlQuery>
#include <QVariant>

namespace quillon {

namespace {
const QString kListSql = QStringLiteral(
    "Select SC_No, SC_IP, SCALE_NAME, Store from SCALE, SCALE_MODEL where SC_Used=true and SC_MODEL_ID=ID order by SC_No");

QVariant storeValue(const QString& store)
{
    const QString t = store.trimmed();
    return t.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(t);
}
}

bool IsDottedIPv4(const QString& address)
{
    const QStringList parts = address.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString& p : parts) {
        if (p.isEmpty() || p.size() > 3 || (p.size() > 1 && p.startsWith(u'0')))
            return false;
        for (QChar c : p)
            if (c < u'0' || c > u'9')
                return false;
        if (p.toInt() > 255)
            return false;
    }
    return true;
}

qint16 GetScaleNoFromIP(const QString& ip)
{
    const qsizetype dot = ip.lastIndexOf(QLatin1Char('.'));
    const QString tail = dot < 0 ? ip : ip.mid(dot + 1);
    bool overflow = false;
    const qint16 n = RoundToInt16(LeadingNumber(tail), &overflow);
    return overflow ? 0 : n;
}

QList<ScaleRow> ListScales(Database& db, bool* ok)
{
    QList<ScaleRow> rows;
    auto q = db.QueryVexoDB(kListSql);
    if (ok)
        *ok = bool(q);
    if (!q)
        return rows;
    while (q->next()) {
        ScaleRow r;
        r.SC_NO = q->value(0).toInt();
        r.SC_IP = q->value(1).toString();
        r.SCALE_NAME = q->value(2).toString();
        r.STORE = q->value(3).toString();
        rows << r;
    }
    return rows;
}

bool ScaleExists(Database& db, const QString& ip)
{
    auto q = db.QueryVexoDB(QStringLiteral("Select SC_IP from SCALE where SC_IP=?"), {ip});
    return q && q->next();
}

bool AddScale(Database& db, const QString& ip, int modelId, const QString& store)
{
    return bool(db.QueryVexoDB(
        QStringLiteral("insert into SCALE(SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID,Store) VALUES(?,97,?,?,?,?)"),
        {int(GetScaleNoFromIP(ip)), ip, true, modelId, storeValue(store)}));
}

bool ChangeScale(Database& db, const QString& oldIp, const QString& newIp, int modelId,
                 const std::optional<QString>& store)
{
    if (!store)
        return bool(db.QueryVexoDB(QStringLiteral("UPDATE SCALE set SC_NO=?, SC_IP=?, SC_MODEL_ID=? where SC_IP=?"),
                                   {int(GetScaleNoFromIP(newIp)), newIp, modelId, oldIp}));
    return bool(db.QueryVexoDB(QStringLiteral("UPDATE SCALE set SC_NO=?, SC_IP=?, SC_MODEL_ID=?, Store=? where SC_IP=?"),
                               {int(GetScaleNoFromIP(newIp)), newIp, modelId, storeValue(*store), oldIp}));
}

QStringList ScalesOfStore(Database& db, const QString& store, bool* ok)
{
    const QString t = store.trimmed();
    auto q = t.isEmpty()
                 ? db.QueryVexoDB(QStringLiteral("select SC_IP from SCALE, SCALE_MODEL where SC_Used=true and "
                                                 "SC_MODEL_ID=ID and (Store is null or Store='') order by SC_IP"))
                 : db.QueryVexoDB(QStringLiteral("select SC_IP from SCALE, SCALE_MODEL where SC_Used=true and "
                                                 "SC_MODEL_ID=ID and Store=? order by SC_IP"),
                                  {t});
    if (ok)
        *ok = bool(q);
    QStringList out;
    while (q && q->next())
        out << q->value(0).toString();
    return out;
}

QStringList ListStores(Database& db, bool* ok)
{
    auto q = db.QueryVexoDB(QStringLiteral("select distinct Store from SCALE, SCALE_MODEL where SC_Used=true and "
                                           "SC_MODEL_ID=ID and Store is not null and Store<>'' order by Store"));
    if (ok)
        *ok = bool(q);
    QStringList out;
    while (q && q->next())
        out << q->value(0).toString();
    return out;
}

bool DeleteScale(Database& db, const QString& ip)
{
    return bool(db.QueryVexoDB(QStringLiteral("delete from SCALE where SC_IP=?"), {ip}));
}

int GetScaleModelIndexByIP(AppContext& ctx, const QString& ip)
{
    auto q = ctx.db().QueryVexoDB(QStringLiteral("select SC_MODEL_ID from SCALE where SC_IP=?"), {ip});
    if (!q || !q->next())
        return 0;
    return FindScaleModelIndexByID(ctx, qint16(q->value(0).toInt()));
}

int FindScaleModelIndexByID(AppContext& ctx, int id)
{
    return quillon::FindScaleModelIndexByID(ctx.tables, id);
}

} // namespace quillon
