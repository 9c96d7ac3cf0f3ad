#pragma once

// Folders of this user's own that the offices' code makes and removes (the
// master profiles, the instance folders, the warm-up's folder): a
// random name for a new one, and a removal that touches only such a folder.

#include <QString>

namespace quorbel::lo {

// A random name for a folder made in the cache folder.
QString randomName();

// Removes the folder `path` with everything in it, only when `path` itself
// is a real folder (not a link to one) owned by this user; links inside it
// are removed, never followed. A link standing at `path` is removed as a
// link; anything else that is not such a folder is left alone. True when
// nothing is left at `path`.
bool removeOwnFolder(const QString &path);

} // namespace quorbel::lo
