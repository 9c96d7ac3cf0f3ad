#pragma once

#include "Form1.h"
#include "Form2.h"
#include "SingleInstance.h"

class QApplication;

namespace quorbel {

// The whole program, as main() runs it: one program per user and settings
// store (a later start shows the running one's window and ends with exit
// code 0), SIGTERM, SIGHUP, SIGINT and the session's end (Die, which comes
// as the application's quit) end it as closing its shown window does. A
// save request of the session (a checkpoint, or a logout that may yet be
// cancelled) stores the list and the header fields and is answered at once;
// the program runs on.
// It makes the settings store of the run (on settingsFilePath()) and hands
// it to the main window and the session's save, unless `services.settings`
// names one of the caller's; the store ends (its journal folded into the
// file) when this returns.
// `services.dialogs` shows its boxes and save dialogs (main() gives the Qt ones).
// `launch` is what this start's launcher handed it (main() reads it before
// the application object takes it): a later start hands it to the first.
// The preview window converts and prints with `preview` (main() gives the
// system's printing).
int runQuorbel(QApplication &app, const Form1::Services &services, const LaunchToken &launch = {},
               const Form2Services &preview = {});

} // namespace quorbel
