#pragma once

#include <QString>

namespace quorbel::lo {

// Removes the pipes an office leaves behind when it is killed: the one it
// accepted connections on (`pipeName`, none when empty), and the one
// through which a second office of the same profile folder (`profilePath`,
// none when empty) would talk to it. Both names are the instance's own.
void removeOfficePipes(const QString &pipeName, const QString &profilePath);

} // namespace quorbel::lo
