#include "CalcObjects.h"

#include "CellInput.h"
#include "RangePicture.h"

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

#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include <algorithm>
#include <tuple>

namespace quorbel::lo {

using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// ---------------------------------------------------------------- helpers

QString fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

css::lang::Locale unoLocale(const QLocale &locale)
{
    const OfficeLocale office = officeLocale(locale);
    return css::lang::Locale(toU(office.language), toU(office.country), rtl::OUString());
}

Reference<css::beans::XPropertySet> propertiesOf(const Reference<css::uno::XInterface> &object)
{
    return Reference<css::beans::XPropertySet>(object, UNO_QUERY_THROW);
}

template<typename T>
T property(const Reference<css::uno::XInterface> &object, const char *name)
{
    T value {};
    propertiesOf(object)->getPropertyValue(rtl::OUString::createFromAscii(name)) >>= value;
    return value;
}

void checkOpen(const Document &document)
{
    if (document.closed)
        throw Failure(QStringLiteral("The workbook has been closed."));
}

css::table::CellRangeAddress unoArea(const Area &area)
{
    return css::table::CellRangeAddress(sal_Int16(area.sheet), area.firstColumn, area.firstRow, area.lastColumn,
                                        area.lastRow);
}

Area toArea(const css::table::CellRangeAddress &address)
{
    return Area {address.Sheet, address.StartRow, address.StartColumn, address.EndRow, address.EndColumn};
}

SheetState &sheetState(Document &document, int index)
{
    checkOpen(document);
    SheetState &state = document.sheets[index];
    if (!state.sheet.is()) {
        const Reference<css::container::XIndexAccess> sheets(document.spreadsheet->getSheets(), UNO_QUERY_THROW);
        if (index < 0 || index >= sheets->getCount())
            throw Failure(QStringLiteral("The workbook has no worksheet %1.").arg(index + 1));
        state.sheet.set(sheets->getByIndex(index), UNO_QUERY_THROW);
    }
    return state;
}

Reference<css::table::XCell> cellAt(Document &document, int sheet, int row, int column)
{
    return sheetState(document, sheet).sheet->getCellByPosition(column, row);
}

Reference<css::table::XCellRange> rangeAt(Document &document, const Area &area)
{
    return sheetState(document, area.sheet)
        .sheet->getCellRangeByPosition(area.firstColumn, area.firstRow, area.lastColumn, area.lastRow);
}

// The bounding box of every cell that holds content or a format other than
// the sheet's default, as a desktop spreadsheet counts its used range.
// Formats that run to the sheet's last row or column (whole-column and
// whole-row formats) do not count.
std::optional<Area> usedArea(Document &document, int sheetIndex)
{
    const auto sheet = sheetState(document, sheetIndex).sheet;
    std::optional<Area> box;
    auto extend = [&](const css::table::CellRangeAddress &address) {
        const Area area = toArea(address);
        if (!box) {
            box = area;
            return;
        }
        box->firstRow = std::min(box->firstRow, area.firstRow);
        box->firstColumn = std::min(box->firstColumn, area.firstColumn);
        box->lastRow = std::max(box->lastRow, area.lastRow);
        box->lastColumn = std::max(box->lastColumn, area.lastColumn);
    };

    const Reference<css::sheet::XUniqueCellFormatRangesSupplier> supplier(sheet, UNO_QUERY_THROW);
    const auto groups = supplier->getUniqueCellFormatRanges();
    const sal_Int32 groupCount = groups->getCount();
    for (sal_Int32 i = 0; i < groupCount; ++i) {
        const Reference<css::sheet::XSheetCellRanges> group(groups->getByIndex(i), UNO_QUERY);
        if (!group.is())
            continue;
        const auto addresses = group->getRangeAddresses();
        const bool holdsLastCell = std::any_of(addresses.begin(), addresses.end(), [&](const auto &address) {
            return address.EndRow >= document.maxRow && address.EndColumn >= document.maxColumn;
        });
        if (holdsLastCell)
            continue;
        for (const auto &address : addresses) {
            if (address.EndRow >= document.maxRow || address.EndColumn >= document.maxColumn)
                continue;
            extend(address);
        }
    }

    const Reference<css::sheet::XCellRangesQuery> query(sheet, UNO_QUERY_THROW);
    const auto content = query->queryContentCells(sal_Int16(css::sheet::CellFlags::VALUE | css::sheet::CellFlags::DATETIME
                                                            | css::sheet::CellFlags::STRING
                                                            | css::sheet::CellFlags::FORMULA));
    if (content.is()) {
        for (const auto &address : content->getRangeAddresses())
            extend(address);
    }
    if (box)
        box->sheet = sheetIndex;
    return box;
}

int lastUsedColumn(Document &document, int sheetIndex)
{
    SheetState &state = sheetState(document, sheetIndex);
    if (!state.lastUsedColumnKnown) {
        const auto area = usedArea(document, sheetIndex);
        state.lastUsedColumn = area ? area->lastColumn : -1;
        state.lastUsedColumnKnown = true;
    }
    return state.lastUsedColumn;
}

void noteColumnUsed(Document &document, int sheetIndex, int column)
{
    SheetState &state = document.sheets[sheetIndex];
    if (state.lastUsedColumnKnown)
        state.lastUsedColumn = std::max(state.lastUsedColumn, column);
}

// ---------------------------------------------------------------- number formats

FormatKind formatKind(Document &document, sal_Int32 key)
{
    const auto known = document.formatKinds.find(key);
    if (known != document.formatKinds.end())
        return known->second;
    const auto format = document.formats->getByKey(key);
    sal_Int16 type = 0;
    format->getPropertyValue(rtl::OUString("Type")) >>= type;
    css::lang::Locale locale;
    format->getPropertyValue(rtl::OUString("Locale")) >>= locale;
    FormatKind kind = FormatKind::Other;
    if (type & css::util::NumberFormat::DATE)
        kind = FormatKind::Date;
    else if (type & css::util::NumberFormat::TEXT)
        kind = FormatKind::Text;
    else if (document.formatTypes->getStandardIndex(locale) == key)
        kind = FormatKind::General;
    document.formatKinds[key] = kind;
    return kind;
}

sal_Int32 standardKey(Document &document, const QLocale &program)
{
    const auto known = document.standardKeys.find(program.name());
    if (known != document.standardKeys.end())
        return known->second;
    const sal_Int32 key = document.formatTypes->getStandardIndex(unoLocale(program));
    document.standardKeys[program.name()] = key;
    return key;
}

// The program locale's short date with the year in full.
sal_Int32 dateFormatKey(Document &document, const QLocale &program)
{
    const auto known = document.dateFormatKeys.find(program.name());
    if (known != document.dateFormatKeys.end())
        return known->second;
    const auto locale = unoLocale(program);
    const rtl::OUString code = toU(officeDateFormatCode(program));
    sal_Int32 key = document.formats->queryKey(code, locale, false);
    if (key < 0) {
        try {
            key = document.formats->addNew(code, locale);
        } catch (const css::uno::Exception &) {
            key = document.formatTypes->getStandardFormat(css::util::NumberFormat::DATE, locale);
        }
    }
    document.dateFormatKeys[program.name()] = key;
    return key;
}

// ---------------------------------------------------------------- cell values

void clearCell(const Reference<css::table::XCell> &cell)
{
    const Reference<css::sheet::XSheetOperation> operation(cell, UNO_QUERY_THROW);
    operation->clearContents(css::sheet::CellFlags::VALUE | css::sheet::CellFlags::DATETIME
                             | css::sheet::CellFlags::STRING | css::sheet::CellFlags::FORMULA);
}

// Literal text. The office marks a cell as text ("@") when the text would
// otherwise read as a number or formula; the cell keeps its own format.
void putLiteral(const Reference<css::table::XCell> &cell, const QString &text, sal_Int32 formatKey)
{
    const Reference<css::text::XTextRange> textRange(cell, UNO_QUERY_THROW);
    textRange->setString(toU(text));
    const auto properties = propertiesOf(cell);
    sal_Int32 after = formatKey;
    properties->getPropertyValue(rtl::OUString("NumberFormat")) >>= after;
    if (after != formatKey)
        properties->setPropertyValue(rtl::OUString("NumberFormat"), Any(formatKey));
}

void putDate(Document &document, const Reference<css::table::XCell> &cell, QDate date, FormatKind kind,
             const QLocale &locale)
{
    cell->setValue(dateSerial(date));
    if (kind != FormatKind::Date)
        propertiesOf(cell)->setPropertyValue(rtl::OUString("NumberFormat"), Any(dateFormatKey(document, locale)));
}

Reference<css::util::XNumberFormatter> formatter(Session &session, Document &document)
{
    if (!document.formatter.is()) {
        const Reference<css::util::XNumberFormatter> made(
            session.connection().createInstance("com.sun.star.util.NumberFormatter"), UNO_QUERY_THROW);
        made->attachNumberFormatsSupplier(
            Reference<css::util::XNumberFormatsSupplier>(document.spreadsheet, UNO_QUERY_THROW));
        document.formatter = made;
    }
    return document.formatter;
}

// The office's reading of a text in the locale's standard format. The same
// text always reads the same in one document.
NumberReading numberReading(Session &session, Document &document, const QString &text, const QLocale &locale)
{
    const sal_Int32 standard = standardKey(document, locale);
    const auto key = std::make_pair(standard, text);
    const auto known = document.numberReadings.find(key);
    if (known != document.numberReadings.end())
        return known->second;
    const auto numbers = formatter(session, document);
    NumberReading reading;
    try {
        reading.format = numbers->detectNumberFormat(standard, toU(text));
        reading.value = numbers->convertStringToNumber(standard, toU(text));
        reading.numeric = true;
    } catch (const css::util::NotNumericException &) {
        reading = NumberReading();
    }
    document.numberReadings[key] = reading;
    return reading;
}

void putText(Session &session, Document &document, const Reference<css::table::XCell> &cell, const QString &text,
             const QLocale &locale)
{
    const TypedText typed = classifyTypedText(text, locale);
    if (typed.kind == TextKind::Empty) {
        clearCell(cell);
        return;
    }
    if (typed.kind == TextKind::Literal && !text.startsWith(QLatin1Char('='))) {
        // Nothing the office could read as a number or formula: the cell's
        // format stays as it is.
        Reference<css::text::XTextRange>(cell, UNO_QUERY_THROW)->setString(toU(text));
        return;
    }
    sal_Int32 key = 0;
    propertiesOf(cell)->getPropertyValue(rtl::OUString("NumberFormat")) >>= key;
    const FormatKind kind = formatKind(document, key);
    if (kind == FormatKind::Text || typed.kind == TextKind::Literal) {
        putLiteral(cell, text, key);
        return;
    }
    if (typed.kind == TextKind::Date) {
        putDate(document, cell, typed.date, kind, locale);
        return;
    }
    // A number as the office reads it in the program's locale: 1.5, 1,5,
    // 12%, $3, 1e3, and dates in forms the short date does not cover.
    const NumberReading reading = numberReading(session, document, text, locale);
    if (!reading.numeric) {
        putLiteral(cell, text, key);
        return;
    }
    const sal_Int32 detected = reading.format;
    cell->setValue(reading.value);
    const FormatKind detectedKind = formatKind(document, detected);
    if (detected != key && (kind == FormatKind::General || (detectedKind == FormatKind::Date && kind != FormatKind::Date)))
        propertiesOf(cell)->setPropertyValue(rtl::OUString("NumberFormat"), Any(detected));
}

void writeCell(Session &session, Document &document, int sheet, int row, int column, const xl::CellValue &value,
               const QLocale &locale)
{
    const auto cell = cellAt(document, sheet, row, column);
    if (std::holds_alternative<std::monostate>(value)) {
        clearCell(cell);
    } else if (const auto *text = std::get_if<QString>(&value)) {
        putText(session, document, cell, *text, locale);
    } else if (const auto *date = std::get_if<QDate>(&value)) {
        if (!date->isValid())
            throw Failure(QStringLiteral("The date is not valid."));
        sal_Int32 key = 0;
        propertiesOf(cell)->getPropertyValue(rtl::OUString("NumberFormat")) >>= key;
        putDate(document, cell, *date, formatKind(document, key), locale);
    } else if (const auto *number = std::get_if<double>(&value)) {
        cell->setValue(*number);
    }
    noteColumnUsed(document, sheet, column);
}

xl::CellValue readNumber(Document &document, const Reference<css::table::XCell> &cell, double value)
{
    sal_Int32 key = 0;
    propertiesOf(cell)->getPropertyValue(rtl::OUString("NumberFormat")) >>= key;
    if (formatKind(document, key) == FormatKind::Date) {
        const QDate date = dateFromSerial(value);
        if (date.isValid())
            return date;
    }
    return value;
}

xl::CellValue readCell(Document &document, int sheet, int row, int column)
{
    const auto cell = cellAt(document, sheet, row, column);
    switch (cell->getType()) {
    case css::table::CellContentType_EMPTY:
        return std::monostate();
    case css::table::CellContentType_VALUE:
        return readNumber(document, cell, cell->getValue());
    case css::table::CellContentType_FORMULA: {
        sal_Int32 result = 0;
        propertiesOf(cell)->getPropertyValue(rtl::OUString("FormulaResultType2")) >>= result;
        if (result == css::sheet::FormulaResult::VALUE)
            return readNumber(document, cell, cell->getValue());
        break;
    }
    default:
        break;
    }
    return toQ(Reference<css::text::XTextRange>(cell, UNO_QUERY_THROW)->getString());
}

// ---------------------------------------------------------------- view

Reference<css::frame::XController> controllerOf(Document &document)
{
    const auto controller = document.model->getCurrentController();
    if (!controller.is())
        throw Failure(QStringLiteral("The workbook has no view."));
    return controller;
}

void showSheet(Document &document, int index)
{
    const auto sheet = sheetState(document, index).sheet;
    const Reference<css::sheet::XSpreadsheetView> view(controllerOf(document), UNO_QUERY_THROW);
    view->setActiveSheet(sheet);
    document.activeSheet = index;
}

// The view's own selection (one block), or its active sheet's first cell.
Area viewSelection(Document &document)
{
    try {
        const Reference<css::view::XSelectionSupplier> view(controllerOf(document), UNO_QUERY_THROW);
        const Reference<css::sheet::XCellRangeAddressable> selected(view->getSelection(), UNO_QUERY);
        if (selected.is())
            return toArea(selected->getRangeAddress());
    } catch (const Failure &) {
    }
    return Area {document.activeSheet, 0, 0, 0, 0};
}

// ---------------------------------------------------------------- row insertion

void copyRowHeights(Document &document, int sourceSheet, int sourceRow, int targetSheet, int targetRow, int count)
{
    SheetState &source = sheetState(document, sourceSheet);
    SheetState &target = sheetState(document, targetSheet);
    for (auto *state : {&source, &target}) {
        if (!state->rows.is())
            state->rows = Reference<css::table::XColumnRowRange>(state->sheet, UNO_QUERY_THROW)->getRows();
    }
    for (int i = 0; i < count; ++i) {
        const auto from = propertiesOf(Reference<css::uno::XInterface>(source.rows->getByIndex(sourceRow + i), UNO_QUERY));
        const auto to = propertiesOf(Reference<css::uno::XInterface>(target.rows->getByIndex(targetRow + i), UNO_QUERY));
        bool optimal = false;
        from->getPropertyValue(rtl::OUString("OptimalHeight")) >>= optimal;
        if (optimal) {
            to->setPropertyValue(rtl::OUString("OptimalHeight"), Any(true));
        } else {
            to->setPropertyValue(rtl::OUString("Height"), from->getPropertyValue(rtl::OUString("Height")));
        }
    }
}

std::optional<Reference<css::sheet::XDatabaseRange>> sheetFilter(Document &document, int sheetIndex)
{
    SheetState &state = sheetState(document, sheetIndex);
    if (!state.filter) {
        Reference<css::sheet::XDatabaseRange> range;
        if (!document.filters.is()) {
            document.filters.set(propertiesOf(document.spreadsheet)->getPropertyValue(rtl::OUString("UnnamedDatabaseRanges")),
                                 UNO_QUERY);
        }
        if (document.filters.is() && document.filters->hasByTable(sheetIndex))
            range.set(document.filters->getByTable(sheetIndex), UNO_QUERY);
        state.filter = range;
    }
    if (!state.filter->is())
        return std::nullopt;
    return *state.filter;
}

std::optional<Area> sheetFilterArea(Document &document, int sheetIndex)
{
    SheetState &state = sheetState(document, sheetIndex);
    if (!state.filterArea) {
        if (const auto filter = sheetFilter(document, sheetIndex))
            state.filterArea = toArea((*filter)->getDataArea());
    }
    return state.filterArea;
}

// Rows inserted at `row` (count of them) inside a sheet's AutoFilter range, or
// right below it, become part of it; rows inserted above it move it down.
// Nothing when the rows go in further below.
std::optional<Area> filterRangeAfterInsert(const std::optional<Area> &before, int row, int count)
{
    if (!before)
        return std::nullopt;
    Area expected = *before;
    if (row <= before->firstRow) {
        expected.firstRow += count;
        expected.lastRow += count;
    } else if (row <= before->lastRow + 1) {
        expected.lastRow += count;
    } else {
        return std::nullopt;
    }
    return expected;
}

void setFilterRange(Document &document, int sheetIndex, const Area &area)
{
    const auto filter = sheetFilter(document, sheetIndex);
    if (filter) {
        (*filter)->setDataArea(unoArea(area));
        document.sheets[sheetIndex].filterArea = area;
    }
}

void keepFilterRange(Document &document, int sheetIndex, int row, int count,
                     const std::optional<Area> &before)
{
    if (const auto expected = filterRangeAfterInsert(before, row, count))
        setFilterRange(document, sheetIndex, *expected);
}

void insertCopiedOrEmpty(Session &session, Document &document, const Area &target, int shift)
{
    if (shift != xl::xlShiftDown)
        throw Failure(QStringLiteral("Only inserting with the cells shifted down is supported (Shift %1).").arg(shift));
    const bool wholeRows = target.firstColumn == 0 && target.lastColumn >= document.maxColumn;
    const auto sheet = sheetState(document, target.sheet).sheet;
    const Reference<css::sheet::XCellRangeMovement> movement(sheet, UNO_QUERY_THROW);

    const bool copying = session.copyDocument != nullptr;
    if (copying && session.copyDocument.get() != &document)
        throw Failure(QStringLiteral("Cells can only be inserted into the workbook they were copied from."));
    Area source = session.copySource;
    const int rows = copying ? source.rowCount() : target.rowCount();
    const bool sourceWholeRows = copying && source.firstColumn == 0 && source.lastColumn >= document.maxColumn;
    if (copying && wholeRows != sourceWholeRows)
        throw Failure(QStringLiteral("Whole rows can only be inserted where whole rows are selected."));

    std::optional<Area> filterBefore = sheetFilterArea(document, target.sheet);

    Area inserted = target;
    inserted.lastRow = target.firstRow + rows - 1;
    if (copying && !wholeRows)
        inserted.lastColumn = target.firstColumn + source.columnCount() - 1;
    if (inserted.lastRow > document.maxRow || inserted.lastColumn > document.maxColumn)
        throw Failure(QStringLiteral("There is no room on the sheet for the inserted cells."));
    movement->insertCells(unoArea(inserted),
                          wholeRows ? css::sheet::CellInsertMode_ROWS : css::sheet::CellInsertMode_DOWN);

    if (copying) {
        // The source moved down with everything below the inserted cells.
        if (source.sheet == target.sheet && source.firstRow >= target.firstRow
            && (wholeRows || (source.firstColumn <= inserted.lastColumn && source.lastColumn >= inserted.firstColumn))) {
            source.firstRow += rows;
            source.lastRow += rows;
            session.copySource = source;
        }
        Area copied = source;
        if (wholeRows) {
            // Only the columns in use: a full row of empty cells costs much
            // and carries nothing that the inserted row did not take from
            // the row above it.
            copied.firstColumn = 0;
            copied.lastColumn = lastUsedColumn(document, source.sheet);
        }
        if (copied.lastColumn >= copied.firstColumn) {
            movement->copyRange(css::table::CellAddress(sal_Int16(target.sheet), inserted.firstColumn, inserted.firstRow),
                                unoArea(copied));
        }
        // A row inserted right below a one-row source already has its height.
        const bool heightTaken = source.sheet == target.sheet && rows == 1 && source.lastRow == inserted.firstRow - 1;
        if (wholeRows && !heightTaken)
            copyRowHeights(document, source.sheet, source.firstRow, target.sheet, inserted.firstRow, rows);
    }
    keepFilterRange(document, target.sheet, target.firstRow, rows, filterBefore);
}

// The office reads a 97-2003 workbook's AutoFilter range into the sheet's
// filter and also keeps it as a visible name "Excel_BuiltIn__FilterDatabase"
// that no longer follows the filter. The filter is saved as the workbook's
// own hidden name; the stale copy is dropped.
void removeImportedFilterNames(Document &document)
{
    const Reference<css::container::XIndexAccess> sheets(document.spreadsheet->getSheets(), UNO_QUERY_THROW);
    const rtl::OUString stale("Excel_BuiltIn__FilterDatabase");
    const sal_Int32 count = sheets->getCount();
    for (sal_Int32 i = 0; i < count; ++i) {
        const Reference<css::sheet::XNamedRanges> names(
            propertiesOf(sheetState(document, i).sheet)->getPropertyValue(rtl::OUString("NamedRanges")), UNO_QUERY);
        if (names.is() && names->hasByName(stale))
            names->removeByName(stale);
    }
    const Reference<css::sheet::XNamedRanges> global(
        propertiesOf(document.spreadsheet)->getPropertyValue(rtl::OUString("NamedRanges")), UNO_QUERY);
    if (global.is() && global->hasByName(stale))
        global->removeByName(stale);
}

// ---------------------------------------------------------------- work held back
//
// Filling a list copies the styled row under itself once per entry and then
// writes the entry's cells, each a round trip to the office or several.
// Instead, copies of one row inserted one below the other are counted and
// made together, and the cells written into those rows are kept and written
// a column block at a time, when anything needs the sheet (reading a value,
// the used range, saving, a picture, another kind of insertion, a write
// elsewhere) or when enough has piled up. The sheet ends up as the calls
// one by one would have left it; a failure of the held work is reported by
// the call that does it.

// Copies and cells held before they are made: enough to make the work pay,
// few enough that an office that dies is noticed soon.
// A list of a few thousand entries goes to the office in one go: each
// batch costs an insertion, a few block copies and a block write a column,
// and the office does a few large ones faster than many small ones.
constexpr int kMaxHeldCopies = 4096;
constexpr size_t kMaxHeldWrites = 16384;

bool wholeRowsOf(const Document &document, const Area &area)
{
    return area.firstColumn == 0 && area.lastColumn >= document.maxColumn;
}

Reference<css::beans::XPropertySet> rowProperties(Document &document, int sheetIndex, int row)
{
    SheetState &state = sheetState(document, sheetIndex);
    if (!state.rows.is())
        state.rows = Reference<css::table::XColumnRowRange>(state.sheet, UNO_QUERY_THROW)->getRows();
    return propertiesOf(Reference<css::uno::XInterface>(state.rows->getByIndex(row), UNO_QUERY));
}

bool rowHasOwnHeight(Document &document, int sheetIndex, int row)
{
    bool optimal = true;
    rowProperties(document, sheetIndex, row)->getPropertyValue(rtl::OUString("OptimalHeight")) >>= optimal;
    return !optimal;
}

bool sheetHasAnnotations(Document &document, int sheetIndex)
{
    const Reference<css::sheet::XSheetAnnotationsSupplier> supplier(sheetState(document, sheetIndex).sheet, UNO_QUERY_THROW);
    const Reference<css::container::XIndexAccess> annotations(supplier->getAnnotations(), UNO_QUERY_THROW);
    return annotations->getCount() > 0;
}

// One insertion of all the rows, then the source row into the first of them
// and the rows made so far into the next ones, doubling: every new row is a
// copy of the source row as it was when the first copy was asked for.
void makeRowCopies(Document &document, const RowCopies &copies)
{
    const auto sheet = sheetState(document, copies.sheet).sheet;
    const Reference<css::sheet::XCellRangeMovement> movement(sheet, UNO_QUERY_THROW);
    const int first = copies.sourceRow + 1;
    const Area inserted {copies.sheet, first, 0, first + copies.count - 1, document.maxColumn};
    if (inserted.lastRow > document.maxRow)
        throw Failure(QStringLiteral("There is no room on the sheet for the inserted cells."));
    movement->insertCells(unoArea(inserted), css::sheet::CellInsertMode_ROWS);
    if (copies.lastColumn >= 0) {
        const auto to = [&](int row) { return css::table::CellAddress(sal_Int16(copies.sheet), 0, row); };
        movement->copyRange(to(first), unoArea(Area {copies.sheet, copies.sourceRow, 0, copies.sourceRow, copies.lastColumn}));
        int made = 1;
        while (made < copies.count) {
            const int block = std::min(made, copies.count - made);
            movement->copyRange(to(first + made), unoArea(Area {copies.sheet, first, 0, first + block - 1, copies.lastColumn}));
            made += block;
        }
    }
    // Each copy went in right below its source row, which gave it the
    // source row's height, as the one-by-one insertion does.
    if (copies.filterAfter && copies.filterAfter != copies.filterBefore)
        setFilterRange(document, copies.sheet, *copies.filterAfter);
}

// The writes of one column block (consecutive rows, each written once), as
// writeCell would do them one by one: the block's cells share one number
// format, so each value's reading and the formats it brings are decided
// here, and the values go to the office in one call.
void writeColumnBlock(Session &session, Document &document, const std::vector<const CellWrite *> &cells)
{
    const CellWrite &top = *cells.front();
    const int count = int(cells.size());
    const auto range = rangeAt(document, Area {top.sheet, top.row, top.column, top.row + count - 1, top.column});
    const auto properties = propertiesOf(range);
    const Reference<css::beans::XPropertyState> states(range, UNO_QUERY_THROW);
    const rtl::OUString numberFormat("NumberFormat");
    if (states->getPropertyState(numberFormat) == css::beans::PropertyState_AMBIGUOUS_VALUE) {
        for (const CellWrite *cell : cells)
            writeCell(session, document, cell->sheet, cell->row, cell->column, cell->value, cell->locale);
        return;
    }
    sal_Int32 key = 0;
    properties->getPropertyValue(numberFormat) >>= key;
    const FormatKind kind = formatKind(document, key);

    Sequence<Sequence<Any>> data(count);
    auto *rows = data.getArray();
    std::vector<int> literal;                          // texts that must keep the cell's format
    std::vector<std::pair<int, sal_Int32>> newFormats;  // cells that take a format with their value
    for (int i = 0; i < count; ++i) {
        const CellWrite &cell = *cells[size_t(i)];
        Any item {rtl::OUString()};  // an empty text clears the cell's content
        if (const auto *number = std::get_if<double>(&cell.value)) {
            item <<= *number;
        } else if (const auto *date = std::get_if<QDate>(&cell.value)) {
            item <<= dateSerial(*date);
            if (kind != FormatKind::Date)
                newFormats.emplace_back(i, dateFormatKey(document, cell.locale));
        } else if (const auto *text = std::get_if<QString>(&cell.value)) {
            const TypedText typed = classifyTypedText(*text, cell.locale);
            if (typed.kind == TextKind::Empty) {
                // cleared
            } else if (typed.kind == TextKind::Literal && !text->startsWith(QLatin1Char('='))) {
                item <<= toU(*text);
            } else if (kind == FormatKind::Text || typed.kind == TextKind::Literal) {
                item <<= toU(*text);
                literal.push_back(i);
            } else if (typed.kind == TextKind::Date) {
                item <<= dateSerial(typed.date);
                if (kind != FormatKind::Date)
                    newFormats.emplace_back(i, dateFormatKey(document, cell.locale));
            } else {
                const NumberReading reading = numberReading(session, document, *text, cell.locale);
                if (!reading.numeric) {
                    item <<= toU(*text);
                    literal.push_back(i);
                } else {
                    item <<= reading.value;
                    const FormatKind detectedKind = formatKind(document, reading.format);
                    if (reading.format != key
                        && (kind == FormatKind::General || (detectedKind == FormatKind::Date && kind != FormatKind::Date)))
                        newFormats.emplace_back(i, reading.format);
                }
            }
        }
        rows[i] = Sequence<Any>(&item, 1);
    }
    Reference<css::sheet::XCellRangeData>(range, UNO_QUERY_THROW)->setDataArray(data);

    // The office marks a text that would read as a number or formula as
    // text ("@"); those cells get their own format back.
    if (!literal.empty()) {
        sal_Int32 after = key;
        const bool unchanged = states->getPropertyState(numberFormat) != css::beans::PropertyState_AMBIGUOUS_VALUE
            && (properties->getPropertyValue(numberFormat) >>= after) && after == key;
        if (!unchanged) {
            for (const int i : literal) {
                const auto cellProperties = propertiesOf(range->getCellByPosition(0, i));
                sal_Int32 now = key;
                cellProperties->getPropertyValue(numberFormat) >>= now;
                if (now != key)
                    cellProperties->setPropertyValue(numberFormat, Any(key));
            }
        }
    }
    for (const auto &[i, format] : newFormats)
        propertiesOf(range->getCellByPosition(0, i))->setPropertyValue(numberFormat, Any(format));
}

// Writes held cells. In rows whose height is their own (the office never
// fits such a row to its content) and on a sheet without comments, a block
// write does to each cell what writing it alone does; elsewhere each cell is
// written alone. Every cell is written once, so the order does not matter.
void writeHeldCells(Session &session, Document &document, std::vector<CellWrite> &writes, bool inBlocks)
{
    std::vector<const CellWrite *> order;
    for (const CellWrite &write : writes) {
        const auto *text = std::get_if<QString>(&write.value);
        // The office makes a text of several lines a rich text cell.
        const bool lines = text && (text->contains(QLatin1Char('\n')) || text->contains(QLatin1Char('\r')));
        if (inBlocks && !lines)
            order.push_back(&write);
        else
            writeCell(session, document, write.sheet, write.row, write.column, write.value, write.locale);
    }
    std::sort(order.begin(), order.end(), [](const CellWrite *a, const CellWrite *b) {
        return std::tie(a->sheet, a->column, a->row) < std::tie(b->sheet, b->column, b->row);
    });
    for (size_t i = 0; i < order.size();) {
        size_t end = i + 1;
        while (end < order.size() && order[end]->sheet == order[i]->sheet && order[end]->column == order[i]->column
               && order[end]->row == order[end - 1]->row + 1)
            ++end;
        writeColumnBlock(session, document, std::vector<const CellWrite *>(order.begin() + long(i), order.begin() + long(end)));
        i = end;
    }
}

// Does the held work of a workbook. Runs inside a bounded call.
void flushHeldWork(Session &session, Document &document)
{
    if (!document.pendingCopies && document.pendingWrites.empty())
        return;
    // Taken first: whatever happens, the same work is never done twice.
    const std::optional<RowCopies> copies = std::exchange(document.pendingCopies, std::nullopt);
    std::vector<CellWrite> writes = std::exchange(document.pendingWrites, {});
    document.pendingCells.clear();
    document.lastPendingRow = -1;
    checkOpen(document);
    bool inBlocks = false;
    if (copies) {
        makeRowCopies(document, *copies);
        inBlocks = !writes.empty() && rowHasOwnHeight(document, copies->sheet, copies->sourceRow)
            && rowHasOwnHeight(document, copies->sheet, copies->sourceRow + copies->count)
            && !sheetHasAnnotations(document, copies->sheet);
    }
    writeHeldCells(session, document, writes, inBlocks);
}

// Holds a copy of row r inserted at row r + 1 when it continues the copies
// held (r is the last of them) or can start them; false when the insertion
// has to be done now.
bool holdRowCopy(Session &session, Document &document, const Area &target)
{
    if (session.copyDocument.get() != &document)
        return false;
    const Area source = session.copySource;
    if (!wholeRowsOf(document, target) || !wholeRowsOf(document, source) || source.rowCount() != 1
        || source.sheet != target.sheet || target.firstRow != source.firstRow + 1 || target.firstRow > document.maxRow)
        return false;
    if (auto &held = document.pendingCopies) {
        if (held->sheet != source.sheet || source.firstRow != held->sourceRow + held->count || held->count >= kMaxHeldCopies)
            return false;
        // The new copy is of the last row made; a cell written in it (or
        // below) would go with it.
        // (Held writes are all on the held copies' sheet.)
        if (document.lastPendingRow >= source.firstRow)
            return false;
        ++held->count;
        if (const auto after = filterRangeAfterInsert(held->filterAfter, target.firstRow, 1))
            held->filterAfter = after;
        return true;
    }
    if (!document.pendingWrites.empty())
        return false;
    RowCopies copies;
    copies.sheet = source.sheet;
    copies.sourceRow = source.firstRow;
    copies.count = 1;
    copies.lastColumn = lastUsedColumn(document, source.sheet);
    copies.filterBefore = sheetFilterArea(document, source.sheet);
    copies.filterAfter = copies.filterBefore;
    if (const auto after = filterRangeAfterInsert(copies.filterBefore, target.firstRow, 1))
        copies.filterAfter = after;
    document.pendingCopies = copies;
    return true;
}

// Holds a cell write in the rows of the held copies; false when it has to be
// written now.
bool holdCellWrite(Document &document, const Area &cell, const xl::CellValue &value)
{
    const auto &held = document.pendingCopies;
    if (!held || cell.sheet != held->sheet || cell.firstRow < held->sourceRow
        || cell.firstRow > held->sourceRow + held->count || cell.firstColumn > held->lastColumn
        || document.pendingWrites.size() >= kMaxHeldWrites)
        return false;
    if (!document.pendingCells.insert({cell.firstRow, cell.firstColumn}).second)
        return false;
    document.lastPendingRow = std::max(document.lastPendingRow, cell.firstRow);
    document.pendingWrites.push_back(CellWrite {cell.sheet, cell.firstRow, cell.firstColumn, value, QLocale()});
    noteColumnUsed(document, cell.sheet, cell.firstColumn);
    return true;
}

// ---------------------------------------------------------------- handles

enum class RangeKind { Cells, Rows, Columns };

class CalcRange final : public xl::XlRange, public std::enable_shared_from_this<CalcRange> {
public:
    CalcRange(std::shared_ptr<Session> session, std::shared_ptr<Document> document, Area area,
              RangeKind kind = RangeKind::Cells)
        : m_session(std::move(session)), m_document(std::move(document)), m_area(area), m_kind(kind)
    {
    }

