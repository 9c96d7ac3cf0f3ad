#pragma once

#include <QString>

namespace quorbel {

// The message shown when no spreadsheet application can be started.
QString notInstalledMessage();

class Dialogs;
class Offices;

// Checks at start-up that a spreadsheet application instance of `offices`
// can be started. Returns true when it can. While `offices` keeps offices
// ahead of need, the office that the check starts stays running as the
// first of them; otherwise it is released at once. When it cannot, shows
// notInstalledMessage() with `dialogs` and returns false once the user has
// closed the box; the caller then ends the program at once.
bool IsInstalled(Offices &offices, Dialogs &dialogs);

} // namespace quorbel
