#pragma once

#include <QString>

namespace quorbel::lo {

// Writes the fontconfig file an office runs with: the system's own
// configuration, plus Wine's fonts (Tahoma and Marlett), which fontconfig
// does not scan by itself. Throws Failure when it cannot be written.
void writeFontConfigFile(const QString &path);

} // namespace quorbel::lo
