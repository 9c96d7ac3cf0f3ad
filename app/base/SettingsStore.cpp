#include "SettingsStore.h"

#include "Failure.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace quorbel {
namespace {

const QString kApplicationName = QStringLiteral("Marvesk");
const QString kSection = QStringLiteral("Quorbel");

// QSettings writes the whole file anew into a temporary file beside it and
// renames that over the old one (QSaveFile; with atomic sync required it
// never falls back to writing the file in place), so a program killed
// during a write leaves the old file or the new one, never a mix.
bool writeSetting(const QString &key, const QString &value)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kApplicationName);
    settings.setAtomicSyncRequired(true);
    settings.beginGroup(kSection);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

QString readSetting(const QString &key, const QString &defaultValue)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kApplicationName);
    settings.beginGroup(kSection);
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma reads back as a list; its
    // text is still the user's, so give it back joined as it was written.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void saveSetting(const QString &key, const QString &value)
{
    writeSetting(key, value);
}

void storeSetting(const QString &key, const QString &value)
{
    if (!writeSetting(key, value))
        throw Failure(QStringLiteral("Could not write the settings file %1.").arg(settingsFilePath()));
}

QString settingsFilePath()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, kApplicationName).fileName();
}

} // namespace quorbel
