#pragma once
// The File menu's list of recently opened and saved label files, kept in the
// per-user settings store.
#include <QStringList>

namespace quillon {

constexpr int kMaxRecentFiles = 8;

QStringList RecentFiles();
// Puts the path first (once); the list keeps at most kMaxRecentFiles entries.
void AddRecentFile(const QString& path);
void RemoveRecentFile(const QString& path);

// Tests point the list at an INI file of their own; "" restores the user's store.
void SetRecentFilesStoreFile(const QString& iniFile);

} // namespace quillon
