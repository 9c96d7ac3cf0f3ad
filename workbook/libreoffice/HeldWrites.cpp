// The held-back write batch of a workbook: copies of a styled row and the
// cells written into them, made in the office a few calls at a time.

#include "CalcInternals.h"

#include "CellInput.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace quorbel::lo {
namespace {

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

// A batch of held cells can take the office a second or more (a text with
// a digit is read as a number by the office, a round trip a cell): the work
// may be cancelled between cells, every so many.
constexpr int kCellsBetweenCheckpoints = 64;

void checkpointEvery(Session &session, int index)
{
    if (index % kCellsBetweenCheckpoints == 0)
        session.connection().checkpoint();
}

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
        for (int i = 0; i < count; ++i) {
            checkpointEvery(session, i);
            const CellWrite &cell = *cells[size_t(i)];
            writeCell(session, document, cell.sheet, cell.row, cell.column, cell.value, cell.locale);
        }
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
        checkpointEvery(session, i);
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
            for (size_t n = 0; n < literal.size(); ++n) {
                checkpointEvery(session, int(n));
                const int i = literal[n];
                const auto cellProperties = propertiesOf(range->getCellByPosition(0, i));
                sal_Int32 now = key;
                cellProperties->getPropertyValue(numberFormat) >>= now;
                if (now != key)
                    cellProperties->setPropertyValue(numberFormat, Any(key));
            }
        }
    }
    for (size_t n = 0; n < newFormats.size(); ++n) {
        checkpointEvery(session, int(n));
        const auto &[i, format] = newFormats[n];
        propertiesOf(range->getCellByPosition(0, i))->setPropertyValue(numberFormat, Any(format));
    }
}

// Writes held cells. In rows whose height is their own (the office never
// fits such a row to its content) and on a sheet without comments, a block
// write does to each cell what writing it alone does; elsewhere each cell is
// written alone. Every cell is written once, so the order does not matter.
void writeHeldCells(Session &session, Document &document, std::vector<CellWrite> &writes, bool inBlocks)
{
    std::vector<const CellWrite *> order;
    int written = 0;
    for (const CellWrite &write : writes) {
        const auto *text = std::get_if<QString>(&write.value);
        // The office makes a text of several lines a rich text cell.
        const bool lines = text && (text->contains(QLatin1Char('\n')) || text->contains(QLatin1Char('\r')));
        if (inBlocks && !lines) {
            order.push_back(&write);
        } else {
            checkpointEvery(session, written++);
            writeCell(session, document, write.sheet, write.row, write.column, write.value, write.locale);
        }
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

} // namespace

// Does the held work of a workbook. Runs inside a bounded call.
void flushHeldWork(Session &session, Document &document)
{
    if (auto restore = std::exchange(document.pendingRestore, nullptr))
        restore(true);
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


} // namespace quorbel::lo
