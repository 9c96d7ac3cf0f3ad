#pragma once

#include <QString>

namespace quorbel::lo {

// The file: URL of a local path (made absolute first), fully encoded, as the
// office takes it for documents and for its profile folder.
QString fileUrl(const QString &path);

} // namespace quorbel::lo
