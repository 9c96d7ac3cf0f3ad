#pragma once

// The types "Save Results To Excel File" saves the workbook as, and how the
// name chosen in the save dialog and the filter selected there decide which
// one a save writes.

#include "SheetExport.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quorbel {

struct SaveType {
    SheetFormat format;
    // The save dialog's filter, for example "Excel Files (*.xls)".
    QString filter;
    // The file name's extension, without the dot, in lower case.
    QString extension;
};

// In the order the save dialog offers them; the first, the scratch
// workbook's own format, is selected at first.
const QList<SaveType> &saveTypes();
QStringList saveFilters();
// The type of `format`.
const SaveType &saveType(SheetFormat format);

// What a save writes, and where.
struct SaveTarget {
    QString fileName;
    SheetFormat format = SheetFormat::Xls;
};

// The name chosen (`chosen`, as the dialog returned it) and the filter
// selected (`filter`) decide the target. A known extension typed in the name
// (.xls, .xlsx, .ods or .pdf, in any case) decides the format, whatever the
// filter. Otherwise the filter's type is written; a name without any dot
// then gets the filter's extension, except for an .xls workbook, whose name
// is used exactly as chosen. A filter not offered counts as the first.
SaveTarget saveTarget(const QString &chosen, const QString &filter);

} // namespace quorbel
