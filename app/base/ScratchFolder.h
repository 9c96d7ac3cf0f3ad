#pragma once

#include <QString>

namespace quorbel {

// The folder for the program's scratch files: the value of TEMP when it is
// set and not empty; otherwise a private folder of the user's own
// ($XDG_RUNTIME_DIR/quorbel, or quorbel-<uid> in the system temporary folder)
// made by makePrivateFolder, whose refusals it passes on as Failure.
//
// When TEMP names a folder that others can write to (someone else's, or
// writable by its group or by everyone, such as /tmp), the files go into a
// private folder made inside it for this process ("quorbel-" and six
// random characters, mode 0700, mkdtemp): the same one while it is there,
// a new one after releaseScratchFolder() removed it. At the program's end
// (any exit()) such folders are removed with the scratch files in them.
// Throws Failure when that folder cannot be made.
QString scratchFolder();

// The scratch file `file` has been deleted: when its folder is a private
// folder scratchFolder() made inside a shared TEMP and nothing is left in
// it, the folder is removed. Nothing happens for any other folder.
void releaseScratchFolder(const QString &file);

// Takes every permission of others and of the group from the user's own
// regular file `path` (never through a link). False when `path` is not
// such a file or the change failed.
bool restrictToOwner(const QString &path);

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
