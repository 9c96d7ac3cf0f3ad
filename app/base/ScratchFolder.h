#pragma once

#include <QString>

namespace quorbel {

// The folder for the program's scratch files. It is the folder TEMP names
// (its links resolved) when that is a folder of the user's own that no one
// else may enter. When others may enter it, or write to it as to a sticky
// folder (/tmp), the files go into a private folder made inside it for this
// process ("quorbel-" and six random characters, mode 0700, mkdtemp); a
// sticky folder of root's counts as well. A TEMP that is unset or empty,
// missing, someone else's, writable by others without being sticky, or
// below a folder that others could rename is not used at all: the files go
// into a private folder of the user's own instead, $XDG_RUNTIME_DIR/quorbel
// when XDG_RUNTIME_DIR is one (isOwnPrivateFolder), else quorbel-<uid> in
// the system temporary folder, made by makePrivateFolder, whose refusals
// it passes on as Failure. When someone else has taken that last name, a
// fresh private folder is made beside it ("quorbel-<uid>-" and six random
// characters, mkdtemp).
//
// A folder made with mkdtemp is the same one while it is there, a new one
// after releaseScratchFolder() removed it; at the program's end (any exit())
// such folders are removed with the scratch files in them. Throws Failure
// when that folder cannot be made.
QString scratchFolder();

// The scratch file `file` has been deleted: when its folder is a private
// folder scratchFolder() made with mkdtemp and nothing is left in it, the
// folder is removed. Nothing happens for any other folder.
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

// True when `path` is a real folder (not a link) of the user's own on which
// no one else has any permission (mode 0700 or stricter), and no folder
// above it can be renamed or replaced by anyone but the user and root.
bool isOwnPrivateFolder(const QString &path);

// True when `path` is a regular file (not a link) owned by this user.
bool isOwnRegularFile(const QString &path);

} // namespace quorbel
