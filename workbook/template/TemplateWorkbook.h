#pragma once

// The template workbook the program carries inside itself: one worksheet
// "To-do list" in the 97-2003 workbook format, with the heading block, the
// list's header row 5 and the styled data row 6 that the build fills. The
// bytes are written to disk unchanged and only ever read by the spreadsheet
// application.

#include <QByteArray>

namespace quorbel {

// The embedded workbook, byte for byte. Throws quorbel::Failure when the
// program's copy of it cannot be read.
QByteArray templateWorkbookBytes();

} // namespace quorbel
