#pragma once

// The initialised office profile kept per user and per office program.

#include <QString>

#include <chrono>

namespace quorbel::lo {

// The folder of the master profile of `program` (the profile itself is its
// "profile" subfolder), made the first time it is asked for: the office
// initialises a fresh profile and exits asking for a restart, and the
// profile is then set up for a private office. Each instance starts from a
// copy, which saves that restart. That first start may take up to
// `setUpLimit`. Throws Failure.
QString masterProfile(const QString &program, std::chrono::milliseconds setUpLimit);

// Copies the profile of the master profile folder `master` as `to`, which
// must not exist yet. Throws Failure.
void copyMasterProfile(const QString &master, const QString &to);

// Makes the office of the profile folder `profile` accept UNO connections
// on the named pipe `pipeName`: a setting of the profile, where no other
// user can read the name (a command line can be read by everyone). Throws
// Failure.
void setAcceptedPipe(const QString &profile, const QString &pipeName);

} // namespace quorbel::lo
