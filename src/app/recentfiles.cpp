#include "app/recentfiles.h"
#include <QDir>
#include <QSettings>
#include <memory>

namespace quillon {

namespace {
QString& storeFile() { static QString s; return s; }

std::unique_ptr<QSettings> store()
{
    if (!storeFile().isEmpty())
        return std::make_unique<QSettings>(storeFile(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("Quillon"), QStringLiteral("Quillon"));
}

const QString kKey = QStringLiteral("Settings/RecentFiles");
} // namespace

void SetRecentFilesStoreFile(const QString& iniFile) { storeFile() = iniFile; }

QStringList RecentFiles()
{
    QStringList list = store()->value(kKey).toStringList();
    list.removeAll(QString());
    while (list.size() > kMaxRecentFiles)
        list.removeLast();
    return list;
}

void AddRecentFile(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    QStringList list = RecentFiles();
    list.removeAll(clean);
    list.prepend(clean);
    while (list.size() > kMaxRecentFiles)
        list.removeLast();
    store()->setValue(kKey, list);
}

void RemoveRecentFile(const QString& path)
{
    QStringList list = RecentFiles();
    list.removeAll(QDir::cleanPath(path));
    store()->setValue(kKey, list);
}

} // namespace quillon
