// The workbook written as .xlsx, .ods and PDF by real offices: a workbook
// filled and saved as the template command does it, converted by the
// program's exporter, and read back by independent readers (openpyxl and
// odfpy for the workbooks, compared cell by cell with what xlrd reads from
// the .xls; poppler's pdfinfo and pdftotext for the pages).

#include "OfficeTestSupport.h"

#include "FileProcs.h"
#include "OfficeSheetExporter.h"
#include "SheetFill.h"
#include "Snapshot.h"
#include "TemplateWorkbook.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>

using namespace quorbel;
using namespace quorbel::test;

Q_DECLARE_METATYPE(quorbel::SheetFormat)

namespace {

QString temp(const QString &name)
{
    return QDir(qEnvironmentVariable("TEMP")).filePath(name);
}

QByteArray digestOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

// Standard output of a poppler tool run on `path`.
QString popplerOutput(const QString &tool, QStringList arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(tool), process.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of each page of a PDF, as pdftotext finds it.
QStringList pageTexts(const QString &pdf)
{
    QStringList pages = popplerOutput(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Each page's size in points, from pdfinfo.
QList<QSizeF> pageSizes(const QString &pdf)
{
    const QString info = popplerOutput(QStringLiteral("pdfinfo"),
                                       {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                        QStringLiteral("100000"), pdf});
    static const QRegularExpression size(QStringLiteral(R"(Page\s+\d+\s+size:\s+([\d.]+) x ([\d.]+) pts)"));
    QList<QSizeF> sizes;
    for (auto it = size.globalMatch(info); it.hasNext();) {
        const auto match = it.next();
        sizes.append(QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()));
    }
    return sizes;
}

// What openpyxl or odfpy read (see sheet_facts.py).
QJsonObject sheetFacts(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral(QUORBEL_SYSTEM_PYTHON), {QStringLiteral(QUORBEL_SHEET_FACTS), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("sheet_facts.py failed: %s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QString projectOf(int entry)
{
    return QStringLiteral("Project %1").arg(entry, 3, 10, QLatin1Char('0'));
}

QString notesOf(int entry)
{
    return QStringLiteral("Notes of %1").arg(entry, 3, 10, QLatin1Char('0'));
}

constexpr double kPointsPerMm = 72.0 / 25.4;

} // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_template = temp(QStringLiteral("template.xlt"));
        WriteBytesToFile(templateWorkbookBytes(), m_template);
        m_short = temp(QStringLiteral("vantyk11111111.xls"));
        m_long = temp(QStringLiteral("vantyk22222222.xls"));
        fillAndSave(m_short, 3);
        fillAndSave(m_long, 150);
        QVERIFY(officeChildren().isEmpty());
    }

    void cleanupTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(officeChildren().isEmpty());
    }

    // The workbook in each format holds what the .xls holds: the .xlsx and
    // the .ods cell for cell (value, type, font) with the same sheet and
    // merged areas, the PDF every text on one page of the paper's size. The
    // .xls is never written, and the office is gone when the export returns.
    void exportsEachFormat_data()
    {
        QTest::addColumn<SheetFormat>("format");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("xlsx") << SheetFormat::Xlsx << ".xlsx";
        QTest::newRow("ods") << SheetFormat::Ods << ".ods";
        QTest::newRow("pdf") << SheetFormat::Pdf << ".pdf";
    }
    void exportsEachFormat()
    {
        QFETCH(SheetFormat, format);
        QFETCH(QString, suffix);
        const QString target = temp(QStringLiteral("saved") + suffix);
        QFile::remove(target);
        const QByteArray before = digestOf(m_short);

        OfficeSheetExporter exporter(m_offices());
        exporter.exportWorkbook(m_short, format, target, QSizeF(210, 297));
        QVERIFY(officeChildren().isEmpty());
        QCOMPARE(digestOf(m_short), before);
        QVERIFY(QFileInfo(target).size() > 0);
        // The folder it was written in is gone.
        QCOMPARE(QDir(qEnvironmentVariable("TEMP")).entryList({QStringLiteral(".quorbel-*")}, QDir::AllEntries | QDir::Hidden),
                 QStringList());

        const QStringList texts = {QStringLiteral("To-do list"), QStringLiteral("Jane Roe"), QStringLiteral("Apollo"),
                                   QStringLiteral("Due By"), projectOf(1), notesOf(1), projectOf(3), notesOf(3)};
        if (format == SheetFormat::Pdf) {
            const QList<QSizeF> sizes = pageSizes(target);
            QCOMPARE(sizes.size(), 1);
            QVERIFY2(qAbs(sizes[0].width() - 210 * kPointsPerMm) < 1 && qAbs(sizes[0].height() - 297 * kPointsPerMm) < 1,
                     qPrintable(QStringLiteral("%1 x %2").arg(sizes[0].width()).arg(sizes[0].height())));
            const QStringList pages = pageTexts(target);
            QCOMPARE(pages.size(), 1);
            for (const QString &text : texts)
                QVERIFY2(pages[0].contains(text), qPrintable(text + QStringLiteral(" in:\n") + pages[0]));
            return;
        }

        const QJsonObject xls = xlsFacts(m_short);
        const QJsonObject written = sheetFacts(target);
        QVERIFY(!xls.isEmpty() && !written.isEmpty());
        QCOMPARE(written.value(QStringLiteral("sheets")), xls.value(QStringLiteral("sheets")));
        QCOMPARE(written.value(QStringLiteral("merged")), xls.value(QStringLiteral("merged")));
        const QJsonObject xlsCells = xls.value(QStringLiteral("cells")).toObject();
        const QJsonObject cells = written.value(QStringLiteral("cells")).toObject();
        int compared = 0;
        for (auto it = xlsCells.begin(); it != xlsCells.end(); ++it) {
            const QJsonObject expected = it.value().toObject();
            const QString type = expected.value(QStringLiteral("type")).toString();
            if (type == QLatin1String("empty") || type == QLatin1String("blank"))
                continue;
            const QJsonObject cell = cells.value(it.key()).toObject();
            for (const char *key : {"value", "type", "font", "size", "bold"}) {
                QVERIFY2(cell.value(QLatin1String(key)) == expected.value(QLatin1String(key)),
                         qPrintable(QStringLiteral("%1 %2: %3 against the .xls's %4")
                                        .arg(it.key(), QLatin1String(key),
                                             QString::fromUtf8(QJsonDocument(cell).toJson(QJsonDocument::Compact)),
                                             QString::fromUtf8(QJsonDocument(expected).toJson(QJsonDocument::Compact)))));
            }
            ++compared;
        }
        // Nothing more than the .xls holds, and every entry's cells.
        QCOMPARE(cells.size(), compared);
        QVERIFY(compared >= 5 + 3 * 3);
        for (const QString &text : texts) {
            bool found = false;
            for (const auto &cell : cells)
                found = found || cell.toObject().value(QStringLiteral("value")).toString() == text;
            QVERIFY2(found, qPrintable(text));
        }
    }

    // A long list on small paper: the columns fitted to the width of each
    // page (an entry's project and notes always on one page), the rows over
    // several pages, each page of the paper's size with the sheet's heading
    // on top, every entry once and in order, and nothing but the used area.
    void longListPaginatesForPaper()
    {
        const QSizeF paper(105, 148);  // A6
        const QString target = temp(QStringLiteral("long.pdf"));
        QFile::remove(target);
        OfficeSheetExporter exporter(m_offices());
        exporter.exportWorkbook(m_long, SheetFormat::Pdf, target, paper);
        QVERIFY(officeChildren().isEmpty());

        const QList<QSizeF> sizes = pageSizes(target);
        const QStringList pages = pageTexts(target);
        QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
        QCOMPARE(sizes.size(), pages.size());
        for (const QSizeF &size : sizes)
            QVERIFY2(qAbs(size.width() - paper.width() * kPointsPerMm) < 1
                         && qAbs(size.height() - paper.height() * kPointsPerMm) < 1,
                     qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));

        int next = 1;
        for (int page = 0; page < pages.size(); ++page) {
            const QString &text = pages.at(page);
            for (const char *heading : {"To-do list", "To be completed by:", "Jane Roe", "Done?", "Apollo", "Due By", "Notes"})
                QVERIFY2(text.contains(QLatin1String(heading)), qPrintable(QStringLiteral("page %1 lacks %2").arg(page + 1).arg(QLatin1String(heading))));
            QVERIFY2(text.contains(projectOf(next)), qPrintable(QStringLiteral("page %1 lacks %2").arg(page + 1).arg(projectOf(next))));
            while (next <= 150 && text.contains(projectOf(next))) {
                QVERIFY2(text.contains(notesOf(next)), qPrintable(QStringLiteral("page %1 lacks %2").arg(page + 1).arg(notesOf(next))));
                ++next;
            }
        }
        QCOMPARE(next, 151);
        QCOMPARE(pages.join(QString()).count(QStringLiteral("Project ")), 150);
    }

private:
    // The template filled with `count` entries as the command fills it and
    // saved as the scratch workbook.
    void fillAndSave(const QString &path, int count)
    {
        QList<ListEntry> entries;
        for (int entry = 1; entry <= count; ++entry)
            entries.append({QStringLiteral("12/%1/26").arg(1 + entry % 28), projectOf(entry), notesOf(entry),
                            entry % 2 ? QStringLiteral("V") : QString()});
        auto excel = m_offices().createApplication();
        auto workbook = excel->Workbooks()->Open(m_template, true);
        excel->ActiveWorkbook()->Worksheets()->Item(1)->Activate();
        excel->Cells(1, 7)->setValue(QStringLiteral("Jane Roe"));
        excel->Cells(2, 7)->setValue(QDate(2026, 12, 24));
        excel->Cells(5, 3)->setValue(QStringLiteral("Apollo"));
        fillRows(*excel, entries);
        workbook->SaveAs(path, WorkbookSaveFormat(*excel));
        excel->Quit();
    }

    FreshOffices m_offices;
    QString m_template;
    QString m_short;
    QString m_long;
};

QTEST_GUILESS_MAIN(ExportTest)
#include "ExportTest.moc"
