#pragma once

// The spreadsheet application's object model, as the program drives it: an
// application instance with its workbooks, worksheets, cells, rows, the
// selection and the used range. The program codes against these classes only;
// a backend (LibreOffice Calc over UNO) implements them. Every member may
// throw quorbel::Failure, whose description says what went wrong.

#include <QDate>
#include <QString>

#include <memory>
#include <variant>

namespace quorbel::xl {

// Spreadsheet constants.
constexpr int xlShiftDown = -4121;
constexpr int xlExcel8 = 56;         // 97-2003 workbook
constexpr int xlWorkbookNormal = -4143;

// What a cell holds or takes: nothing, a text, a date, a number.
using CellValue = std::variant<std::monostate, QString, QDate, double>;

// A range: one cell, whole rows, a used range, or the rows or columns of a
// range. Rows and columns count from 1.
class XlRange {
public:
    virtual ~XlRange() = default;

    virtual void Select() = 0;
    // Value of the range's first cell. A text is taken as typing it into the
    // cell would take it (numbers and dates become numbers and dates), except
    // that it never becomes a formula. A date becomes a date value.
    virtual void setValue(const CellValue &value) = 0;
    virtual CellValue Value() = 0;

    virtual std::shared_ptr<XlRange> Rows() = 0;
    virtual std::shared_ptr<XlRange> Columns() = 0;
    // Number of rows (of Rows()) or columns (of Columns()) or cells.
    virtual int count() = 0;
    // The i-th row of Rows() or column of Columns(), from 1.
    virtual std::shared_ptr<XlRange> Item(int index) = 0;
    // Sheet row and column of the range's top-left cell.
    virtual int Row() = 0;
    virtual int Column() = 0;

    // Clipboard work on a selection: Copy() the rows, Insert(xlShiftDown) the
    // copy at this range's rows, shifting the rest down.
    virtual void Copy() = 0;
    virtual void Insert(int shift) = 0;

    // Puts a picture of the range, as the application draws it, on the system
    // clipboard.
    virtual void CopyPicture() = 0;
};

class XlWorksheet {
public:
    virtual ~XlWorksheet() = default;
    virtual QString Name() = 0;
    virtual void Select() = 0;
    virtual void Activate() = 0;
    virtual std::shared_ptr<XlRange> UsedRange() = 0;
};

class XlWorksheets {
public:
    virtual ~XlWorksheets() = default;
    virtual int count() = 0;
    virtual std::shared_ptr<XlWorksheet> Item(int index) = 0;
};

class XlWorkbook {
public:
    virtual ~XlWorkbook() = default;
    virtual std::shared_ptr<XlWorksheets> Worksheets() = 0;
    virtual std::shared_ptr<XlWorksheet> ActiveSheet() = 0;
    virtual void SaveAs(const QString &fileName, int fileFormat) = 0;
    virtual void Close() = 0;
};

class XlWorkbooks {
public:
    virtual ~XlWorkbooks() = default;
    virtual std::shared_ptr<XlWorkbook> Open(const QString &fileName, bool readOnly = false) = 0;
    virtual int count() = 0;
    virtual std::shared_ptr<XlWorkbook> Item(int index) = 0;
};

class XlApplication {
public:
    virtual ~XlApplication() = default;

    virtual std::shared_ptr<XlWorkbooks> Workbooks() = 0;
    virtual std::shared_ptr<XlWorkbook> ActiveWorkbook() = 0;
    // Cells and rows of the active sheet of the active workbook.
    virtual std::shared_ptr<XlRange> Cells(int row, int column) = 0;
    virtual std::shared_ptr<XlRange> Rows(int row) = 0;
    virtual std::shared_ptr<XlRange> Selection() = 0;

    virtual void setDisplayAlerts(bool on) = 0;
    virtual void setVisible(bool on) = 0;
    virtual void setCutCopyMode(bool on) = 0;
    virtual QString Version() = 0;
    // Ends the instance. Releasing an instance without Quit ends it too.
    virtual void Quit() = 0;

    XlApplication &Application() { return *this; }
};

// Creates a new, hidden application instance. Throws Failure when none can
// be started (no office installed, the office module missing, start failed).
std::unique_ptr<XlApplication> CreateApplication();

} // namespace quorbel::xl
