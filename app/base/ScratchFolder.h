#pragma once

#include <QString>

namespace quorbel {

// The folder for the program's scratch files: the value of TEMP when it is
// set and not empty; otherwise a private folder of the user's own
// ($XDG_RUNTIME_DIR/quorbel, or quorbel-<uid> in the system temporary folder),
// created with mode 0700. A private folder that is a link, belongs to another
// user or is open to others is refused with a Failure.
QString scratchFolder();

// Creates `path`, and any folder missing above it, as a folder of the user's
// own with mode 0700; an existing folder of the user's own is made private.
// Returns `path`. Throws Failure when it cannot be made, or when the path is
// a link or belongs to someone else.
QString makePrivateFolder(const QString &path);

// The path of `name` in the scratch folder.
QString scratchPath(const QString &name);

// True when `path` is a regular file (not a link) owned by this user.
bool isOwnRegularFile(const QString &path);

} // namespace quorbel
