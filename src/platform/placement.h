#pragma once
// Window placements in the per-user settings store (section "Settings", twips).
#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

namespace quillon {

// The stored value, or `defaultTwips` when it is missing or not a whole number.
int ReadPlacement(const QString& key, int defaultTwips);
void WritePlacement(const QString& key, int twips);

// Other per-user choices in the same store and section (the grid, the views).
QVariant ReadUserSetting(const QString& key, const QVariant& defaultValue);
void WriteUserSetting(const QString& key, const QVariant& value);

// The store itself, for a whole group of settings at once.
std::unique_ptr<QSettings> OpenUserSettings();

// Tests point the store at an INI file of their own; "" restores the user's store.
void SetPlacementStoreFile(const QString& iniFile);

} // namespace quillon
