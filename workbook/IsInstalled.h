#pragma once

#include <QString>

namespace quorbel {

// The message shown when no spreadsheet application can be started.
QString notInstalledMessage();

// Checks at start-up that a spreadsheet application instance can be started.
// Returns true when it can. When it cannot, shows notInstalledMessage() and
// returns false once the user has closed the box; the caller then ends the
// program at once.
bool IsInstalled();

} // namespace quorbel
