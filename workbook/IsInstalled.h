#pragma once

#include <QString>

namespace quorbel {

// The message shown when no spreadsheet application can be started.
QString notInstalledMessage();

class SpareOffice;

// Checks at start-up that a spreadsheet application instance can be started.
// Returns true when it can. Given a spare that is wanted, the office that
// the check starts stays running as that spare; otherwise it is released
// at once. When it cannot, shows notInstalledMessage() and
// returns false once the user has closed the box; the caller then ends the
// program at once.
bool IsInstalled(SpareOffice *spare = nullptr);

} // namespace quorbel
