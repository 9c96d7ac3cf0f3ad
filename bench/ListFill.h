#pragma once

// The list the benchmarks fill in, and the template command's calls that
// fill it into the active sheet.

#include "ListEntry.h"
#include "SheetFill.h"
#include "Spreadsheet.h"
#include "TemplateCells.h"

#include <QDate>
#include <QList>
#include <QString>

namespace quorbel::bench {

// The entries the benchmark's clicks build, as the list holds them.
inline ListEntry benchEntry(int i)
{
    return {QStringLiteral("12/%1/2026").arg(i % 28 + 1), QStringLiteral("Project %1").arg(i + 1),
            QStringLiteral("Notes for entry %1").arg(i + 1), i % 3 == 0 ? kDoneMark : QString()};
}

// The header values and `entries` rows, as the command makes the calls.
inline void fillList(xl::XlApplication &excel, int entries)
{
    using namespace sheet;
    excel.Cells(kCompletedByCell.row, kCompletedByCell.column)->setValue(QStringLiteral("Jane Roe"));
    excel.Cells(kDeadlineCell.row, kDeadlineCell.column)->setValue(QDate(2026, 12, 24));
    excel.Cells(kProjectNameCell.row, kProjectNameCell.column)->setValue(QStringLiteral("Apollo"));
    QList<ListEntry> list;
    for (int i = 0; i < entries; ++i)
        list.append(benchEntry(i));
    test::fillRows(excel, list);
}

} // namespace quorbel::bench
