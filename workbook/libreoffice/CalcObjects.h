#pragma once

// The spreadsheet object model on LibreOffice Calc. One CalcApplication owns
// one private office (OfficeConnection); its workbooks, sheets and ranges are
// light handles that share the application's session, so a handle kept after
// Quit fails cleanly instead of touching a dead office.

#include "OfficeConnection.h"
#include "Spreadsheet.h"

#include <QLocale>

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XDatabaseRange.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XUnnamedDatabaseRanges.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XTableRows.hpp>
#include <com/sun/star/util/XNumberFormatTypes.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatter.hpp>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace quorbel::lo {

// A block of cells of one sheet, counted from 0 as the office counts them.
struct Area {
    int sheet = 0;
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;

    int rowCount() const { return lastRow - firstRow + 1; }
    int columnCount() const { return lastColumn - firstColumn + 1; }
    bool operator==(const Area &) const = default;
};

// What the model knows about one sheet between calls.
struct SheetState {
    css::uno::Reference<css::sheet::XSpreadsheet> sheet;
    css::uno::Reference<css::table::XTableRows> rows;
    // The last column that holds content or formats (from the used area,
    // then widened by every write); -1 until first needed.
    int lastUsedColumn = -1;
    bool lastUsedColumnKnown = false;
    // The sheet's AutoFilter range, when it has one.
    std::optional<css::uno::Reference<css::sheet::XDatabaseRange>> filter;
    std::optional<Area> filterArea;
};

enum class FormatKind { General, Date, Text, Other };

// Copies of one styled row inserted below it, one at a time, and not yet
// made in the office: `count` copies of row `sourceRow` at the rows below it.
// Made at once (one insertion and a few block copies) when anything needs
// the sheet as it would be by then.
struct RowCopies {
    int sheet = 0;
    int sourceRow = 0;
    int count = 0;
    // The columns each copy takes (0 to lastColumn).
    int lastColumn = -1;
    // The AutoFilter range before the first copy and after the last.
    std::optional<Area> filterBefore;
    std::optional<Area> filterAfter;
};

// A value given to a cell and not yet written, with the program locale of
// the moment it was given.
struct CellWrite {
    int sheet = 0;
    int row = 0;
    int column = 0;
    xl::CellValue value;
    QLocale locale;
};

// What a text reads as, by the document's number formatter in a locale's
// standard format: nothing (not numeric), or a value and its format.
struct NumberReading {
    bool numeric = false;
    sal_Int32 format = 0;
    double value = 0;
};

// One open workbook.
struct Document {
    css::uno::Reference<css::lang::XComponent> component;
    css::uno::Reference<css::sheet::XSpreadsheetDocument> spreadsheet;
    css::uno::Reference<css::frame::XModel> model;
    css::uno::Reference<css::util::XNumberFormats> formats;
    css::uno::Reference<css::util::XNumberFormatTypes> formatTypes;
    css::uno::Reference<css::util::XNumberFormatter> formatter;
    css::uno::Reference<css::sheet::XUnnamedDatabaseRanges> filters;
    std::map<int, SheetState> sheets;
    std::map<sal_Int32, FormatKind> formatKinds;
    // By the program locale's name: the locale may change between calls.
    std::map<QString, sal_Int32> dateFormatKeys;
    std::map<QString, sal_Int32> standardKeys;
    int activeSheet = 0;
    int maxRow = 1048575;
    int maxColumn = 16383;
    bool closed = false;
    // The file it was opened from, and whether it was opened read-only.
    QString path;
    bool readOnly = false;
    // Work given but not yet done in the office: row copies first, then the
    // cell writes in the rows they made, in the order they were given.
    std::optional<RowCopies> pendingCopies;
    std::vector<CellWrite> pendingWrites;
    // The cells (row, column) of the held writes, and their last row.
    std::set<std::pair<int, int>> pendingCells;
    int lastPendingRow = -1;
    // By standard format key and text.
    std::map<std::pair<sal_Int32, QString>, NumberReading> numberReadings;
    // What a picture of its cells changed (the sheet's page style, the
    // modified state), put back (true) before the next work on the
    // workbook, or dropped (false) when it closes unsaved.
    std::function<void(bool putBack)> pendingRestore;
};

// Everything one application instance shares with its handles.
struct Session {
    std::unique_ptr<OfficeConnection> office;
    std::vector<std::shared_ptr<Document>> documents;  // in the order they were opened
    std::shared_ptr<Document> active;
    std::shared_ptr<Document> selectionDocument;
    Area selection;
    std::shared_ptr<Document> copyDocument;  // set while copy mode is on
    Area copySource;
    bool displayAlerts = true;
    QString version;

    OfficeConnection &connection();
};

class CalcApplication final : public xl::XlApplication {
public:
    explicit CalcApplication(const Options &options);
    // Takes an office that is connected.
    explicit CalcApplication(std::unique_ptr<OfficeConnection> office);
    ~CalcApplication() override;

    std::shared_ptr<xl::XlWorkbooks> Workbooks() override;
    std::shared_ptr<xl::XlWorkbook> ActiveWorkbook() override;
    std::shared_ptr<xl::XlRange> Cells(int row, int column) override;
    std::shared_ptr<xl::XlRange> Rows(int row) override;
    std::shared_ptr<xl::XlRange> Selection() override;
    void setDisplayAlerts(bool on) override;
    void setVisible(bool on) override;
    void setCutCopyMode(bool on) override;
    QString Version() override;
    void Quit() override;
    void setCancellation(const CancellationToken *cancel) override;

    // What the application's handles share (the backend's own use).
    const std::shared_ptr<Session> &session() const { return m_session; }

private:
    std::shared_ptr<Session> m_session;
};

} // namespace quorbel::lo
