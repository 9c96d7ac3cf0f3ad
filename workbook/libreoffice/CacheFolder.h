#pragma once

// What the offices' code makes in the program's folder in the user's cache
// (the master profiles and the instance folders): that folder is
// cacheFolder() of ScratchFolder.h, the names in it come from here.

#include "ScratchFolder.h"

#include <QString>

namespace quorbel::lo {

// A random name for something made in the cache folder.
QString randomName();

} // namespace quorbel::lo
