#pragma once

// Cell references in A1 style, as the page set-up takes them: a block of
// cells ("$B$1:$G$20", "B1", "B1:G20") or whole rows ("$1:$5", "3"). Rows
// and columns count from 1, up to the largest sheet a desktop spreadsheet
// has (1,048,576 rows, columns A to XFD).

#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <optional>

namespace quorbel::xl {

constexpr int kMaxSheetRows = 1048576;
constexpr int kMaxSheetColumns = 16384;

// A block of cells; whole rows have no columns (both 0).
struct CellBlock {
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;

    bool wholeRows() const { return firstColumn == 0; }
    bool operator==(const CellBlock &) const = default;
};

// "A" for 1, "Z" for 26, "AA" for 27; empty for a column out of range.
inline QString columnLetters(int column)
{
    if (column < 1 || column > kMaxSheetColumns)
        return {};
    QString letters;
    for (int rest = column; rest > 0; rest = (rest - 1) / 26)
        letters.prepend(QChar(u'A' + (rest - 1) % 26));
    return letters;
}

// The absolute reference of a block: "$B$1:$G$20", "$B$1" for one cell,
// "$1:$5" for whole rows.
inline QString a1Reference(const CellBlock &block)
{
    if (block.wholeRows())
        return QStringLiteral("$%1:$%2").arg(block.firstRow).arg(block.lastRow);
    const QString first = QStringLiteral("$%1$%2").arg(columnLetters(block.firstColumn)).arg(block.firstRow);
    if (block.firstRow == block.lastRow && block.firstColumn == block.lastColumn)
        return first;
    return first + QStringLiteral(":$%1$%2").arg(columnLetters(block.lastColumn)).arg(block.lastRow);
}

// The block a reference names, its corners in order; none when the text is
// no reference (blanks around it are allowed, lower-case letters too) or
// names a row or column beyond the sheet.
inline std::optional<CellBlock> readA1Reference(const QString &text)
{
    static const QRegularExpression cells(QStringLiteral(
        R"(^\s*\$?([A-Za-z]{1,3})\$?(\d{1,7})(?::\$?([A-Za-z]{1,3})\$?(\d{1,7}))?\s*$)"));
    static const QRegularExpression rows(QStringLiteral(R"(^\s*\$?(\d{1,7})(?::\$?(\d{1,7}))?\s*$)"));
    const auto column = [](const QString &letters) {
        int number = 0;
        for (const QChar c : letters)
            number = number * 26 + (c.toUpper().unicode() - u'A' + 1);
        return number;
    };
    const auto valid = [](const CellBlock &block) {
        const auto rowOk = [](int row) { return row >= 1 && row <= kMaxSheetRows; };
        const auto columnOk = [&block](int c) { return block.wholeRows() || (c >= 1 && c <= kMaxSheetColumns); };
        return rowOk(block.firstRow) && rowOk(block.lastRow) && columnOk(block.firstColumn)
               && columnOk(block.lastColumn);
    };

    CellBlock block;
    if (const auto match = rows.match(text); match.hasMatch()) {
        block.firstRow = match.captured(1).toInt();
        block.lastRow = match.hasCaptured(2) ? match.captured(2).toInt() : block.firstRow;
    } else if (const auto found = cells.match(text); found.hasMatch()) {
        block.firstColumn = column(found.captured(1));
        block.firstRow = found.captured(2).toInt();
        block.lastColumn = found.hasCaptured(3) ? column(found.captured(3)) : block.firstColumn;
        block.lastRow = found.hasCaptured(4) ? found.captured(4).toInt() : block.firstRow;
    } else {
        return std::nullopt;
    }
    if (block.firstRow > block.lastRow)
        std::swap(block.firstRow, block.lastRow);
    if (block.firstColumn > block.lastColumn)
        std::swap(block.firstColumn, block.lastColumn);
    if (!valid(block))
        return std::nullopt;
    return block;
}

} // namespace quorbel::xl