    void Select() override
    {
        m_session->connection().call([&] {
            checkOpen(*m_document);
            if (m_session->active != m_document || m_document->activeSheet != m_area.sheet)
                throw Failure(QStringLiteral("Only cells of the active sheet of the active workbook can be selected."));
            // The selection lives in the model only: the office's hidden view
            // keeps no selection that a saved workbook would carry.
            m_session->selectionDocument = m_document;
            m_session->selection = m_area;
        });
    }

    void setValue(const xl::CellValue &value) override
    {
        m_session->connection().call([&] {
            checkOpen(*m_document);
            if (const auto *date = std::get_if<QDate>(&value); date && !date->isValid())
                throw Failure(QStringLiteral("The date is not valid."));
            if (holdCellWrite(*m_document, m_area, value))
                return;
            flushHeldWork(*m_session, *m_document);
            writeCell(*m_session, *m_document, m_area.sheet, m_area.firstRow, m_area.firstColumn, value, QLocale());
        });
    }

    xl::CellValue Value() override
    {
        return m_session->connection().call([&] {
            flushHeldWork(*m_session, *m_document);
            return readCell(*m_document, m_area.sheet, m_area.firstRow, m_area.firstColumn);
        });
    }

    std::shared_ptr<xl::XlRange> Rows() override
    {
        return std::make_shared<CalcRange>(m_session, m_document, m_area, RangeKind::Rows);
    }

