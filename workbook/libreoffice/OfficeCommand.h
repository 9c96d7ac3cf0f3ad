#pragma once

// How every office of this program is started: which program, with which
// arguments and environment, and how long it may take.

#include <QString>
#include <QStringList>

#include <chrono>

class QProcess;

namespace quorbel::lo {

// The exit code with which the office asks to be started once more, after
// it has set up a fresh profile.
constexpr int kOfficeRestartExitCode = 81;

// The longest any time limit taken from the environment may be: a day.
constexpr std::chrono::milliseconds kLongestLimit = std::chrono::hours(24);

// The office program: $QUORBEL_SOFFICE when set, else Debian's soffice.bin.
QString officeProgram();

// The longest a call into the office (and an office start) may take before
// the office is taken to be hung: $QUORBEL_CALL_TIMEOUT_MS, else 60 s;
// at most kLongestLimit.
std::chrono::milliseconds callTimeLimit();

// The longest the office may take to set up the per-user profile the first
// time (its first start ever, or after an office upgrade):
// $QUORBEL_PROFILE_TIMEOUT_MS, else 10 minutes; at most kLongestLimit.
std::chrono::milliseconds profileSetUpTimeLimit();

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
