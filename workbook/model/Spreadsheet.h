#pragma once

// The spreadsheet application's object model, as the program drives it: an
// application instance with its workbooks, worksheets, cells, rows, the
// selection and the used range. The program codes against these classes only;
// a backend (LibreOffice Calc over UNO, the module quorbel_libreoffice)
// implements them. Every member may throw quorbel::Failure, whose description
// says what went wrong.
//
// Each instance runs a private, hidden office of its own. Every call is
// bounded: when the office dies during a call, the call fails at once; when
// it stops answering, it is ended after QUORBEL_CALL_TIMEOUT_MS milliseconds
// (60 s when unset) and the call fails. After that, and after Quit, every
// call on the instance or on any object obtained from it fails at once.
// A failure that means the instance is lost is an InstanceFailure with its
// InstanceLoss: Ended for an office that died, Hung for one ended after the
// call limit (and every later call fails with the same loss); an instance
// that could not be started carries NotStarted. Ordinary failures (a refused
// value, a file that cannot be opened) are plain Failures and leave the
// instance usable.
// Objects may be kept beyond their instance; they then only fail.

#include "CancellationToken.h"
#include "Failure.h"
#include "InstanceFailure.h"

#include <QByteArray>
#include <QDate>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>
#include <variant>

namespace quorbel::xl {

// Spreadsheet constants.
constexpr int xlShiftDown = -4121;
constexpr int xlExcel8 = 56;         // 97-2003 workbook
constexpr int xlWorkbookNormal = -4143;
constexpr int xlOpenXMLWorkbook = 51;          // .xlsx
constexpr int xlOpenDocumentSpreadsheet = 60;  // .ods
constexpr int xlTypePDF = 0;                   // ExportAsFixedFormat
constexpr int xlPortrait = 1;                  // PageSetup orientation
constexpr int xlLandscape = 2;

// What a cell holds or takes: nothing, a text, a date, a number.
using CellValue = std::variant<std::monostate, QString, QDate, double>;

// A range: one cell, whole rows, a used range, or the rows or columns of a
// range. Rows and columns count from 1.
class XlRange {
public:
    virtual ~XlRange() = default;

    // Makes this range the application's Selection(). Only ranges of the
    // active sheet of the active workbook can be selected. (The office's
    // hidden view does not follow, so a saved workbook's active cell stays
    // where the file had it.)
    virtual void Select() = 0;
    // Value of the range's first cell, given as typing it would give it:
    // - a text that the program's locale (QLocale()) reads as a short date
    //   (readDateText: "12/24/26", "12/24/2026", "2026-12-24") becomes that
    //   day, keeping a date format the cell has, else with the locale's
    //   short date format (four-digit year);
    // - a text with a digit that the office reads as a number in the
    //   program's locale ("12", "1.5", "5%") becomes that number, with the
    //   number's format when the cell's format was General;
    // - anything else is literal text: a leading "=" never makes a formula,
    //   and words such as "TRUE" stay words; a cell formatted as text keeps
    //   every text literal;
    // - the empty text and an empty CellValue clear the cell's content (its
    //   formats stay);
    // - a QDate becomes the day's serial number (days since 1899-12-30) with
    //   the locale's short date format unless the cell has a date format; an
    //   invalid QDate is refused;
    // - a double is stored as it is.
    virtual void setValue(const CellValue &value) = 0;
    // The first cell's content: empty, text, a QDate when the cell has a
    // date format (the day only; a time of day is dropped), else a number.
    // A formula gives its result.
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

    // Copy() marks this range as the source (copy mode, until
    // setCutCopyMode(false)); the system clipboard is not used. Insert(
    // xlShiftDown) on whole rows inserts as many rows as the source has at
    // this range's first row, pushing the rest down, and fills them with a
    // copy of the source (contents, formats, borders, merged areas, row
    // heights), taken when Insert runs. Rows inserted inside a sheet's
    // AutoFilter range or right below it become part of it. Without copy
    // mode, Insert inserts empty rows. Only xlShiftDown is supported.
    virtual void Copy() = 0;
    virtual void Insert(int shift) = 0;

