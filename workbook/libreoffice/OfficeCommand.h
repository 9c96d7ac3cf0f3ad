#pragma once

// How every office of this program is started: with which arguments and
// environment (which program, and how long it may take, are the program's
// Options).

#include "Options.h"

#include <QString>
#include <QStringList>

#include <chrono>

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

// Sets up `process` for an office: the profile folder `profile` (given
// through the environment), its own process group (so that ending it ends
// everything it started), death with the program, umask 077 (its pipes and
// files are the user's alone), the fontconfig file and temporary folder
// given (none when empty), and its output into `logFile` (discarded when
// empty).
void prepareOfficeProcess(QProcess &process, const QString &profile, const QString &fontConfig,
                          const QString &tempFolder, const QString &logFile);

} // namespace quorbel::lo
