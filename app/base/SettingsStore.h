#pragma once

#include <QString>

namespace quorbel {

// The per-user store of the program's small working state: an INI file in the
// user's configuration folder ("Marvesk.ini"), section "Quorbel". Every key is
// a text. Each write reaches the disk before saveSetting returns.
QString readSetting(const QString &key, const QString &defaultValue = QString());
void saveSetting(const QString &key, const QString &value);
// The same write, but a value that did not reach the disk (a full disk, a
// folder that cannot be written) throws Failure.
void storeSetting(const QString &key, const QString &value);

// Where the store lives (for the README and tests).
QString settingsFilePath();

} // namespace quorbel