    std::shared_ptr<xl::XlRange> Columns() override
    {
        return std::make_shared<CalcRange>(m_session, m_document, m_area, RangeKind::Columns);
    }

    int count() override
    {
        switch (m_kind) {
        case RangeKind::Rows:
            return m_area.rowCount();
        case RangeKind::Columns:
            return m_area.columnCount();
        case RangeKind::Cells:
            break;
        }
        const qint64 cells = qint64(m_area.rowCount()) * m_area.columnCount();
        if (cells > std::numeric_limits<int>::max())
            throw Failure(QStringLiteral("The range has too many cells to count."));
        return int(cells);
    }

    std::shared_ptr<xl::XlRange> Item(int index) override
    {
        if (index < 1 || index > count())
            throw Failure(QStringLiteral("There is no item %1 in a range of %2.").arg(index).arg(count()));
        Area item = m_area;
        switch (m_kind) {
        case RangeKind::Rows:
            item.firstRow = item.lastRow = m_area.firstRow + index - 1;
            break;
        case RangeKind::Columns:
            item.firstColumn = item.lastColumn = m_area.firstColumn + index - 1;
            break;
        case RangeKind::Cells:
            item.firstRow = item.lastRow = m_area.firstRow + (index - 1) / m_area.columnCount();
            item.firstColumn = item.lastColumn = m_area.firstColumn + (index - 1) % m_area.columnCount();
            break;
        }
        return std::make_shared<CalcRange>(m_session, m_document, item);
    }