    // A picture of the range, as the office prints it (no gridlines, no
    // filter buttons): the office's PDF pages as a SheetPicture's byte
    // string, from which an image is drawn only where one is wanted, at any
    // resolution. The picture is the range's cells plus one edge column on
    // the left and one edge row on top (a pixel at 96 dpi), which carry the
    // range's left and top border lines. The system clipboard is not used.
    virtual QByteArray Picture() = 0;
};

// How a worksheet prints. The office keeps these settings in the sheet's
// page style, which other sheets of the workbook may share: a change shows
// in all of them. Each setter changes the open workbook only (as every
// change does until it is saved). References are in A1 style, with or
// without "$".
class XlPageSetup {
public:
    virtual ~XlPageSetup() = default;
    // The cells printed ("$B$1:$G$20"); empty: the sheet's used area, as
    // without a print area.
    virtual void setPrintArea(const QString &area) = 0;
    // Whole rows repeated at the top of every printed page ("$1:$5");
    // empty: none.
    virtual void setPrintTitleRows(const QString &rows) = 0;
    // xlPortrait or xlLandscape; the paper turns with it (its longer side
    // runs down in portrait, across in landscape).
    virtual void setOrientation(int orientation) = 0;
    // The paper's width and height in millimetres as it stands in portrait
    // (the office takes any size, where Excel names its sizes by code);
    // in landscape it lies on its side. A side under 1 mm or over 10 m is
    // refused.
    virtual void setPaperSize(const QSizeF &millimetres) = 0;
    // The print is scaled down so that it is at most this many pages wide,
    // and tall; 0 leaves that direction free (Excel's False), so that
    // FitToPagesWide 1 with FitToPagesTall 0 fits the columns to the width
    // of the page and runs the rows over as many pages as they need. Both 0:
    // printed at full size. Negative counts are refused.
    virtual void setFitToPagesWide(int pages) = 0;
    virtual void setFitToPagesTall(int pages) = 0;
};

class XlWorksheet {
public:
    virtual ~XlWorksheet() = default;
    virtual QString Name() = 0;
    virtual void Select() = 0;
    virtual void Activate() = 0;
    // From the first to the last row and column that hold content or a cell
    // format other than the sheet's default (a formatted empty cell counts,
    // as in a desktop spreadsheet; a format given to whole columns or rows
    // does not). A6 when only A6 is used; A1 for an empty sheet.
    virtual std::shared_ptr<XlRange> UsedRange() = 0;
    virtual std::shared_ptr<XlPageSetup> PageSetup() = 0;
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
    // xlExcel8 and xlWorkbookNormal both write the 97-2003 workbook format
    // (.xls), xlOpenXMLWorkbook the Office Open XML workbook (.xlsx),
    // xlOpenDocumentSpreadsheet the OpenDocument spreadsheet (.ods); other
    // formats are refused. An existing file is replaced without a question;
    // a workbook opened read-only is never saved over its own file. The
    // workbook then belongs to the new file.
    virtual void SaveAs(const QString &fileName, int fileFormat) = 0;
    // xlTypePDF: the workbook's sheets as they print (each sheet's page
    // set-up, print area and title rows), their text as text, in the PDF
    // file `fileName` (an existing file is replaced). The workbook stays as
    // it was, with its own file. Other types are refused.
    virtual void ExportAsFixedFormat(int type, const QString &fileName) = 0;
    // Closes without saving.
    virtual void Close() = 0;
};

class XlWorkbooks {
public:
    virtual ~XlWorkbooks() = default;
    // Opens a workbook file (hidden); it becomes the ActiveWorkbook and its
    // active sheet is the one the file was saved with. Read-only: the file
    // itself is never written (cells, formats and SaveAs to another file all
    // work). A template (.xlt) opens as a new, untitled workbook.
    virtual std::shared_ptr<XlWorkbook> Open(const QString &fileName, bool readOnly = false) = 0;
    virtual int count() = 0;
    // The open workbooks in the order they were opened, from 1.
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

    // The office never asks anything, so alerts are only recorded.
    virtual void setDisplayAlerts(bool on) = 0;
    // The office runs hidden: false is accepted, true is refused.
    virtual void setVisible(bool on) = 0;
    // false ends copy mode (see XlRange::Copy).
    virtual void setCutCopyMode(bool on) = 0;
    // The office's version, e.g. "7.4".
    virtual QString Version() = 0;
    // Closes every workbook without saving and ends the instance's office
    // (and its profile folder). Never fails; a second Quit does nothing.
    // Releasing an instance without Quit ends it too.
    virtual void Quit() = 0;

    // Work of the instance that holds its office for long (the held cells of
    // a long list written, the picture of a long sheet) asks `cancel`
    // between its calls to the office and stops
    // with Cancelled once it is cancelled; the instance is then ended with
    // Quit as ever, which, once `cancel` is cancelled, ends the office at
    // once without closing its workbooks first. Null (the default): never
    // asked. The token must outlive the instance or be taken back. An
    // instance whose every call is short need not ask.
    virtual void setCancellation(const CancellationToken *cancel) { (void)cancel; }

    XlApplication &Application() { return *this; }
};

// The object behind `object` (a smart pointer of this model), or a Failure
// naming `what` when there is none: a step whose object was never made
// fails with a plain description.
template<typename Pointer>
auto &use(const Pointer &object, const char *what)
{
    if (!object)
        throw Failure(QStringLiteral("No %1 is available.").arg(QLatin1String(what)));
    return *object;
}

// An instance whose office is starting in the background: the office runs
// its start while the program goes on, and poll() (from the event loop)
// connects to it without waiting. Releasing it ends the office.
class StartingApplication {
public:
    virtual ~StartingApplication() = default;
    // One step of the start without waiting: true once the instance is
    // ready. Throws InstanceFailure (NotStarted) when the office ended
    // while starting or did not start in time; the office is gone then.
    virtual bool poll() = 0;
    // One step of a throwaway round of the template command's work (load
    // `templateBytes` as a template, write cells, store as 97-2003, load
    // that file, export a range as PDF, close everything, delete the
    // files), on a ready instance; true once the round is over. Each step
    // is one call of a few tens of milliseconds, limited to a few seconds.
    // Throws Failure when the office fails or hangs; the office is gone then.
    virtual bool warm(const QByteArray &templateBytes) = 0;
    // True when the office is ready and answers (one round trip); false for
    // an office that is still starting or has ended.
    virtual bool responds() = 0;
    // True once the office process has ended; never waits.
    virtual bool hasEnded() = 0;
    // The instance, waiting for the start to finish when it has not; one
    // taken part way through its warm-up first closes what the round has
    // open. The instance has no workbook open. Throws InstanceFailure
    // (NotStarted, or the loss a failing close met). Can be taken once.
    virtual std::unique_ptr<XlApplication> take() = 0;
    // The office's process id (0 when there is none).
    virtual qint64 processId() const = 0;
    // Called whenever the office process ends (also when it is ended on
    // purpose, and possibly from inside another call of this object).
    virtual void setEndedNotice(std::function<void()> notice) = 0;
};

} // namespace quorbel::xl
