#pragma once

// Excel1: the sheet snapshot. After the template command has filled and
// saved the workbook, it opens the saved file in a new instance
// (OpenInNewInstance) and has the used area of its active sheet pictured
// into a file (saveCellsActivesheet); WorkbookSaveFormat picks the save
// format from the application's version.

#include "CancellationToken.h"
#include "Spreadsheet.h"

#include <QChar>
#include <QString>

#include <memory>

namespace quorbel {

class Dialogs;
class Offices;

// Writes a picture of the used area of `workbook`'s active sheet to `path`
// (the caller passes the scratch folder's "temp.bmp"): the range's picture
// as the office drew it, a SheetPicture's byte string (XlRange::Picture).
// The area runs from the used range's first cell to its last row and
// column; when it ends in row 1 or column A nothing is written. The picture
// goes from the office to the file inside the program: the system
// clipboard is neither read nor changed.
//
// Every ordinary failing step is reported with `dialogs` in the
// "Application Error" box for "Excel1.saveCellsActivesheet" with its step
// number (100 active sheet, 102 last row, 104 last column, 106 the size
// test, 110 the picture made by the office, 112 the picture into the file),
// and the procedure goes on with the next step: after a failed 110, step
// 112 has no picture to write and says so. A lost instance
// (InstanceFailure) ends it at once, unreported, and is thrown to the
// caller: it is the only failure that leaves the procedure. A file already
// at `path` is removed first, so that a failed snapshot never leaves an
// older picture behind; the file is made new (mode 0600, never through a
// link or over another file). `cancel`, when given, is asked before each
// step: once it is cancelled the procedure stops and throws Cancelled.
void saveCellsActivesheet(xl::XlWorkbook &workbook, const QString &path, Dialogs &dialogs,
                          const CancellationToken *cancel = nullptr);

// A new, hidden application instance of `offices` with the workbook file at
// `path` open (not read-only). The caller owns the instance and ends it with
// Quit. Throws Failure (no spreadsheet application, a file that cannot be
// opened); no instance is left running then.
std::unique_ptr<xl::XlApplication> OpenInNewInstance(Offices &offices, const QString &path);

// xlExcel8 (56) for application versions above 11, else xlWorkbookNormal
// (-4143); both save the 97-2003 workbook format. The version is
// `application`'s Version, read as a number the way the current locale reads
// numbers and rounded to a whole number (halves to even). Throws Failure when
// the version does not read as a number or lies outside 16-bit whole numbers.
int WorkbookSaveFormat(xl::XlApplication &application);
// The same for the version of a new instance of `offices`, which it ends
// again. Throws Failure also when the instance cannot be made.
int WorkbookSaveFormat(Offices &offices);

// The current locale's decimal separator: the second character of one half
// written as a number in the current locale (QLocale()), trimmed.
QChar DecimalSeparator();

// `text` with every "." and then every "," replaced by DecimalSeparator().
QString LocaliseDecimalSeparators(const QString &text);

} // namespace quorbel