    int Row() override { return m_area.firstRow + 1; }
    int Column() override { return m_area.firstColumn + 1; }

    void Copy() override
    {
        m_session->connection().call([&] {
            checkOpen(*m_document);
            m_session->copyDocument = m_document;
            m_session->copySource = m_area;
        });
    }

    void Insert(int shift) override
    {
        m_session->connection().call([&] {
            checkOpen(*m_document);
            if (shift != xl::xlShiftDown)
                throw Failure(QStringLiteral("Only inserting with the cells shifted down is supported (Shift %1).").arg(shift));
            if (holdRowCopy(*m_session, *m_document, m_area))
                return;
            flushHeldWork(*m_session, *m_document);
            if (holdRowCopy(*m_session, *m_document, m_area))
                return;
            insertCopiedOrEmpty(*m_session, *m_document, m_area, shift);
        });
    }

    void CopyPicture() override
    {
        m_session->connection().call([&] {
            checkOpen(*m_document);
            flushHeldWork(*m_session, *m_document);
            copyPictureOfRange(m_session->connection(), *m_document, sheetState(*m_document, m_area.sheet).sheet,
                               rangeAt(*m_document, m_area));
        });
    }

private:
    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
    Area m_area;
    RangeKind m_kind;
};

class CalcWorksheet final : public xl::XlWorksheet {
public:
    CalcWorksheet(std::shared_ptr<Session> session, std::shared_ptr<Document> document, int index)
        : m_session(std::move(session)), m_document(std::move(document)), m_index(index)
    {
    }

