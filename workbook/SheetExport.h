#pragma once

// Writing the filled workbook in the formats people exchange and print: the
// preview window asks for them through this interface, and the program hands
// it one that uses an office (started or taken only when a conversion is
// asked for). Tests hand in their own.

#include "CancellationToken.h"

#include <QSizeF>
#include <QString>

namespace quorbel {

// The formats the workbook can be written in. Xls is the scratch workbook's
// own format (a byte copy, no office needed); the others are conversions.
enum class SheetFormat { Xls, Xlsx, Ods, Pdf };

class SheetExporter {
public:
    virtual ~SheetExporter() = default;

    // Writes the workbook file `workbook` (the scratch 97-2003 workbook) in
    // `format` (Xlsx, Ods or Pdf) to `target`, a new file that the caller
    // then puts in its place. Pdf: the sheet paginated for paper of
    // `paperMm` (width x height in millimetres, portrait) as the template's
    // page set-up gives it, fitted to the page width, the heading rows
    // repeated on every page, the text as text. `cancel`, when given, is
    // asked between the steps. Throws Failure (the office could not be
    // started or the file not written); an InstanceFailure says why an
    // office was lost. Nothing is left at `target` after a failure.
    virtual void exportWorkbook(const QString &workbook, SheetFormat format, const QString &target,
                                QSizeF paperMm, const CancellationToken *cancel = nullptr) = 0;
};

} // namespace quorbel
