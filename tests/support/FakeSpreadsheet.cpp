#include "FakeSpreadsheet.h"

#include "Failure.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <optional>

namespace quorbel::test {

int FakeSheet::lastRow() const
{
    int last = 0;
    for (auto it = cells.begin(); it != cells.end(); ++it)
        last = std::max(last, it.key().first);
    for (auto it = rowStyle.begin(); it != rowStyle.end(); ++it)
        last = std::max(last, it.key());
    return last;
}

int FakeSheet::lastColumn() const
{
    int last = 0;
    for (auto it = cells.begin(); it != cells.end(); ++it)
        last = std::max(last, it.key().second);
    return rowStyle.isEmpty() ? last : std::max(last, 7);
}

bool FakeWorld::call(const QString &line)
{
    log.append(line);
    if (onCall)
        onCall(line);
    if (!loseOn.isEmpty() && line.startsWith(loseOn) && loseOnOccurrences.contains(++loseOnSeen))
        return true;
    if (!failOn.isEmpty() && line.startsWith(failOn))
        throw Failure(QStringLiteral("fake failure in ") + line);
    return false;
}

namespace {

struct Selection {
    int firstRow = 0;
    int lastRow = 0;
};

struct FakeState {
    std::shared_ptr<FakeWorld> world;
    bool lost = false;
    InstanceLoss loss = InstanceLoss::None;

    void call(const QString &line)
    {
        if (!lost && world->call(line)) {
            lost = true;
            loss = world->loss;
        } else if (lost) {
            world->log.append(QStringLiteral("(lost) ") + line);
        }
        if (lost)
            throw InstanceFailure(QStringLiteral("The fake office was lost during ") + line, loss);
    }

    FakeSheet sheet;
    bool open = false;
    bool quit = false;
    Selection selection;
    std::optional<int> copiedRow;
    QMap<int, xl::CellValue> copiedCells;
    QString copiedStyle;
};

class FakeRange final : public xl::XlRange {
public:
    enum Kind { Cell, RowSpan, RowsOf, ColumnsOf };
    FakeRange(std::shared_ptr<FakeState> s, Kind kind, int row, int column, int lastRow, int lastColumn)
        : m_s(std::move(s)), m_kind(kind), m_row(row), m_column(column), m_lastRow(lastRow), m_lastColumn(lastColumn)
    {
    }

    QString name() const
    {
        if (m_kind == Cell)
            return QStringLiteral("Cells(%1,%2)").arg(m_row).arg(m_column);
        if (m_lastColumn == 0)
            return QStringLiteral("Rows(%1)").arg(m_row);
        return QStringLiteral("Range(%1,%2:%3,%4)").arg(m_row).arg(m_column).arg(m_lastRow).arg(m_lastColumn);
    }