    QString Name() override
    {
        return m_session->connection().call([&] {
            const Reference<css::container::XNamed> named(sheetState(*m_document, m_index).sheet, UNO_QUERY_THROW);
            return toQ(named->getName());
        });
    }

    void Select() override { Activate(); }

    void Activate() override
    {
        m_session->connection().call([&] {
            flushHeldWork(*m_session, *m_document);
            showSheet(*m_document, m_index);
            m_session->active = m_document;
            m_session->selectionDocument = m_document;
            m_session->selection = viewSelection(*m_document);
            m_session->selection.sheet = m_index;
        });
    }

    std::shared_ptr<xl::XlRange> UsedRange() override
    {
        const Area area = m_session->connection().call([&] {
            flushHeldWork(*m_session, *m_document);
            const auto used = usedArea(*m_document, m_index);
            return used ? *used : Area {m_index, 0, 0, 0, 0};
        });
        return std::make_shared<CalcRange>(m_session, m_document, area);
    }

private:
    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
    int m_index;
};

class CalcWorksheets final : public xl::XlWorksheets {
public:
    CalcWorksheets(std::shared_ptr<Session> session, std::shared_ptr<Document> document)
        : m_session(std::move(session)), m_document(std::move(document))
    {
    }

    int count() override
    {
        return m_session->connection().call([&] {
            checkOpen(*m_document);
            const Reference<css::container::XIndexAccess> sheets(m_document->spreadsheet->getSheets(), UNO_QUERY_THROW);
            return int(sheets->getCount());
        });
    }

