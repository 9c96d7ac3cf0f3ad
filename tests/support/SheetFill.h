#pragma once

// The template command's calls that fill a list into the active sheet, for
// the office tests and the benchmarks that make the same calls, at the
// command's cells: from the first entry row, each row but the last copied
// down before it is filled.

#include "ListEntry.h"
#include "Spreadsheet.h"
#include "TemplateCells.h"

#include <QList>
#include <QString>

namespace quorbel::test {

// With `oneByOne`, a value is read after each row copy, so that the copy is
// made in the office before the entry's cells are written, each on its own.
inline void fillRows(xl::XlApplication &excel, const QList<ListEntry> &entries, bool oneByOne = false)
{
    int row = sheet::kFirstEntryRow;
    const int count = int(entries.size());
    for (int position = 1; position <= count; ++position) {
        const ListEntry &entry = entries.at(position - 1);
        if (position < count) {
            excel.Rows(row)->Select();
            excel.Selection()->Copy();
            excel.Rows(row + 1)->Select();
            excel.Selection()->Insert(xl::xlShiftDown);
            excel.Application().setCutCopyMode(false);
            if (oneByOne)
                excel.Cells(1, 1)->Value();
        }
        excel.Cells(row, sheet::kEntrySelectColumn)->Select();
        excel.Cells(row, sheet::kDueByColumn)->setValue(entry.dueBy);
        excel.Cells(row, sheet::kProjectColumn)->setValue(entry.project);
        excel.Cells(row, sheet::kNotesColumn)->setValue(entry.notes);
        excel.Cells(row, sheet::kDoneColumn)->setValue(sheet::doneCellText(entry.isDone()));
        ++row;
    }
}

} // namespace quorbel::test
