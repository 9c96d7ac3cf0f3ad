#pragma once

// What the offices' code makes in the program's folder in the user's cache
// (the master profiles and the instance folders): that folder is
// cacheFolder() of ScratchFolder.h, the names in it come from here.

#include "ScratchFolder.h"

#include <QString>

namespace quorbel::lo {

// A random name for something made in the cache folder.
QString randomName();

// Removes the folder `path` with everything in it, only when `path` itself
// is a real folder (not a link to one) owned by this user; links inside it
// are removed, never followed. A link standing at `path` is removed as a
// link; anything else that is not such a folder is left alone. True when
// nothing is left at `path`.
bool removeOwnFolder(const QString &path);

} // namespace quorbel::lo
