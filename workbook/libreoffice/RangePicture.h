#pragma once

// A picture of a cell range as the office draws it, at its natural size at
// 96 dots per inch, put on the system clipboard. The picture is one pixel
// wider and taller than the cells: that first pixel column and row carry
// the range's left and top border lines, which the office draws just
// outside the first column and row.

#include "OfficeConnection.h"

#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/table/XCellRange.hpp>

#include <QImage>

#include <memory>

namespace quorbel {
class SheetPicture;
}

namespace quorbel::lo {

struct Document;

// Draws `range` of `sheet`: the office prints it to PDF, one page per block
// of rows, on a page as wide as the range without margins, header or footer
// (the sheet's page style is changed in one call, restored afterwards, and
// the workbook keeps its modified state), and poppler renders each page at
// 96 dpi straight into the picture's rows, beside the office's export of
// the next block. Throws Failure.
QImage pictureOfRange(OfficeConnection &office, Document &document,
                      const css::uno::Reference<css::sheet::XSpreadsheet> &sheet,
                      const css::uno::Reference<css::table::XCellRange> &range);

// The office's PDF pages of `range` with their places, set up as
// pictureOfRange() sets them up, without drawing anything. Throws Failure.
std::shared_ptr<SheetPicture> sheetPictureOfRange(OfficeConnection &office, Document &document,
                                                  const css::uno::Reference<css::sheet::XSpreadsheet> &sheet,
                                                  const css::uno::Reference<css::table::XCellRange> &range);

// The picture of `range` onto the clipboard of the running QGuiApplication:
// sheetPictureOfRange() as a SheetPictureMimeData for the screen's device
// pixel ratio, or, with QUORBEL_PICTURE_BITMAP=1 (or the reference drawing),
// pictureOfRange()'s bitmap (offered as an image, as the earlier programs
// offered it), in a SheetPictureMimeData either way.
void copyPictureOfRange(OfficeConnection &office, Document &document,
                        const css::uno::Reference<css::sheet::XSpreadsheet> &sheet,
                        const css::uno::Reference<css::table::XCellRange> &range);

} // namespace quorbel::lo
