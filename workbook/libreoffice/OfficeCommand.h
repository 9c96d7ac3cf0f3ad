#pragma once

// How every office of this program is started: with which arguments and
// environment (which program, and how long it may take, are the program's
// Options).

#include "Options.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <sys/types.h>

class QProcess;

namespace quorbel::lo {

// The exit code with which the office asks to be started once more, after
// it has set up a fresh profile.
constexpr int kOfficeRestartExitCode = 81;

// Throws Failure when `program` does not exist or is no executable file.
void checkOfficeProgram(const QString &program);

// The arguments every office of ours runs with: headless, and nothing
// else. The profile and the pipe are not among them: every user can read a
// process's command line, and whoever knows a pipe's name before the office
// makes it could be listening there first.
QStringList officeArguments();

// The office setting (ooSetupConnectionURL, kept in the private profile)
// that makes it accept UNO connections on the named pipe `pipeName`.
QString officeConnectionUrl(const QString &pipeName);

// The environment of an office, made from the program's own `base`: the
// profile folder `profile` (named there, as UserInstallation, and not on
// the command line), the fontconfig file `fontConfig` (none when empty),
// and TEMP, TMPDIR and TMP naming `tempFolder`, a private folder of the
// office's own, whatever the program's were. XDG_RUNTIME_DIR is passed on
// only when it names a private folder of the user's own
// (isOwnPrivateFolder); otherwise it is left out, and what the office would
// have kept there goes to the user's cache folder instead.
QProcessEnvironment officeEnvironment(const QProcessEnvironment &base, const QString &profile,
                                      const QString &fontConfig, const QString &tempFolder);

// The umask every office runs with, whatever the user's: 022. The first
// office run on a machine makes LibreOffice's machine-wide extension cache,
// which every user's LibreOffice must be able to read; a stricter umask
// there stops every other account's office. Nothing private depends on it:
// the office's profile, its temporary files and the scratch files lie in
// folders only the user may enter, and its pipes (sockets) admit only their
// owner, as connecting needs write permission, which this umask never gives
// others.
constexpr mode_t kOfficeUmask = 022;

// Sets up `process` for an office: its environment (officeEnvironment of
// the program's, with `profile`, `fontConfig` and `tempFolder`), its own
// process group (so that ending it ends everything it started), death with
// the program, kOfficeUmask, and its output into `logFile` (discarded when
// empty).
void prepareOfficeProcess(QProcess &process, const QString &profile, const QString &fontConfig,
                          const QString &tempFolder, const QString &logFile);

} // namespace quorbel::lo
