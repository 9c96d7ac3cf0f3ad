#pragma once

// The list the benchmarks fill in, and the template command's calls that
// fill it into the active sheet.

#include "Spreadsheet.h"

#include <QDate>
#include <QLatin1String>
#include <QString>

namespace quorbel::bench {

// The entries the benchmark's clicks build, as the list holds them.
struct BenchEntry {
    QString dueBy, project, notes, done;
};

inline BenchEntry benchEntry(int i)
{
    return {QStringLiteral("12/%1/2026").arg(i % 28 + 1), QStringLiteral("Project %1").arg(i + 1),
            QStringLiteral("Notes for entry %1").arg(i + 1), i % 3 == 0 ? QStringLiteral("V") : QString()};
}

// The header values and `entries` rows, each row copied down before it is
// filled, as the command makes the calls.
inline void fillList(xl::XlApplication &excel, int entries)
{
    excel.Cells(1, 7)->setValue(QStringLiteral("Jane Roe"));
    excel.Cells(2, 7)->setValue(QDate(2026, 12, 24));
    excel.Cells(5, 3)->setValue(QStringLiteral("Apollo"));
    int row = 6;
    for (int position = 1; position <= entries; ++position) {
        if (position < entries) {
            excel.Rows(row)->Select();
            excel.Selection()->Copy();
            excel.Rows(row + 1)->Select();
            excel.Selection()->Insert(xl::xlShiftDown);
            excel.Application().setCutCopyMode(false);
        }
        const BenchEntry entry = benchEntry(position - 1);
        excel.Cells(row, 1)->Select();
        excel.Cells(row, 4)->setValue(entry.dueBy);
        excel.Cells(row, 3)->setValue(entry.project);
        excel.Cells(row, 5)->setValue(entry.notes);
        excel.Cells(row, 2)->setValue(entry.done == QLatin1String("V") ? QStringLiteral("a") : QString());
        ++row;
    }
}

} // namespace quorbel::bench
