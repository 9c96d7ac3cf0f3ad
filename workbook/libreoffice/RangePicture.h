#pragma once

// The picture of a cell range as the office prints it: its PDF pages (a
// SheetPicture), handed to the caller. The picture is one edge wider
// and taller than the cells: that first column and row carry the range's
// left and top border lines, which the office draws just outside the first
// column and row.

#include "OfficeConnection.h"

#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/table/XCellRange.hpp>

#include <memory>

namespace quorbel {
class SheetPicture;
}

namespace quorbel::lo {

struct Document;

// The office's PDF pages of `range` of `sheet` with their places: the office
// prints it to PDF, one page per block of rows, each page as wide as the
// range and as tall as the tallest block, without margins, header or footer
// (the sheet's page style is changed in one call; the document's
// pendingRestore puts it and the modified state back before the workbook's
// next work, or drops them when it closes unsaved; a picture that fails
// puts the style back at once). Nothing is drawn here. Throws Failure.
std::shared_ptr<SheetPicture> sheetPictureOfRange(OfficeConnection &office, Document &document,
                                                  const css::uno::Reference<css::sheet::XSpreadsheet> &sheet,
                                                  const css::uno::Reference<css::table::XCellRange> &range);

} // namespace quorbel::lo
