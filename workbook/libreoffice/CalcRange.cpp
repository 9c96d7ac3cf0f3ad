// Ranges and the selection: cells, whole rows, a used range and the rows or
// columns of one; row insertion with the copied row, and the AutoFilter
// range that follows it.

#include "CalcInternals.h"

#include "RangePicture.h"
#include "SheetPicture.h"

#include <limits>

namespace quorbel::lo {

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

// ---------------------------------------------------------------- handles

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

    QByteArray Picture() override
    {
        return m_session->connection().call([&] {
            checkOpen(*m_document);
            flushHeldWork(*m_session, *m_document);
            return sheetPictureOfRange(m_session->connection(), *m_document, sheetState(*m_document, m_area.sheet).sheet,
                                       rangeAt(*m_document, m_area))
                ->toBytes();
        });
    }

private:
    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
    Area m_area;
    RangeKind m_kind;
};

std::shared_ptr<xl::XlRange> makeRange(std::shared_ptr<Session> session, std::shared_ptr<Document> document, Area area,
                                       RangeKind kind)
{
    return std::make_shared<CalcRange>(std::move(session), std::move(document), area, kind);
}

} // namespace quorbel::lo