    std::shared_ptr<xl::XlWorksheet> Item(int index) override
    {
        m_session->connection().call([&] { sheetState(*m_document, index - 1); });
        return std::make_shared<CalcWorksheet>(m_session, m_document, index - 1);
    }

private:
    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
};

class CalcWorkbook final : public xl::XlWorkbook {
public:
    CalcWorkbook(std::shared_ptr<Session> session, std::shared_ptr<Document> document)
        : m_session(std::move(session)), m_document(std::move(document))
    {
    }

    std::shared_ptr<xl::XlWorksheets> Worksheets() override
    {
        checkOpen(*m_document);
        return std::make_shared<CalcWorksheets>(m_session, m_document);
    }

    std::shared_ptr<xl::XlWorksheet> ActiveSheet() override
    {
        m_session->connection().call([&] { checkOpen(*m_document); });
        return std::make_shared<CalcWorksheet>(m_session, m_document, m_document->activeSheet);
    }

    void SaveAs(const QString &fileName, int fileFormat) override
    {
        if (fileFormat != xl::xlExcel8 && fileFormat != xl::xlWorkbookNormal)
            throw Failure(QStringLiteral("The workbook file format %1 is not supported.").arg(fileFormat));
        if (fileName.isEmpty())
            throw Failure(QStringLiteral("No file name was given to save the workbook as."));
        m_session->connection().call([&] {
            checkOpen(*m_document);
            if (m_document->readOnly && QFileInfo(fileName).absoluteFilePath() == m_document->path)
                throw Failure(QStringLiteral("The workbook %1 was opened read-only and cannot be saved over itself.").arg(fileName));
            flushHeldWork(*m_session, *m_document);
            removeImportedFilterNames(*m_document);
            const Reference<css::frame::XStorable> storable(m_document->component, UNO_QUERY_THROW);
            try {
                storable->storeAsURL(toU(fileUrl(fileName)),
                                     properties({{"FilterName", Any(rtl::OUString("MS Excel 97"))},
                                                 {"Overwrite", Any(true)}}));
            } catch (const css::io::IOException &e) {
                throw Failure(QStringLiteral("The workbook could not be saved as %1. %2").arg(fileName, describe(e)));
            }
        });
    }

