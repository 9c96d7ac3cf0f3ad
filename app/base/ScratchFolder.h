#pragma once

#include <QString>

namespace quorbel {

// The folder for the program's scratch files: the value of TEMP when it is
// set and not empty; otherwise a private folder of the user's own
// ($XDG_RUNTIME_DIR/quorbel, or quorbel-<uid> in the system temporary folder)
// made by makePrivateFolder, whose refusals it passes on as Failure.
QString scratchFolder();

// Creates `path`, and any folder missing above it, each with mode 0700.
// An existing folder of the user's own that others can at most read is made
// private (mode 0700). Returns `path`. Throws Failure when it cannot be made,
// or when the path is a link, is not a folder, belongs to someone else or
// can be written to by others.
QString makePrivateFolder(const QString &path);

// The program's folder in the user's cache: $XDG_CACHE_HOME/quorbel, or
// ~/.cache/quorbel; made by makePrivateFolder, whose refusals it passes on.
QString cacheFolder();

// The path of `name` in the scratch folder.
QString scratchPath(const QString &name);

// True when `path` is a regular file (not a link) owned by this user.
bool isOwnRegularFile(const QString &path);

} // namespace quorbel
