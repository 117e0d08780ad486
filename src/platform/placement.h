#pragma once
// Window placements in the per-user settings store (section "Settings", twips).
#include <QString>

namespace quillon {

// The stored value, or `defaultTwips` when it is missing or not a whole number.
int ReadPlacement(const QString& key, int defaultTwips);
void WritePlacement(const QString& key, int twips);

// Tests point the store at an INI file of their own; "" restores the user's store.
void SetPlacementStoreFile(const QString& iniFile);

} // namespace quillon
