// The LibreOffice backend with real offices: the template filled as the
// template command fills it, saved, reopened in a second instance, read back
// there and by an independent reader, and pictured; cell input as typed; row
// copy and insertion; the used range; instances that never share an office.

#include "OfficeTestSupport.h"
#include "PdfPage.h"
#include "ProcStat.h"

#include "Failure.h"
#include "FileProcs.h"
#include "IsInstalled.h"
#include "Offices.h"
#include "ScriptedDialogs.h"
#include "SheetFill.h"
#include "SheetPicture.h"
#include "Snapshot.h"
#include "Spreadsheet.h"
#include "TemplateWorkbook.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>

using namespace quorbel;
using namespace quorbel::test;

namespace {

// The snapshot's picture file as the preview reads it: the office's pages
// drawn whole at the screen's ratio.
bool loadPictureFile(QImage &picture, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (!SheetPicture::looksLikePicture(bytes))
        return false;
    picture = SheetPicture::fromBytes(bytes)->image(qGuiApp->devicePixelRatio());
    return !picture.isNull();
}

using Entry = ListEntry;

QString temp(const QString &name)
{
    return QDir(qEnvironmentVariable("TEMP")).filePath(name);
}

int lastRowOf(xl::XlRange &range)
{
    const auto rows = range.Rows();
    return rows->Item(rows->count())->Row();
}

int lastColumnOf(xl::XlRange &range)
{
    const auto columns = range.Columns();
    return columns->Item(columns->count())->Column();
}

// Pixel rows of the template's rows 1 to 8 at 96 dpi (heights in points:
// 41.25, 12.75, 5.25, 4.5, then 16.5 for the header and each data row),
// below the picture's first pixel row, which carries the top border line.
constexpr int kRowTop[] = {1, 1, 56, 73, 80, 86, 108, 130, 152, 174};

int inkIn(const QImage &image, const QRect &area)
{
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += isInk(image.pixel(x, y)) ? 1 : 0;
    return ink;
}

} // namespace

class CalcTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_templateBytes = templateWorkbookBytes();
        m_template = temp(QStringLiteral("template.xlt"));
        WriteBytesToFile(m_templateBytes, m_template);
        m_excel = freshOffices().createApplication();
        m_started += officeChildren();
        QCOMPARE(m_started.size(), 1);
        m_officePid = *m_started.begin();
    }

    void cleanupTestCase()
    {
        if (m_excel)
            m_excel->Quit();
        m_excel.reset();
        QLocale::setDefault(QLocale::c());
        // Every office this suite started has ended and been reaped.
        QVERIFY(officeChildren().isEmpty());
        for (const qint64 pid : std::as_const(m_started))
            QVERIFY2(!processExists(pid), qPrintable(QString::number(pid)));
    }

    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void cleanup()
    {
        if (!m_excel)
            return;
        auto books = m_excel->Workbooks();
        while (books->count() > 0)
            books->Item(books->count())->Close();
    }

    void templateOpensWithItsUsedRange()
    {
        auto workbook = m_excel->Workbooks()->Open(m_template, true);
        QCOMPARE(m_excel->Workbooks()->count(), 1);
        auto sheets = m_excel->ActiveWorkbook()->Worksheets();
        QCOMPARE(sheets->count(), 1);
        QCOMPARE(sheets->Item(1)->Name(), QStringLiteral("To-do list"));
        QVERIFY_THROWS_EXCEPTION(Failure, sheets->Item(2));

        // B1 down to row 6, through column G: formatted empty cells count.
        const auto used = workbook->ActiveSheet()->UsedRange();
        QCOMPARE(used->Row(), 1);
        QCOMPARE(used->Column(), 2);
        QCOMPARE(used->Rows()->count(), 6);
        QCOMPARE(used->Columns()->count(), 6);
        QCOMPARE(lastRowOf(*used), 6);
        QCOMPARE(lastColumnOf(*used), 7);

        QCOMPARE(valueText(m_excel->Cells(1, 7)->Value()), QStringLiteral("text \"Name\""));
        QCOMPARE(valueText(m_excel->Cells(5, 3)->Value()), QStringLiteral("text \"Project\""));
        QCOMPARE(valueText(m_excel->Cells(6, 4)->Value()), QStringLiteral("<empty>"));
    }

    void textIsTakenAsTyped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("formula stays text") << "=1+1" << "text \"=1+1\"";
        QTest::newRow("function stays text") << "=SUM(A1:A3)" << "text \"=SUM(A1:A3)\"";
        QTest::newRow("whole number") << "12" << "number 12";
        QTest::newRow("decimal") << "1.5" << "number 1.5";
        QTest::newRow("percent") << "5%" << "number 0.050000000000000003";
        QTest::newRow("words") << "Call the bank" << "text \"Call the bank\"";
        QTest::newRow("words with digits") << "Room 101, floor 2" << "text \"Room 101, floor 2\"";
        QTest::newRow("true stays a word") << "TRUE" << "text \"TRUE\"";
        QTest::newRow("short date") << "12/24/26" << "date 2026-12-24";
        QTest::newRow("date with full year") << "12/24/2026" << "date 2026-12-24";
        QTest::newRow("two-digit year 30") << "1/5/30" << "date 1930-01-05";
        QTest::newRow("iso date") << "2026-12-24" << "date 2026-12-24";
        QTest::newRow("blanks") << "  " << "text \"  \"";
        QTest::newRow("empty") << "" << "<empty>";
    }
    void textIsTakenAsTyped()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        openTemplate();
        // A fresh General cell for each case, away from the template's cells.
        auto cell = m_excel->Cells(20, 9);
        cell->setValue(QStringLiteral("old"));
        cell->setValue(text);
        QCOMPARE(valueText(cell->Value()), stored);
    }

    void textIsTakenAsTypedInAGermanLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        openTemplate();
        const QList<std::pair<QString, QString>> cases = {
            {QStringLiteral("24.12.26"), QStringLiteral("date 2026-12-24")},
            {QStringLiteral("24.12.2026"), QStringLiteral("date 2026-12-24")},
            {QStringLiteral("1,5"), QStringLiteral("number 1.5")},
            {QStringLiteral("=1+1"), QStringLiteral("text \"=1+1\"")},
            {QStringLiteral("12/24/26"), QStringLiteral("text \"12/24/26\"")},
        };
        int row = 20;
        for (const auto &[text, stored] : cases) {
            auto cell = m_excel->Cells(row++, 9);
            cell->setValue(text);
            QCOMPARE(valueText(cell->Value()), stored);
        }
        // The due date column keeps its own date format, and a General cell
        // gets the locale's date.
        m_excel->Cells(6, 4)->setValue(QStringLiteral("01.03.27"));
        QCOMPARE(valueText(m_excel->Cells(6, 4)->Value()), QStringLiteral("date 2027-03-01"));
        m_excel->Cells(2, 7)->setValue(QDate(2026, 12, 24));
        QCOMPARE(valueText(m_excel->Cells(2, 7)->Value()), QStringLiteral("date 2026-12-24"));
    }

    void datesAndNumbers()
    {
        openTemplate();
        // The deadline placeholder is a General text cell: a date turns it
        // into a date cell.
        m_excel->Cells(2, 7)->setValue(QDate(2026, 12, 24));
        QCOMPARE(valueText(m_excel->Cells(2, 7)->Value()), QStringLiteral("date 2026-12-24"));
        // Before the 1900 leap day that never was, and long after.
        m_excel->Cells(21, 9)->setValue(QDate(1900, 2, 28));
        QCOMPARE(valueText(m_excel->Cells(21, 9)->Value()), QStringLiteral("date 1900-02-28"));
        m_excel->Cells(22, 9)->setValue(QDate(2199, 1, 31));
        QCOMPARE(valueText(m_excel->Cells(22, 9)->Value()), QStringLiteral("date 2199-01-31"));
        // A number stays a number in a General cell and is a date in the
        // due date column.
        m_excel->Cells(23, 9)->setValue(46380.0);
        QCOMPARE(valueText(m_excel->Cells(23, 9)->Value()), QStringLiteral("number 46380"));
        m_excel->Cells(6, 4)->setValue(46380.0);
        QCOMPARE(valueText(m_excel->Cells(6, 4)->Value()), QStringLiteral("date 2026-12-24"));
        // Clearing keeps nothing.
        m_excel->Cells(6, 4)->setValue(xl::CellValue());
        QCOMPARE(valueText(m_excel->Cells(6, 4)->Value()), QStringLiteral("<empty>"));
        QVERIFY_THROWS_EXCEPTION(Failure, m_excel->Cells(24, 9)->setValue(QDate()));
        QVERIFY_THROWS_EXCEPTION(Failure, m_excel->Cells(0, 1));
        QVERIFY_THROWS_EXCEPTION(Failure, m_excel->Cells(1, 20000));
    }

    void insertingRows()
    {
        openTemplate();
        const QString saved = temp(QStringLiteral("inserted.xls"));
        // A copy of row 6 two rows further down: styled and as high as row 6.
        m_excel->Rows(6)->Select();
        m_excel->Selection()->Copy();
        m_excel->Rows(9)->Select();
        m_excel->Selection()->Insert(xl::xlShiftDown);
        m_excel->setCutCopyMode(false);
        // An empty row, without copy mode, pushes the copy down to row 10.
        m_excel->Cells(9, 3)->setValue(QStringLiteral("marker"));
        m_excel->Rows(9)->Select();
        m_excel->Selection()->Insert(xl::xlShiftDown);
        QCOMPARE(valueText(m_excel->Cells(10, 3)->Value()), QStringLiteral("text \"marker\""));
        QCOMPARE(valueText(m_excel->Cells(9, 3)->Value()), QStringLiteral("<empty>"));
        // A copy above the AutoFilter range moves the range down with it.
        m_excel->Rows(6)->Select();
        m_excel->Selection()->Copy();
        m_excel->Rows(3)->Select();
        m_excel->Selection()->Insert(xl::xlShiftDown);
        m_excel->setCutCopyMode(false);
        QVERIFY_THROWS_EXCEPTION(Failure, m_excel->Selection()->Insert(-4161));
        m_excel->ActiveWorkbook()->SaveAs(saved, xl::xlExcel8);

        const QJsonObject facts = xlsFacts(saved);
        QVERIFY(!facts.isEmpty());
        const QJsonObject cells = facts.value(QStringLiteral("cells")).toObject();
        const QJsonObject heights = facts.value(QStringLiteral("heights")).toObject();
        auto borders = [&](const QString &cell) { return cells.value(cell).toObject().value(QStringLiteral("borders")); };
        // Row 3 (copy), row 6 (header), row 7 (template's data row), row 11
        // (the first copy, pushed down twice).
        for (const QString &column : {QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("E"), QStringLiteral("G")}) {
            QCOMPARE(borders(column + QStringLiteral("3")), borders(column + QStringLiteral("7")));
            QCOMPARE(borders(column + QStringLiteral("11")), borders(column + QStringLiteral("7")));
        }
        QCOMPARE(cells.value(QStringLiteral("B11")).toObject().value(QStringLiteral("font")).toString(), QStringLiteral("Marlett"));
        QCOMPARE(heights.value(QStringLiteral("3")).toDouble(), 16.5);
        QCOMPARE(heights.value(QStringLiteral("11")).toDouble(), 16.5);
        QCOMPARE(cells.value(QStringLiteral("C11")).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("marker"));
        const QJsonArray merged = facts.value(QStringLiteral("merged")).toArray();
        QVERIFY(merged.contains(QStringLiteral("E3:G3")));
        QVERIFY(merged.contains(QStringLiteral("E7:G7")));
        QVERIFY(merged.contains(QStringLiteral("E11:G11")));
        QCOMPARE(facts.value(QStringLiteral("names")).toObject().value(QStringLiteral("_FilterDatabase")).toString(),
                 QStringLiteral("'To-do list'!$B$6:$B$7"));
    }

    // Many entries filled as the template command fills them, and the same
    // entries with every row copy and cell write done on its own: the saved
    // workbooks read the same, cell by cell and style by style.
    void longFillReadsAsOneByOne()
    {
        const QStringList dueBy = {QStringLiteral("12/24/2026"), QStringLiteral("1/5/27"), QStringLiteral("2026-12-24"),
                                   QString(), QStringLiteral("soon"), QStringLiteral("12"), QStringLiteral("=1+1"),
                                   QStringLiteral("1.5")};
        const QStringList projects = {QStringLiteral("Alpha"), QStringLiteral("Project 7"), QStringLiteral("12"),
                                      QStringLiteral("5%"), QStringLiteral("TRUE"), QStringLiteral("=SUM(A1:A3)"),
                                      QString(), QStringLiteral("  "), QStringLiteral("12/24/26"),
                                      QStringLiteral("Two\nlines")};
        const QStringList notes = {QStringLiteral("First note"), QStringLiteral("=1+1"), QStringLiteral("1,5"),
                                   QStringLiteral("Room 101, floor 2"), QString(), QStringLiteral("3"),
                                   QStringLiteral("Call the bank")};
        QList<Entry> entries;
        for (int i = 0; i < 300; ++i) {
            entries.append({dueBy.at(i % dueBy.size()), projects.at(i % projects.size()), notes.at(i % notes.size()),
                            i % 3 == 0 ? QStringLiteral("V") : (i % 5 == 0 ? QStringLiteral("v") : QString())});
        }
        QJsonObject facts[2];
        for (const bool oneByOne : {false, true}) {
            auto workbook = openTemplate();
            m_excel->Cells(1, 7)->setValue(QStringLiteral("Jane Roe"));
            m_excel->Cells(2, 7)->setValue(QDate(2026, 12, 24));
            m_excel->Cells(5, 3)->setValue(QStringLiteral("Apollo"));
            fillRows(*m_excel, entries, oneByOne);
            m_excel->Cells(1, 2)->Select();
            const QString saved = temp(oneByOne ? QStringLiteral("one-by-one.xls") : QStringLiteral("filled.xls"));
            workbook->SaveAs(saved, xl::xlExcel8);
            workbook->Close();
            facts[oneByOne ? 1 : 0] = xlsFacts(saved);
        }
        QVERIFY(!facts[0].isEmpty());
        QCOMPARE(facts[0].value(QStringLiteral("rows")).toInt(), 305);
        QCOMPARE(facts[0].value(QStringLiteral("merged")).toArray().size(), 301);
        const QJsonObject cells = facts[0].value(QStringLiteral("cells")).toObject();
        const QJsonObject reference = facts[1].value(QStringLiteral("cells")).toObject();
        QCOMPARE(cells.keys(), reference.keys());
        for (const QString &name : cells.keys())
            QVERIFY2(cells.value(name) == reference.value(name),
                     qPrintable(name + QLatin1Char(' ') + QString::fromUtf8(QJsonDocument(cells.value(name).toObject()).toJson(QJsonDocument::Compact))
                                + QStringLiteral(" one by one: ")
                                + QString::fromUtf8(QJsonDocument(reference.value(name).toObject()).toJson(QJsonDocument::Compact))));
        for (const QString &key : facts[1].keys())
            QVERIFY2(facts[0].value(key) == facts[1].value(key), qPrintable(key));
        // The entries landed where they belong.
        QCOMPARE(cells.value(QStringLiteral("C6")).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("Alpha"));
        QCOMPARE(cells.value(QStringLiteral("D6")).toObject().value(QStringLiteral("type")).toString(), QStringLiteral("date"));
        QCOMPARE(cells.value(QStringLiteral("D10")).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("soon"));
        QCOMPARE(cells.value(QStringLiteral("E7")).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("=1+1"));
        QCOMPARE(cells.value(QStringLiteral("B6")).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("a"));
    }

    void savingRules()
    {
        auto workbook = openTemplate();
        m_excel->Cells(1, 7)->setValue(QStringLiteral("changed"));
        // Opened read-only: never saved over its own file.
        QVERIFY_THROWS_EXCEPTION(Failure, workbook->SaveAs(m_template, xl::xlExcel8));
        // Formats other than 97-2003, .xlsx and .ods are refused (6: CSV).
        QVERIFY_THROWS_EXCEPTION(Failure, workbook->SaveAs(temp(QStringLiteral("x.csv")), 6));
        QVERIFY_THROWS_EXCEPTION(Failure, workbook->ExportAsFixedFormat(1, temp(QStringLiteral("x.xps"))));
        QVERIFY_THROWS_EXCEPTION(Failure, m_excel->Workbooks()->Open(temp(QStringLiteral("missing.xls"))));
        QVERIFY_THROWS_EXCEPTION(Failure, m_excel->setVisible(true));
        m_excel->setVisible(false);
        m_excel->setDisplayAlerts(false);
        workbook->Close();
        QCOMPARE(m_excel->Workbooks()->count(), 0);
        QVERIFY_THROWS_EXCEPTION(Failure, workbook->ActiveSheet());
        QVERIFY_THROWS_EXCEPTION(Failure, m_excel->ActiveWorkbook());
        QVERIFY_THROWS_EXCEPTION(Failure, m_excel->Cells(1, 1));
        QFile file(m_template);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), m_templateBytes);
    }

    // The template command's whole run against the office.
    void fillSaveReopenAndPicture()
    {
        const QString saved = temp(QStringLiteral("vantyk12345678.xls"));
        const QList<Entry> entries = {
            {QStringLiteral("12/24/2026"), QStringLiteral("Alpha"), QStringLiteral("First note"), QStringLiteral("V")},
            {QStringLiteral("1/5/27"), QStringLiteral("Beta"), QStringLiteral("=1+1"), QStringLiteral("v")},
            {QStringLiteral("3/1/2027"), QStringLiteral("Gamma"), QStringLiteral("Third, with a comma"), QStringLiteral("V")},
        };
        {
            auto excel = freshOffices().createApplication();
            m_started += officeChildren();
            auto workbook = excel->Workbooks()->Open(m_template, true);
            excel->setDisplayAlerts(false);
            excel->ActiveWorkbook()->Worksheets()->Item(1)->Select();
            excel->ActiveWorkbook()->Worksheets()->Item(1)->Activate();
            excel->Cells(1, 7)->setValue(QStringLiteral("Jane Roe"));
            excel->Cells(2, 7)->setValue(QDate(2026, 12, 24));
            excel->Cells(5, 3)->setValue(QStringLiteral("Apollo"));
            fillRows(*excel, entries);
            excel->ActiveWorkbook()->Worksheets()->Item(1)->Select();
            excel->Cells(1, 2)->Select();
            excel->setDisplayAlerts(true);
            excel->setVisible(false);
            workbook->SaveAs(saved, WorkbookSaveFormat(*excel));
            excel->setDisplayAlerts(false);
            workbook->Close();
            excel->Quit();
        }
        QFile original(m_template);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), m_templateBytes);

        auto excel = OpenInNewInstance(freshOffices(), saved);
        m_started += officeChildren();
        auto books = excel->Workbooks();
        auto workbook = books->Item(books->count());
        QCOMPARE(valueText(excel->Cells(1, 7)->Value()), QStringLiteral("text \"Jane Roe\""));
        QCOMPARE(valueText(excel->Cells(2, 7)->Value()), QStringLiteral("date 2026-12-24"));
        QCOMPARE(valueText(excel->Cells(5, 3)->Value()), QStringLiteral("text \"Apollo\""));
        const QStringList expected = {
            QStringLiteral("text \"a\"|text \"Alpha\"|date 2026-12-24|text \"First note\""),
            QStringLiteral("<empty>|text \"Beta\"|date 2027-01-05|text \"=1+1\""),
            QStringLiteral("text \"a\"|text \"Gamma\"|date 2027-03-01|text \"Third, with a comma\""),
        };
        for (int row = 6; row <= 8; ++row) {
            QStringList values;
            for (int column = 2; column <= 5; ++column)
                values << valueText(excel->Cells(row, column)->Value());
            QCOMPARE(values.join(QLatin1Char('|')), expected.at(row - 6));
        }
        for (int column = 1; column <= 8; ++column)
            QCOMPARE(valueText(excel->Cells(9, column)->Value()), QStringLiteral("<empty>"));

        const auto used = workbook->ActiveSheet()->UsedRange();
        QCOMPARE(used->Row(), 1);
        QCOMPARE(used->Column(), 2);
        QCOMPARE(lastRowOf(*used), 8);
        QCOMPARE(lastColumnOf(*used), 7);

        // The picture of B1:G8.
        ScriptedDialogs dialogs;
        const QString picturePath = temp(QStringLiteral("temp.bmp"));
        saveCellsActivesheet(*workbook, picturePath, dialogs);
        QVERIFY2(dialogs.boxes.isEmpty(), qPrintable(dialogs.errorTexts().join(QLatin1Char('\n'))));
        excel->setDisplayAlerts(false);
        workbook->Close();
        excel->Quit();

        QImage picture;
        QVERIFY(loadPictureFile(picture, picturePath));
        if (const QString keep = qEnvironmentVariable("QUORBEL_KEEP_PICTURE"); !keep.isEmpty())
            picture.save(keep, "PNG");
        checkPicture(picture);

        // What an independent reader finds in the saved workbook.
        const QJsonObject facts = xlsFacts(saved);
        QVERIFY(!facts.isEmpty());
        QCOMPARE(facts.value(QStringLiteral("sheets")).toArray(), QJsonArray {QStringLiteral("To-do list")});
        QCOMPARE(facts.value(QStringLiteral("rows")).toInt(), 8);  // nothing below row 8
        QCOMPARE(facts.value(QStringLiteral("gridlines")).toBool(), false);
        const QJsonObject cells = facts.value(QStringLiteral("cells")).toObject();
        auto cell = [&](const char *name) { return cells.value(QLatin1String(name)).toObject(); };
        QCOMPARE(cell("G2").value(QStringLiteral("type")).toString(), QStringLiteral("date"));
        QCOMPARE(cell("G2").value(QStringLiteral("value")).toDouble(), 46380.0);
        for (const char *name : {"D6", "D7", "D8"}) {
            QCOMPARE(cell(name).value(QStringLiteral("type")).toString(), QStringLiteral("date"));
            QCOMPARE(cell(name).value(QStringLiteral("format")).toString(), QStringLiteral("m/d/yy;@"));
        }
        QCOMPARE(cell("E7").value(QStringLiteral("type")).toString(), QStringLiteral("text"));
        QCOMPARE(cell("E7").value(QStringLiteral("value")).toString(), QStringLiteral("=1+1"));
        for (const QString &row : {QStringLiteral("7"), QStringLiteral("8")}) {
            for (const QString &column : {QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E"),
                                         QStringLiteral("F"), QStringLiteral("G")}) {
                const QJsonObject copy = cells.value(column + row).toObject();
                const QJsonObject first = cells.value(column + QStringLiteral("6")).toObject();
                QCOMPARE(copy.value(QStringLiteral("borders")), first.value(QStringLiteral("borders")));
                QCOMPARE(copy.value(QStringLiteral("font")), first.value(QStringLiteral("font")));
                QCOMPARE(copy.value(QStringLiteral("size")), first.value(QStringLiteral("size")));
            }
            QCOMPARE(facts.value(QStringLiteral("heights")).toObject().value(row).toDouble(), 16.5);
        }
        QCOMPARE(cell("B6").value(QStringLiteral("font")).toString(), QStringLiteral("Marlett"));
        const QJsonArray merged = facts.value(QStringLiteral("merged")).toArray();
        for (const char *area : {"B1:C1", "E6:G6", "E7:G7", "E8:G8"})
            QVERIFY2(merged.contains(QLatin1String(area)), area);
        QCOMPARE(merged.size(), 4);
        const QJsonObject names = facts.value(QStringLiteral("names")).toObject();
        QCOMPARE(names.value(QStringLiteral("_FilterDatabase")).toString(), QStringLiteral("'To-do list'!$B$5:$B$8"));
        QVERIFY(!names.contains(QStringLiteral("Excel_BuiltIn__FilterDatabase")));
    }

    // The picture of a short list and of one that takes many pages: as tall
    // as its rows, with something drawn on it (text, borders, the dark
    // header).
    void pictureOfShortAndLongLists_data()
    {
        QTest::addColumn<int>("entries");
        QTest::newRow("10 entries") << 10;
        QTest::newRow("1000 entries") << 1000;
    }

    void pictureOfShortAndLongLists()
    {
        QFETCH(int, entries);
        auto workbook = openTemplate();
        QList<Entry> list;
        for (int i = 1; i <= entries; ++i)
            list.append({QStringLiteral("12/%1/2026").arg(i % 28 + 1), QStringLiteral("Project %1").arg(i),
                         QStringLiteral("Notes for entry %1").arg(i), i % 3 ? QString() : QStringLiteral("V")});
        fillRows(*m_excel, list);
        const auto used = workbook->ActiveSheet()->UsedRange();
        QCOMPARE(lastRowOf(*used), 5 + entries);

        const double ratio = qGuiApp->devicePixelRatio();
        const QImage drawn = SheetPicture::fromBytes(used->Picture())->image(ratio).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!drawn.isNull());
        // 16.5 pt a data row at 96 dpi is 22 pixels.
        const double height = drawn.height() / ratio;
        QVERIFY2(qAbs(height - (kRowTop[6] + 22 * entries)) <= 1, qPrintable(QString::number(drawn.height())));
        qint64 ink = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(drawn.constScanLine(y));
            for (int x = 0; x < drawn.width(); ++x)
                ink += isInk(line[x]) ? 1 : 0;
        }
        QVERIFY(ink > qint64(drawn.width()) * 10);
    }

    // The picture drawn for the screen's device pixel ratio r (1 here, 2 in
    // the run under QT_SCALE_FACTOR=2): r times the pixels each way, at r x
    // 96 dpi, carrying r; the snapshot file keeps the office's pages, which
    // draw the same.
    void pictureAtTheScreensPixelRatio()
    {
        const double ratio = qGuiApp->devicePixelRatio();
        auto workbook = openTemplate();
        fillRows(*m_excel, {{QStringLiteral("12/1/2026"), QStringLiteral("One"), QStringLiteral("first"), QStringLiteral("V")},
                        {QStringLiteral("12/2/2026"), QStringLiteral("Two"), QStringLiteral("second"), QString()},
                        {QStringLiteral("12/3/2026"), QStringLiteral("Three"), QStringLiteral("third"), QString()}});
        const auto pages = SheetPicture::fromBytes(workbook->ActiveSheet()->UsedRange()->Picture());
        const QImage picture = pages->image(ratio);
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.devicePixelRatio(), ratio);
        QVERIFY2(qAbs(picture.dotsPerMeterX() - 96.0 * ratio / 0.0254) <= 1, qPrintable(QString::number(picture.dotsPerMeterX())));
        // Rows 1 to 8: 152 pixels at ratio 1.
        const int logicalHeight = kRowTop[9] - kRowTop[0] + 1;
        QVERIFY2(qAbs(picture.height() - ratio * logicalHeight) <= ratio, qPrintable(QString::number(picture.height())));
        QVERIFY2(qAbs(picture.width() - ratio * 692) <= 2 * ratio, qPrintable(QString::number(picture.width())));

        ScriptedDialogs dialogs;
        const QString path = temp(QStringLiteral("ratio.bmp"));
        saveCellsActivesheet(*workbook, path, dialogs);
        QVERIFY(dialogs.boxes.isEmpty());
        QImage saved;
        QVERIFY(loadPictureFile(saved, path));
        QCOMPARE(saved.size(), picture.size());
        QCOMPARE(saved.dotsPerMeterX(), picture.dotsPerMeterX());

        // On the clipboard the sheet carries the office's pages, an image
        // and the one-page PDF itself; a sheet too large for one bitmap
        // pastes as an image of a lower resolution that says so, at ratio 1.
        const SheetPictureMimeData data(pages, ratio);
        QCOMPARE(data.data(SheetPicture::kMimeType), pages->toBytes());
        QVERIFY(data.data(QStringLiteral("application/pdf")).startsWith("%PDF"));
        QImage png;
        QVERIFY(png.loadFromData(data.data(QStringLiteral("image/png")), "PNG"));
        QCOMPARE(png.size(), picture.size());
        const QSize logical = pages->logicalSize();
        const QImage reduced = pages->image(ratio, qint64(logical.width()) * logical.height() / 4);
        QVERIFY2(qAbs(reduced.width() - logical.width() / 2) <= 2, qPrintable(QString::number(reduced.width())));
        QCOMPARE(reduced.devicePixelRatio(), 1.0);
        QVERIFY2(qAbs(reduced.dotsPerMeterX() - 48.0 / 0.0254) <= 40, qPrintable(QString::number(reduced.dotsPerMeterX())));
    }

    void emptyListStillPictured()
    {
        auto workbook = openTemplate();
        m_excel->Cells(1, 7)->setValue(QStringLiteral("Jane Roe"));
        fillRows(*m_excel, {});
        ScriptedDialogs dialogs;
        const QString picturePath = temp(QStringLiteral("empty.bmp"));
        saveCellsActivesheet(*workbook, picturePath, dialogs);
        QVERIFY(dialogs.boxes.isEmpty());
        QImage picture;
        QVERIFY(loadPictureFile(picture, picturePath));
        QCOMPARE(picture.height(), kRowTop[7]);  // rows 1 to 6
    }

    // The page style a picture sets is put back before the workbook's next
    // work: a PDF of the workbook made after a picture has the pages of one
    // made before it (the picture's style prints a long list on fewer, taller
    // pages).
    void pictureLeavesThePrintAsItWas()
    {
        auto workbook = openTemplate();
        QList<Entry> list;
        for (int i = 1; i <= 120; ++i)
            list.append({QStringLiteral("12/1/2026"), QStringLiteral("Project %1").arg(i), QStringLiteral("Notes"), {}});
        fillRows(*m_excel, list);
        const auto pages = [&](const char *name) {
            const QString path = temp(QLatin1String(name));
            workbook->ExportAsFixedFormat(xl::xlTypePDF, path);
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? PdfPage(file.readAll()).pageCount() : -1;
        };
        const int before = pages("before.pdf");
        QVERIFY2(before > 2, qPrintable(QString::number(before)));
        QVERIFY(!workbook->ActiveSheet()->UsedRange()->Picture().isEmpty());
        QCOMPARE(pages("after.pdf"), before);
    }

    // Offices ended while their endings are deferred are killed at once
    // and keep their folders until the endings settle; then nothing of them
    // is left, reaped or not before.
    void deferredEndingsSettle()
    {
        Offices offices;
        OfficeEndings endings = offices.deferEndings();
        const QSet<qint64> before = officeChildren();
        auto excel = offices.createApplication();
        const QSet<qint64> made = officeChildren() - before;
        QCOMPARE(made.size(), 1);
        const qint64 pid = *made.begin();
        m_started += made;
        const QString folder = instanceFolderOf(pid);
        QVERIFY(QFileInfo(folder).isDir());
        excel->Quit();
        excel.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!readProcStat(pid) || readProcStat(pid)->zombie(), 10000);
        QVERIFY(QFileInfo(folder).isDir());
        endings.settle();
        QVERIFY(!processExists(pid));
        QVERIFY(!QFileInfo::exists(folder));
        // Settled: an office ended now is reaped at once.
        auto next = offices.createApplication();
        const QSet<qint64> again = officeChildren() - before;
        m_started += again;
        next.reset();
        QCOMPARE(officeChildren() - before, QSet<qint64>());
    }

    // A picture whose PDF export fails (a folder stands where the office
    // exports to) is reported at step 110 with what failed, step 112 finds
    // nothing to write, no file is left, and the instance goes on working.
    void failedPdfExportIsReportedAsThePictureStep()
    {
        auto workbook = openTemplate();
        fillRows(*m_excel, {});
        const QString folder = instanceFolderOf(m_officePid);
        QVERIFY(!folder.isEmpty());
        const QString blocker = folder + QStringLiteral("/picture.pdf/inside");
        QVERIFY(QDir().mkpath(blocker));
        ScriptedDialogs dialogs;
        const QString picturePath = temp(QStringLiteral("failed.bmp"));
        saveCellsActivesheet(*workbook, picturePath, dialogs);
        QDir(folder + QStringLiteral("/picture.pdf")).removeRecursively();
        const QStringList errors = dialogs.errorTexts();
        QCOMPARE(errors.size(), 2);
        QVERIFY2(errors.at(0).startsWith(QStringLiteral("LibreOffice's PDF export of the cells failed")), qPrintable(errors.at(0)));
        QVERIFY2(errors.at(0).contains(QStringLiteral("at line 110")), qPrintable(errors.at(0)));
        QVERIFY2(errors.at(1).contains(QStringLiteral("at line 112")), qPrintable(errors.at(1)));
        QVERIFY(!QFile::exists(picturePath));

        saveCellsActivesheet(*workbook, picturePath, dialogs);
        QCOMPARE(dialogs.errorTexts().size(), 2);
        QVERIFY(QFile::exists(picturePath));
    }

    void secondInstanceIsSeparate()
    {
        openTemplate();
        auto other = freshOffices().createApplication();
        const QSet<qint64> offices = officeChildren();
        m_started += offices;
        // Each instance has an office of its own (a shared profile would
        // have sent the second office's work to the first and ended it).
        QCOMPARE(offices.size(), 2);
        other->Workbooks()->Open(m_template, true);
        m_excel->Cells(1, 7)->setValue(QStringLiteral("first"));
        other->Cells(1, 7)->setValue(QStringLiteral("second"));
        QCOMPARE(valueText(m_excel->Cells(1, 7)->Value()), QStringLiteral("text \"first\""));
        QCOMPARE(valueText(other->Cells(1, 7)->Value()), QStringLiteral("text \"second\""));
        other.reset();  // released without Quit: its office ends too
        QCOMPARE(officeChildren().size(), 1);
    }

    // The private profile counts as made by this office, so the office does
    // not take every start for an upgrade (and run its graphics self-test,
    // which costs most of a start).
    void profileIsNotTakenForAnUpgrade()
    {
        const QString version = m_excel->Version();
        const QString cache = qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/quorbel");
        const QStringList masters = QDir(cache).entryList({QStringLiteral("profile-v*")}, QDir::Dirs);
        QCOMPARE(masters.size(), 1);
        QFile settings(cache + QLatin1Char('/') + masters.first() + QStringLiteral("/profile/user/registrymodifications.xcu"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QVERIFY(settings.readAll().contains(QStringLiteral("<prop oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>%1</value>")
                                                .arg(version).toUtf8()));
        QDirIterator running(cache + QStringLiteral("/instances"), {QStringLiteral("GraphicsRenderTests.log")},
                             QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!running.hasNext(), qPrintable(running.hasNext() ? running.next() : QString()));
        QDirIterator instances(cache + QStringLiteral("/instances"), {QStringLiteral("registrymodifications.xcu")},
                               QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(instances.hasNext()); // the running instance's profile is there to look at
    }

    void versionAndSaveFormat()
    {
        const QString version = m_excel->Version();
        const auto match = QRegularExpression(QStringLiteral("^(\\d+)\\.\\d+$")).match(version);
        QVERIFY2(match.hasMatch(), qPrintable(version));
        const int expected = match.captured(1).toInt() > 11 ? xl::xlExcel8 : xl::xlWorkbookNormal;
        QCOMPARE(WorkbookSaveFormat(*m_excel), expected);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(WorkbookSaveFormat(freshOffices()), expected);
        QCOMPARE(officeChildren().size(), 1);  // the instance it made has ended
    }

    void availabilityCheckWithTheOffice()
    {
        ScriptedDialogs dialogs;
        QVERIFY(IsInstalled(freshOffices(), dialogs));
        QVERIFY(dialogs.boxes.isEmpty());
        QCOMPARE(officeChildren().size(), 1);  // its probe has ended
    }

private:
    FreshOffices freshOffices;
    std::shared_ptr<xl::XlWorkbook> openTemplate()
    {
        auto workbook = m_excel->Workbooks()->Open(m_template, true);
        m_excel->ActiveWorkbook()->Worksheets()->Item(1)->Activate();
        return workbook;
    }

    // B1:G8 of the filled template, at 96 dpi, nothing more.
    void checkPicture(const QImage &picture)
    {
        QCOMPARE(picture.height(), kRowTop[9]);
        QVERIFY(picture.width() > 500);
        const int right = picture.width() - 1;
        const int header = (kRowTop[5] + kRowTop[6]) / 2;
        // The dark header row runs from the first pixel column to the last,
        // and column B's left border is the first pixel column.
        QVERIFY(isInk(picture.pixel(0, header)));
        for (int y = kRowTop[6]; y < kRowTop[9]; ++y)
            QVERIFY2(isInk(picture.pixel(0, y)), qPrintable(QString::number(y)));
        QVERIFY(isInk(picture.pixel(right, header)));
        QCOMPARE(QColor(picture.pixel(right / 2, header)).name(), QStringLiteral("#4a4a6e"));
        // Row 1 starts at the top: the title's white paper, no row above.
        QCOMPARE(inkIn(picture, QRect(0, 0, picture.width(), 1)), 0);
        // The last data row's bottom border is the last or last but one pixel
        // row, and column G's right border the last or last but one column.
        const int bottomInk = std::max(inkIn(picture, QRect(0, picture.height() - 1, picture.width(), 1)),
                                       inkIn(picture, QRect(0, picture.height() - 2, picture.width(), 1)));
        QVERIFY2(bottomInk > picture.width() * 95 / 100, qPrintable(QString::number(bottomInk)));
        const int rowsHeight = kRowTop[9] - kRowTop[6];
        const int rightInk = std::max(inkIn(picture, QRect(right, kRowTop[6], 1, rowsHeight)),
                                      inkIn(picture, QRect(right - 1, kRowTop[6], 1, rowsHeight)));
        QVERIFY2(rightInk > rowsHeight * 95 / 100, qPrintable(QString::number(rightInk)));
        // Column B: the first border after its left edge in row 7 (no tick).
        const int middle7 = (kRowTop[7] + kRowTop[8]) / 2;
        int columnBRight = 3;
        while (columnBRight < picture.width() && !isInk(picture.pixel(columnBRight, middle7)))
            ++columnBRight;
        QVERIFY(columnBRight > 30 && columnBRight < 120);
        auto tickInk = [&](int row) {
            return inkIn(picture, QRect(3, kRowTop[row] + 3, columnBRight - 6, kRowTop[row + 1] - kRowTop[row] - 6));
        };
        // Ticks in B6 and B8 (done), none in B7.
        QVERIFY(tickInk(6) > 5);
        QCOMPARE(tickInk(7), 0);
        QVERIFY(tickInk(8) > 5);
    }

    std::unique_ptr<xl::XlApplication> m_excel;
    QByteArray m_templateBytes;
    QString m_template;
    QSet<qint64> m_started;
    qint64 m_officePid = 0; // m_excel's office
};

QTEST_MAIN(CalcTest)
#include "CalcTest.moc"