    void Close() override
    {
        m_session->connection().call([&] {
            if (m_document->closed)
                return;
            flushHeldWork(*m_session, *m_document);
            const Reference<css::util::XCloseable> closeable(m_document->component, UNO_QUERY_THROW);
            try {
                closeable->close(true);
            } catch (const css::util::CloseVetoException &) {
                throw Failure(QStringLiteral("LibreOffice refused to close the workbook."));
            }
            m_document->closed = true;
            m_document->sheets.clear();
            auto &documents = m_session->documents;
            documents.erase(std::remove(documents.begin(), documents.end(), m_document), documents.end());
            if (m_session->active == m_document)
                m_session->active = documents.empty() ? nullptr : documents.back();
            if (m_session->selectionDocument == m_document)
                m_session->selectionDocument = nullptr;
            if (m_session->copyDocument == m_document)
                m_session->copyDocument = nullptr;
        });
    }

private:
    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
};

std::shared_ptr<Document> openDocument(Session &session, const QString &fileName, bool readOnly)
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        throw Failure(QStringLiteral("The workbook %1 does not exist.").arg(fileName));
    if (!info.isReadable())
        throw Failure(QStringLiteral("The workbook %1 cannot be read.").arg(fileName));

    auto document = std::make_shared<Document>();
    document->path = info.absoluteFilePath();
    document->readOnly = readOnly;
    // Hidden: a headless office must never show a document window. The
    // office's own read-only mode would refuse every format change, so a
    // workbook opened read-only is protected here instead: it is never
    // saved over its own file.
    const auto arguments = properties({
        {"Hidden", Any(true)},
        {"MacroExecutionMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)},
        {"UpdateDocMode", Any(css::document::UpdateDocMode::NO_UPDATE)},
    });
    Reference<css::lang::XComponent> component;
    try {
        const Reference<css::frame::XComponentLoader> loader(session.connection().desktop(), UNO_QUERY_THROW);
        component = loader->loadComponentFromURL(toU(fileUrl(fileName)), rtl::OUString("_blank"), 0, arguments);
    } catch (const css::io::IOException &e) {
        throw Failure(QStringLiteral("LibreOffice could not open %1. %2").arg(fileName, describe(e)));
    } catch (const css::lang::IllegalArgumentException &e) {
        throw Failure(QStringLiteral("LibreOffice could not open %1. %2").arg(fileName, describe(e)));
    }
    if (!component.is())
        throw Failure(QStringLiteral("LibreOffice could not open %1.").arg(fileName));
    document->component = component;
    document->spreadsheet.set(component, UNO_QUERY);
    if (!document->spreadsheet.is()) {
        try {
            Reference<css::util::XCloseable>(component, UNO_QUERY_THROW)->close(true);
        } catch (...) {
        }
        throw Failure(QStringLiteral("%1 is not a workbook.").arg(fileName));
    }
    document->model.set(component, UNO_QUERY_THROW);
    const Reference<css::util::XNumberFormatsSupplier> formats(component, UNO_QUERY_THROW);
    document->formats = formats->getNumberFormats();
    document->formatTypes.set(document->formats, UNO_QUERY_THROW);

    const auto first = sheetState(*document, 0).sheet;
    const Reference<css::table::XColumnRowRange> lines(first, UNO_QUERY_THROW);
    document->maxRow = int(lines->getRows()->getCount()) - 1;
    document->maxColumn = int(Reference<css::container::XIndexAccess>(lines->getColumns(), UNO_QUERY_THROW)->getCount()) - 1;

    const Reference<css::sheet::XSpreadsheetView> view(controllerOf(*document), UNO_QUERY);
    if (view.is()) {
        const Reference<css::sheet::XCellRangeAddressable> active(view->getActiveSheet(), UNO_QUERY);
        if (active.is())
            document->activeSheet = active->getRangeAddress().Sheet;
    }
    return document;
}

class CalcWorkbooks final : public xl::XlWorkbooks {
public:
    explicit CalcWorkbooks(std::shared_ptr<Session> session) : m_session(std::move(session)) {}