    void Select() override
    {
        m_s->call(name() + QStringLiteral(".Select"));
        m_s->selection = {m_row, m_lastRow};
    }
    void setValue(const xl::CellValue &value) override
    {
        m_s->call(name() + QStringLiteral(".Value"));
        m_s->sheet.cells[{m_row, m_column}] = value;
    }
    xl::CellValue Value() override { return m_s->sheet.cells.value({m_row, m_column}); }
    std::shared_ptr<xl::XlRange> Rows() override
    {
        return std::make_shared<FakeRange>(m_s, RowsOf, m_row, m_column, m_lastRow, m_lastColumn);
    }
    std::shared_ptr<xl::XlRange> Columns() override
    {
        return std::make_shared<FakeRange>(m_s, ColumnsOf, m_row, m_column, m_lastRow, m_lastColumn);
    }
    int count() override
    {
        if (m_kind == ColumnsOf)
            return m_lastColumn - m_column + 1;
        return m_lastRow - m_row + 1;
    }
    std::shared_ptr<xl::XlRange> Item(int index) override
    {
        if (m_kind == ColumnsOf)
            return std::make_shared<FakeRange>(m_s, Cell, m_row, m_column + index - 1, m_row, m_column + index - 1);
        return std::make_shared<FakeRange>(m_s, Cell, m_row + index - 1, m_column, m_row + index - 1, m_column);
    }
    int Row() override { return m_row; }
    int Column() override { return m_column; }
    void Copy() override
    {
        m_s->call(QStringLiteral("Selection.Copy"));
        m_s->copiedRow = m_row;
        m_s->copiedCells.clear();
        for (auto it = m_s->sheet.cells.begin(); it != m_s->sheet.cells.end(); ++it) {
            if (it.key().first == m_row)
                m_s->copiedCells[it.key().second] = it.value();
        }
        m_s->copiedStyle = m_s->sheet.rowStyle.value(m_row);
    }
    void Insert(int shift) override
    {
        m_s->call(QStringLiteral("Selection.Insert(%1)").arg(shift));
        if (shift != xl::xlShiftDown || !m_s->copiedRow)
            throw Failure(QStringLiteral("Nothing to insert."));
        const int at = m_row;
        QMap<QPair<int, int>, xl::CellValue> moved;
        for (auto it = m_s->sheet.cells.begin(); it != m_s->sheet.cells.end(); ++it) {
            QPair<int, int> key = it.key();
            if (key.first >= at)
                ++key.first;
            moved[key] = it.value();
        }
        for (auto it = m_s->copiedCells.begin(); it != m_s->copiedCells.end(); ++it)
            moved[{at, it.key()}] = it.value();
        m_s->sheet.cells = moved;
        QMap<int, QString> styles;
        for (auto it = m_s->sheet.rowStyle.begin(); it != m_s->sheet.rowStyle.end(); ++it)
            styles[it.key() >= at ? it.key() + 1 : it.key()] = it.value();
        styles[at] = m_s->copiedStyle;
        m_s->sheet.rowStyle = styles;
    }
    QByteArray Picture() override
    {
        m_s->call(QStringLiteral("UsedRange.Picture"));
        QImage image(10 * (m_lastColumn - m_column + 1), 10 * (m_lastRow - m_row + 1), QImage::Format_RGB32);
        image.fill(Qt::white);
        // A plain PNG in place of the office's pages: the preview reads both.
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }

private:
    std::shared_ptr<FakeState> m_s;
    Kind m_kind;
    int m_row, m_column, m_lastRow, m_lastColumn;
};

// Logs each setting as "PageSetup.<name>=<value>".
class FakePageSetup final : public xl::XlPageSetup {
public:
    explicit FakePageSetup(std::shared_ptr<FakeState> s) : m_s(std::move(s)) {}
    void setPrintArea(const QString &area) override { set("PrintArea", area); }
    void setPrintTitleRows(const QString &rows) override { set("PrintTitleRows", rows); }
    void setOrientation(int orientation) override { set("Orientation", QString::number(orientation)); }
    void setPaperSize(const QSizeF &mm) override
    {
        set("PaperSize", QStringLiteral("%1x%2").arg(mm.width()).arg(mm.height()));
    }
    void setFitToPagesWide(int pages) override { set("FitToPagesWide", QString::number(pages)); }
    void setFitToPagesTall(int pages) override { set("FitToPagesTall", QString::number(pages)); }

private:
    void set(const char *name, const QString &value)
    {
        m_s->call(QStringLiteral("PageSetup.%1=%2").arg(QLatin1String(name), value));
    }
    std::shared_ptr<FakeState> m_s;
};

class FakeWorksheet final : public xl::XlWorksheet {
public:
    explicit FakeWorksheet(std::shared_ptr<FakeState> s) : m_s(std::move(s)) {}
    QString Name() override { return QStringLiteral("To-do list"); }
    void Select() override { m_s->call(QStringLiteral("Worksheets(1).Select")); }
    void Activate() override { m_s->call(QStringLiteral("Worksheets(1).Activate")); }
    std::shared_ptr<xl::XlRange> UsedRange() override
    {
        m_s->call(QStringLiteral("UsedRange"));
        return std::make_shared<FakeRange>(m_s, FakeRange::RowSpan, 1, 2, m_s->sheet.lastRow(), m_s->sheet.lastColumn());
    }
    std::shared_ptr<xl::XlPageSetup> PageSetup() override { return std::make_shared<FakePageSetup>(m_s); }

private:
    std::shared_ptr<FakeState> m_s;
};

class FakeWorksheets final : public xl::XlWorksheets {
public:
    explicit FakeWorksheets(std::shared_ptr<FakeState> s) : m_s(std::move(s)) {}
    int count() override { return 1; }
    std::shared_ptr<xl::XlWorksheet> Item(int index) override
    {
        if (index != 1)
            throw Failure(QStringLiteral("No such sheet."));
        return std::make_shared<FakeWorksheet>(m_s);
    }

private:
    std::shared_ptr<FakeState> m_s;
};

class FakeWorkbook final : public xl::XlWorkbook {
public:
    explicit FakeWorkbook(std::shared_ptr<FakeState> s) : m_s(std::move(s)) {}
    std::shared_ptr<xl::XlWorksheets> Worksheets() override { return std::make_shared<FakeWorksheets>(m_s); }
    std::shared_ptr<xl::XlWorksheet> ActiveSheet() override { return std::make_shared<FakeWorksheet>(m_s); }
    void SaveAs(const QString &fileName, int fileFormat) override
    {
        // The file is begun before the office can fail: a failed save
        // leaves half a file behind, as a real one may.
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            throw Failure(QStringLiteral("Cannot save %1").arg(fileName));
        file.write("fake ");
        file.flush();
        m_s->call(QStringLiteral("SaveAs(%1)").arg(fileFormat));
        file.write("workbook");
        m_s->world->savedFiles[fileName] = m_s->sheet;
    }
    void ExportAsFixedFormat(int type, const QString &fileName) override
    {
        // Begun before the office can fail, as SaveAs.
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            throw Failure(QStringLiteral("Cannot export to %1").arg(fileName));
        file.write("fake ");
        file.flush();
        m_s->call(QStringLiteral("ExportAsFixedFormat(%1)").arg(type));
        file.write("pages");
    }
    void Close() override
    {
        m_s->call(QStringLiteral("Close"));
        m_s->open = false;
    }

private:
    std::shared_ptr<FakeState> m_s;
};

class FakeWorkbooks final : public xl::XlWorkbooks {
public:
    explicit FakeWorkbooks(std::shared_ptr<FakeState> s) : m_s(std::move(s)) {}
    std::shared_ptr<xl::XlWorkbook> Open(const QString &fileName, bool readOnly) override
    {
        m_s->call(QStringLiteral("Open(%1)").arg(QLatin1String(readOnly ? "ReadOnly" : "ReadWrite")));
        if (!QFile::exists(fileName))
            throw Failure(QStringLiteral("File not found: %1").arg(fileName));
        m_s->sheet = m_s->world->savedFiles.contains(fileName) ? m_s->world->savedFiles.value(fileName)
                                                               : m_s->world->templateSheet;
        m_s->open = true;
        return std::make_shared<FakeWorkbook>(m_s);
    }
    int count() override
    {
        m_s->call(QStringLiteral("Workbooks.count"));
        return m_s->open ? 1 : 0;
    }
    std::shared_ptr<xl::XlWorkbook> Item(int index) override
    {
        if (!m_s->open || index != 1)
            throw Failure(QStringLiteral("No such workbook."));
        return std::make_shared<FakeWorkbook>(m_s);
    }

private:
    std::shared_ptr<FakeState> m_s;
};

class FakeApplication final : public xl::XlApplication {
public:
    explicit FakeApplication(std::shared_ptr<FakeWorld> world) : m_s(std::make_shared<FakeState>())
    {
        m_s->world = std::move(world);
        ++m_s->world->applicationsCreated;
        ++m_s->world->applicationsAlive;
        m_s->world->maxAlive = std::max(m_s->world->maxAlive, m_s->world->applicationsAlive);
    }
    ~FakeApplication() override
    {
        if (!m_s->quit)
            --m_s->world->applicationsAlive;
    }
    std::shared_ptr<xl::XlWorkbooks> Workbooks() override { return std::make_shared<FakeWorkbooks>(m_s); }
    std::shared_ptr<xl::XlWorkbook> ActiveWorkbook() override
    {
        if (!m_s->open)
            throw Failure(QStringLiteral("No workbook is open."));
        return std::make_shared<FakeWorkbook>(m_s);
    }
    std::shared_ptr<xl::XlRange> Cells(int row, int column) override
    {
        return std::make_shared<FakeRange>(m_s, FakeRange::Cell, row, column, row, column);
    }
    std::shared_ptr<xl::XlRange> Rows(int row) override
    {
        return std::make_shared<FakeRange>(m_s, FakeRange::RowSpan, row, 1, row, 0);
    }
    std::shared_ptr<xl::XlRange> Selection() override
    {
        return std::make_shared<FakeRange>(m_s, FakeRange::RowSpan, m_s->selection.firstRow, 1,
                                           m_s->selection.lastRow, 0);
    }
    void setDisplayAlerts(bool on) override { m_s->call(QStringLiteral("DisplayAlerts=%1").arg(on)); }
    void setVisible(bool on) override { m_s->call(QStringLiteral("Visible=%1").arg(on)); }
    void setCutCopyMode(bool on) override { m_s->call(QStringLiteral("CutCopyMode=%1").arg(on)); }
    QString Version() override
    {
        m_s->call(QStringLiteral("Version"));
        return m_s->world->version;
    }
    void Quit() override
    {
        m_s->world->log.append(QStringLiteral("Quit"));
        if (!m_s->quit) {
            m_s->quit = true;
            --m_s->world->applicationsAlive;
        }
    }

private:
    std::shared_ptr<FakeState> m_s;
};

} // namespace

std::unique_ptr<xl::XlApplication> makeFakeApplication(const std::shared_ptr<FakeWorld> &world)
{
    if (world->failingCreations.contains(++world->creationAttempts))
        throw InstanceFailure(QStringLiteral("The fake office could not be started."), InstanceLoss::NotStarted);
    return std::make_unique<FakeApplication>(world);
}

} // namespace quorbel::test
