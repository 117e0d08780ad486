#pragma once
// Which scales a headless send goes to by store.
#include <QString>
#include <QStringList>

namespace quillon {

class Database;

// Addresses of the scales in use whose column "Store" equals `store`, by SC_NO. When the list has
// no such column yet, or the query fails, *error says so and the result is empty.
QStringList ScalesOfStore(Database& db, const QString& store, QString* error);

} // namespace quillon
