#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace quorbel {

// Reads a Windows cursor file (.cur): image and hotspot. Nothing when the
// file cannot be read as a cursor.
std::optional<QCursor> loadCursorFile(const QString &path);

// The hand pointer file both windows look for in the program folder.
inline const QString kHandPointerFile = QStringLiteral("HAND-M.CUR");

// The hand pointer read from `path`; throws Failure when the file cannot be
// read as a cursor.
QCursor readHandPointer(const QString &path);

} // namespace quorbel
