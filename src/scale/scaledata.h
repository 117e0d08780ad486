#pragma once
// The SCALE table and the address rules every scale command shares.
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillon {

class AppContext;
class Database;

// Four decimal parts 0..255, no sign, blank, leading zero or anything else: the
// only form that may become a file name, a driver argument or a ping argument.
bool IsDottedIPv4(const QString& address);

// The number after the last "." (the whole text without one), read like a number
// literal: blanks skipped, reading stops at the first character that cannot go on,
// nothing numeric gives 0. Kept to 16 bits.
qint16 GetScaleNoFromIP(const QString& ip);

struct ScaleRow {
    qint32 SC_NO = 0;
    QString SC_IP;
    QString SCALE_NAME;
    QString STORE; // the store (group) of a chain; "" for none
};

// The scales in use with a known model, by SC_No. nullopt-like: *ok false after a reported failure.
QList<ScaleRow> ListScales(Database& db, bool* ok = nullptr);
// True when a row with this address exists (false after a reported failure).
bool ScaleExists(Database& db, const QString& ip);
// The changing statements; every value is bound. False after a reported failure.
// A store is kept trimmed; an empty one is stored as Null. ChangeScale keeps the
// store when none is given.
bool AddScale(Database& db, const QString& ip, int modelId, const QString& store = QString());
bool ChangeScale(Database& db, const QString& oldIp, const QString& newIp, int modelId,
                 const std::optional<QString>& store = std::nullopt);

// The addresses of the scales in use of a store (compared as stored, trimmed),
// by address; "" gives those without a store. *ok false after a reported failure.
QStringList ScalesOfStore(Database& db, const QString& store, bool* ok = nullptr);
// The stores the scales in use name, sorted, without "".
QStringList ListStores(Database& db, bool* ok = nullptr);
bool DeleteScale(Database& db, const QString& ip);

// The model index of the scale with this address; 0 when it is not listed.
int GetScaleModelIndexByIP(AppContext& ctx, const QString& ip);
// First index whose ID matches; 0 when none does or the table is empty.
int FindScaleModelIndexByID(AppContext& ctx, int id);

} // namespace quillon
