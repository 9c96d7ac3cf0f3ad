#pragma once

// What the Calc backend's object files share: the handles' factories, the
// sheet and cell toolkit, and the work held back for a workbook. Nothing
// here is seen outside the backend.

#include "CalcObjects.h"
#include "FileUrl.h"
#include "UnoText.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertyState.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/IndexOutOfBoundsException.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/CellInsertMode.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeMovement.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XNamedRanges.hpp>
#include <com/sun/star/sheet/XSheetAnnotationsSupplier.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSheetOperation.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUniqueCellFormatRangesSupplier.hpp>
#include <com/sun/star/table/CellAddress.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/CloseVetoException.hpp>
#include <com/sun/star/util/NotNumericException.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

#include <QLocale>
#include <QString>

#include <memory>
#include <optional>

namespace quorbel::lo {

using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

// ---------------------------------------------------------------- handles (CalcApplication.cpp, CalcWorkbook.cpp, CalcRange.cpp)

enum class RangeKind { Cells, Rows, Columns };

std::shared_ptr<xl::XlRange> makeRange(std::shared_ptr<Session> session, std::shared_ptr<Document> document, Area area,
                                       RangeKind kind = RangeKind::Cells);
std::shared_ptr<xl::XlWorkbook> makeWorkbook(std::shared_ptr<Session> session, std::shared_ptr<Document> document);
// A sheet's page set-up (CalcPageSetup.cpp).
std::shared_ptr<xl::XlPageSetup> makePageSetup(std::shared_ptr<Session> session, std::shared_ptr<Document> document,
                                               int sheetIndex);

// ---------------------------------------------------------------- sheets and cells (CalcCells.cpp)

css::lang::Locale unoLocale(const QLocale &locale);
Reference<css::beans::XPropertySet> propertiesOf(const Reference<css::uno::XInterface> &object);
void checkOpen(const Document &document);
css::table::CellRangeAddress unoArea(const Area &area);
Area toArea(const css::table::CellRangeAddress &address);
SheetState &sheetState(Document &document, int index);
Reference<css::table::XCell> cellAt(Document &document, int sheet, int row, int column);
Reference<css::table::XCellRange> rangeAt(Document &document, const Area &area);
// The bounding box of every cell that holds content or a format other than
// the sheet's default, as a desktop spreadsheet counts its used range.
std::optional<Area> usedArea(Document &document, int sheetIndex);
int lastUsedColumn(Document &document, int sheetIndex);
void noteColumnUsed(Document &document, int sheetIndex, int column);

FormatKind formatKind(Document &document, sal_Int32 key);
// The program locale's short date with the year in full.
sal_Int32 dateFormatKey(Document &document, const QLocale &program);
// The office's reading of a text in the locale's standard format.
NumberReading numberReading(Session &session, Document &document, const QString &text, const QLocale &locale);
// A value given as typing it would give it (see XlRange::setValue).
void writeCell(Session &session, Document &document, int sheet, int row, int column, const xl::CellValue &value,
               const QLocale &locale);
xl::CellValue readCell(Document &document, int sheet, int row, int column);

Reference<css::frame::XController> controllerOf(Document &document);
void showSheet(Document &document, int index);
// The view's own selection (one block), or its active sheet's first cell.
Area viewSelection(Document &document);

// ---------------------------------------------------------------- the AutoFilter range (CalcRange.cpp)

std::optional<Area> sheetFilterArea(Document &document, int sheetIndex);
std::optional<Area> filterRangeAfterInsert(const std::optional<Area> &before, int row, int count);
void setFilterRange(Document &document, int sheetIndex, const Area &area);

// ---------------------------------------------------------------- work held back (HeldWrites.cpp)

// Does the held work of a workbook (a picture's changes put back first).
// Runs inside a bounded call.
void flushHeldWork(Session &session, Document &document);
// For a workbook that closes unsaved: what a picture changed stays as it is.
inline void dropPendingRestore(Document &document)
{
    if (auto restore = std::exchange(document.pendingRestore, nullptr))
        restore(false);
}
// Holds a copy of row r inserted at row r + 1; false when the insertion
// has to be done now.
bool holdRowCopy(Session &session, Document &document, const Area &target);
// Holds a cell write in the rows of the held copies; false when it has to
// be written now.
bool holdCellWrite(Document &document, const Area &cell, const xl::CellValue &value);

} // namespace quorbel::lo
