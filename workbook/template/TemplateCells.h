#pragma once

// Where "Start Creating Template" writes into the template's first sheet:
// the one cell map of the command, the office tests and the benchmarks.

#include <QString>
#include <QtGlobal>

#include <limits>

namespace quorbel::sheet {

struct CellAddress {
    int row;
    int column;
};

// The header fields.
inline constexpr CellAddress kCompletedByCell {1, 7};  // G1: "To Be Completed By:"
inline constexpr CellAddress kDeadlineCell {2, 7};     // G2: "Deadline:"
inline constexpr CellAddress kProjectNameCell {5, 3};  // C5: "Project Name:"

// The list starts in the template's one styled row, which is copied down
// for each entry but the last. Row numbers and entry positions are 16-bit,
// so the sheet's last row bounds the entries written.
inline constexpr int kFirstEntryRow = 6;
inline constexpr int kLastRow = std::numeric_limits<qint16>::max();
inline constexpr int kMaxEntries = kLastRow - kFirstEntryRow + 1;

// An entry's cells in its row; the row's first cell is selected before
// they are written.
inline constexpr int kEntrySelectColumn = 1;  // A
inline constexpr int kDoneColumn = 2;         // B
inline constexpr int kProjectColumn = 3;      // C
inline constexpr int kDueByColumn = 4;        // D
inline constexpr int kNotesColumn = 5;        // E

// The Done cell's text: "a", the tick of the column's Marlett font, or empty.
inline QString doneCellText(bool done)
{
    return done ? QStringLiteral("a") : QString();
}

// The cell left selected in the saved workbook (B1).
inline constexpr CellAddress kSavedSelectionCell {1, 2};

} // namespace quorbel::sheet