    std::shared_ptr<xl::XlWorkbook> Open(const QString &fileName, bool readOnly) override
    {
        return m_session->connection().call([&] {
            auto document = openDocument(*m_session, fileName, readOnly);
            m_session->documents.push_back(document);
            m_session->active = document;
            m_session->selectionDocument = document;
            m_session->selection = viewSelection(*document);
            return std::make_shared<CalcWorkbook>(m_session, document);
        });
    }

    int count() override
    {
        m_session->connection().call([] {});
        return int(m_session->documents.size());
    }

    std::shared_ptr<xl::XlWorkbook> Item(int index) override
    {
        m_session->connection().call([] {});
        if (index < 1 || index > int(m_session->documents.size()))
            throw Failure(QStringLiteral("There is no open workbook %1.").arg(index));
        return std::make_shared<CalcWorkbook>(m_session, m_session->documents[size_t(index - 1)]);
    }

private:
    std::shared_ptr<Session> m_session;
};

std::shared_ptr<Document> activeDocument(Session &session)
{
    session.connection().call([] {});
    if (!session.active)
        throw Failure(QStringLiteral("No workbook is open."));
    return session.active;
}

} // namespace

OfficeConnection &Session::connection()
{
    if (!office)
        throw Failure(QStringLiteral("This LibreOffice instance has already been ended."));
    return *office;
}

// ---------------------------------------------------------------- CalcApplication

CalcApplication::CalcApplication()
    : m_session(std::make_shared<Session>())
{
    m_session->office = std::make_unique<OfficeConnection>();
}

CalcApplication::CalcApplication(std::unique_ptr<OfficeConnection> office)
    : m_session(std::make_shared<Session>())
{
    m_session->office = std::move(office);
}

CalcApplication::~CalcApplication()
{
    Quit();
}

std::shared_ptr<xl::XlWorkbooks> CalcApplication::Workbooks()
{
    m_session->connection().call([] {});
    return std::make_shared<CalcWorkbooks>(m_session);
}

std::shared_ptr<xl::XlWorkbook> CalcApplication::ActiveWorkbook()
{
    return std::make_shared<CalcWorkbook>(m_session, activeDocument(*m_session));
}

std::shared_ptr<xl::XlRange> CalcApplication::Cells(int row, int column)
{
    const auto document = activeDocument(*m_session);
    if (row < 1 || column < 1 || row > document->maxRow + 1 || column > document->maxColumn + 1)
        throw Failure(QStringLiteral("There is no cell at row %1, column %2.").arg(row).arg(column));
    const int sheet = document->activeSheet;
    return std::make_shared<CalcRange>(m_session, document, Area {sheet, row - 1, column - 1, row - 1, column - 1});
}

std::shared_ptr<xl::XlRange> CalcApplication::Rows(int row)
{
    const auto document = activeDocument(*m_session);
    if (row < 1 || row > document->maxRow + 1)
        throw Failure(QStringLiteral("There is no row %1.").arg(row));
    const int sheet = document->activeSheet;
    return std::make_shared<CalcRange>(m_session, document, Area {sheet, row - 1, 0, row - 1, document->maxColumn},
                                       RangeKind::Rows);
}

std::shared_ptr<xl::XlRange> CalcApplication::Selection()
{
    m_session->connection().call([] {});
    if (!m_session->selectionDocument || m_session->selectionDocument->closed)
        throw Failure(QStringLiteral("Nothing is selected."));
    return std::make_shared<CalcRange>(m_session, m_session->selectionDocument, m_session->selection);
}

void CalcApplication::setDisplayAlerts(bool on)
{
    // The office never asks anything here: it runs headless without an
    // interaction handler. The flag is kept for the model's sake.
    m_session->connection().call([] {});
    m_session->displayAlerts = on;
}

void CalcApplication::setVisible(bool on)
{
    m_session->connection().call([] {});
    if (on)
        throw Failure(QStringLiteral("This LibreOffice instance runs hidden and cannot be shown."));
}

void CalcApplication::setCutCopyMode(bool on)
{
    m_session->connection().call([] {});
    if (!on)
        m_session->copyDocument = nullptr;
}

QString CalcApplication::Version()
{
    auto &office = m_session->connection();
    if (m_session->version.isEmpty()) {
        m_session->version = office.call([&] {
            const Reference<css::lang::XMultiServiceFactory> provider(
                office.createInstance("com.sun.star.configuration.ConfigurationProvider"), UNO_QUERY_THROW);
            css::beans::NamedValue path(rtl::OUString("nodepath"), Any(rtl::OUString("/org.openoffice.Setup/Product")));
            const Any pathAny(path);
            const Reference<css::container::XNameAccess> product(
                provider->createInstanceWithArguments(rtl::OUString("com.sun.star.configuration.ConfigurationAccess"),
                                                      Sequence<Any>(&pathAny, 1)),
                UNO_QUERY_THROW);
            rtl::OUString version;
            product->getByName(rtl::OUString("ooSetupVersion")) >>= version;
            if (version.isEmpty())
                throw Failure(QStringLiteral("LibreOffice did not tell its version."));
            return toQ(version);
        });
    } else {
        office.call([] {});
    }
    return m_session->version;
}

void CalcApplication::Quit()
{
    if (!m_session->office || m_session->office->ended())
        return;
    // Closing each workbook first lets the office finish with its files.
    for (const auto &document : m_session->documents) {
        try {
            m_session->office->call([&] {
                if (document->closed)
                    return;
                flushHeldWork(*m_session, *document);
                Reference<css::util::XCloseable>(document->component, UNO_QUERY_THROW)->close(true);
            });
        } catch (...) {
        }
    }
    m_session->office->quit();
    for (const auto &document : m_session->documents)
        document->closed = true;
    m_session->documents.clear();
    m_session->active = nullptr;
    m_session->selectionDocument = nullptr;
    m_session->copyDocument = nullptr;
}

} // namespace quorbel::lo
