#include "SettingsStore.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace quorbel {
namespace {

const QString kApplicationName = QStringLiteral("Marvesk");
const QString kSection = QStringLiteral("Quorbel");


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
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kApplicationName);
    settings.beginGroup(kSection);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
}

QString settingsFilePath()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, kApplicationName).fileName();
}

} // namespace quorbel
