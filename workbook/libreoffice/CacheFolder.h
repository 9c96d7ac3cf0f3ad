#pragma once

// The program's folder under the user's cache folder: it holds the master
// profiles and the instance folders of the offices.

#include <QString>

namespace quorbel::lo {

// ~/.cache/quorbel (or $XDG_CACHE_HOME/quorbel), made private if need be.
// Throws Failure when it cannot be made.
QString cacheFolder();

// A random name for something made in the cache folder.
QString randomName();

} // namespace quorbel::lo
