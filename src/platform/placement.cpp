#include "platform/placement.h"

#include <QSettings>
#include <memory>

namespace quillon {

namespace {
QString g_storeFile;

std::unique_ptr<QSettings> openStore()
{
    if (!g_storeFile.isEmpty())
        return std::make_unique<QSettings>(g_storeFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
                                       QStringLiteral("Quillon"));
}
} // namespace

std::unique_ptr<QSettings> OpenUserSettings()
{
    return openStore();
}

void SetPlacementStoreFile(const QString& iniFile)
{
    g_storeFile = iniFile;
}

int ReadPlacement(const QString& key, int defaultTwips)
{
    auto store = openStore();
    const QVariant v = store->value(QStringLiteral("Settings/") + key);
    if (!v.isValid())
        return defaultTwips;
    bool ok = false;
    const int twips = v.toString().trimmed().toInt(&ok);
    return ok ? twips : defaultTwips;
}

void WritePlacement(const QString& key, int twips)
{
    auto store = openStore();
    store->setValue(QStringLiteral("Settings/") + key, twips);
}

QVariant ReadUserSetting(const QString& key, const QVariant& defaultValue)
{
    return openStore()->value(QStringLiteral("Settings/") + key, defaultValue);
}

void WriteUserSetting(const QString& key, const QVariant& value)
{
    openStore()->setValue(QStringLiteral("Settings/") + key, value);
}

} // namespace quillon
