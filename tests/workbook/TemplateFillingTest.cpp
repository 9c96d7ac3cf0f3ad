// "Start Creating Template" against an in-memory spreadsheet application: the
// order of the work, the rows it makes, the scratch files and names, and
// what happens when the spreadsheet application cannot be started.

#include "FakeSpreadsheet.h"
#include "Failure.h"
#include "ScratchFolder.h"
#include "ScriptedDialogs.h"
#include "Snapshot.h"
#include "TemplateFilling.h"
#include "TemplateWorkbook.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

using namespace quorbel;
using namespace quorbel::test;

namespace {

struct Entry {
    QString dueBy, project, notes, done;
};

class RecordingHost final : public TemplateHost {
public:
    QString name = QStringLiteral("Me");
    QDate date = QDate(2026, 12, 28);
    QString project = QStringLiteral("Development project");
    QList<Entry> entries;

    QStringList calls;
    QList<bool> pointer;
    QString picturePath;
    bool pictureExisted = false;
    QImage picture;
    QString workbookPath;

    QString completedBy() override { return name; }
    QDate deadline() override { return date; }
    QString projectName() override { return project; }
    int entryCount() override { return int(entries.size()); }
    QString entryDueBy(int p) override { return entries.at(p - 1).dueBy; }
    QString entryProject(int p) override { return entries.at(p - 1).project; }
    QString entryNotes(int p) override { return entries.at(p - 1).notes; }
    QString entryDone(int p) override { return entries.at(p - 1).done; }
    void setBusyPointer(bool busy) override { pointer.append(busy); }
    void loadPreviewPicture(const QString &path) override
    {
        calls << QStringLiteral("picture");
        picturePath = path;
        pictureExisted = QFile::exists(path);
        if (!picture.load(path))
            throw Failure(QStringLiteral("The picture %1 could not be loaded.").arg(path));
    }
    void setPreviewWorkbook(const QString &path) override
    {
        calls << QStringLiteral("workbook");
        workbookPath = path;
    }
    void showPreview() override { calls << QStringLiteral("show"); }
    void hideMainWindow() override { calls << QStringLiteral("hide"); }
};

QString cellText(const FakeSheet &sheet, int row, int column)
{
    const xl::CellValue value = sheet.cells.value({row, column});
    if (const auto *text = std::get_if<QString>(&value))
        return *text;
    if (const auto *date = std::get_if<QDate>(&value))
        return date->toString(Qt::ISODate);
    return QString();
}

} // namespace

class TemplateFillingTest : public QObject {
    Q_OBJECT

    std::shared_ptr<FakeWorld> world;

private slots:
    void init()
    {
        world = std::make_shared<FakeWorld>();
        // The styled template: labels, placeholders, the header row and one
        // styled, empty data row.
        world->templateSheet.cells[{1, 7}] = QStringLiteral("Name");
        world->templateSheet.cells[{2, 7}] = QStringLiteral("Date");
        world->templateSheet.cells[{5, 3}] = QStringLiteral("Project");
        world->templateSheet.rowStyle[5] = QStringLiteral("header");
        world->templateSheet.rowStyle[6] = QStringLiteral("data");
        auto w = world;
        xl::setApplicationFactory([w] { return makeFakeApplication(w); });
        QDir(scratchFolder()).removeRecursively();
        QDir().mkpath(scratchFolder());
    }

    void cleanup() { xl::setApplicationFactory({}); }

    void emptyListStillSavedPicturedAndPreviewed()
    {
        ScriptedDialogs dialogs;
        RecordingHost host;
        CreateTemplateWorkbook(host);
        QCOMPARE(dialogs.boxes.size(), 0);

        QVERIFY(!world->log.join('\n').contains(QStringLiteral("Selection")));
        QCOMPARE(world->savedFiles.size(), 1);
        const FakeSheet saved = world->savedFiles.first();
        QCOMPARE(cellText(saved, 1, 7), QStringLiteral("Me"));
        QCOMPARE(cellText(saved, 2, 7), QStringLiteral("2026-12-28"));
        QCOMPARE(cellText(saved, 5, 3), QStringLiteral("Development project"));
        QCOMPARE(saved.rowStyle.value(6), QStringLiteral("data"));
        QCOMPARE(saved.lastRow(), 6);

        QCOMPARE(host.calls, (QStringList{"picture", "workbook", "show", "hide"}));
        QVERIFY(host.pictureExisted);
        QVERIFY(!host.picture.isNull());
        QCOMPARE(host.picturePath, scratchPath(QStringLiteral("temp.bmp")));
        QCOMPARE(host.pointer, (QList<bool>{true, true, true, false}));

        // What is left: the scratch workbook only.
        QVERIFY(QRegularExpression(QStringLiteral("^vantyk[1-9]{8}\\.xls$"))
                    .match(QFileInfo(host.workbookPath).fileName()).hasMatch());
        QCOMPARE(QFileInfo(host.workbookPath).absolutePath(), QFileInfo(scratchFolder()).absoluteFilePath());
        QCOMPARE(QDir(scratchFolder()).entryList(QDir::Files), QStringList{QFileInfo(host.workbookPath).fileName()});

        // Two instances in turn, never side by side; none left.
        QCOMPARE(world->applicationsCreated, 2);
        QCOMPARE(world->maxAlive, 1);
        QCOMPARE(world->applicationsAlive, 0);
        // The template opened read-only, the save format from the version.
        QVERIFY(world->log.contains(QStringLiteral("Open(ReadOnly)")));
        // Version "7.4" reads as 7: the format for versions up to 11.
        QVERIFY(world->log.contains(QStringLiteral("SaveAs(-4143)")));
        QVERIFY(world->log.indexOf(QStringLiteral("Version")) < world->log.indexOf(QStringLiteral("SaveAs(-4143)")));
    }

    void rowsForEachEntry_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one entry, no insertion") << 1;
        QTest::newRow("three entries") << 3;
        QTest::newRow("ten entries") << 10;
    }

    void rowsForEachEntry()
    {
        QFETCH(int, count);
        ScriptedDialogs dialogs;
        RecordingHost host;
        const QStringList marks = {"V", "", "v", "x", "V "};
        for (int i = 0; i < count; ++i)
            host.entries.append({QStringLiteral("due %1").arg(i + 1), QStringLiteral("project %1").arg(i + 1),
                                 QStringLiteral("notes %1").arg(i + 1), marks.at(i % marks.size())});
        CreateTemplateWorkbook(host);
        QCOMPARE(dialogs.boxes.size(), 0);

        QCOMPARE(world->log.count(QStringLiteral("Selection.Insert(-4121)")), count - 1);
        QCOMPARE(world->log.count(QStringLiteral("Selection.Copy")), count - 1);
        QCOMPARE(world->log.count(QStringLiteral("CutCopyMode=0")), count - 1);
        // Each copy is taken from the row about to be written, while empty,
        // and goes in just below it.
        for (int r = 6; r < 5 + count; ++r) {
            const int copy = world->log.lastIndexOf(QStringLiteral("Rows(%1).Select").arg(r));
            QVERIFY(copy >= 0);
            QCOMPARE(world->log.at(copy + 1), QStringLiteral("Selection.Copy"));
            QCOMPARE(world->log.at(copy + 2), QStringLiteral("Rows(%1).Select").arg(r + 1));
        }

        const FakeSheet saved = world->savedFiles.first();
        QCOMPARE(saved.lastRow(), 5 + count);
        for (int i = 0; i < count; ++i) {
            const int row = 6 + i;
            QCOMPARE(saved.rowStyle.value(row), QStringLiteral("data"));
            QCOMPARE(cellText(saved, row, 4), QStringLiteral("due %1").arg(i + 1));
            QCOMPARE(cellText(saved, row, 3), QStringLiteral("project %1").arg(i + 1));
            QCOMPARE(cellText(saved, row, 5), QStringLiteral("notes %1").arg(i + 1));
            // Only an exact "V" is done.
            QCOMPARE(cellText(saved, row, 2), marks.at(i % marks.size()) == "V" ? QStringLiteral("a") : QString());
        }
        QCOMPARE(cellText(saved, 5, 3), QStringLiteral("Development project"));
    }

    void takenNamesAreNeverUsed()
    {
        ScriptedDialogs dialogs;
        RecordingHost host;
        QFile taken(scratchPath(QStringLiteral("vantyk11111111.xls")));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("someone's workbook");
        taken.close();
        QVERIFY(QFile::link(QStringLiteral("nowhere"), scratchPath(QStringLiteral("vantyk22222222.xls"))));
        int calls = 0;
        CreateTemplateWorkbook(host, [&] { return 1 + (calls++ / 8) % 9; });
        QCOMPARE(QFileInfo(host.workbookPath).fileName(), QStringLiteral("vantyk33333333.xls"));
        QCOMPARE(taken.size(), qint64(18));
        QCOMPARE(dialogs.boxes.size(), 0);
    }

    void randomNamesUseDigitsOneToNine()
    {
        QSet<QChar> seen;
        for (int i = 0; i < 400; ++i) {
            const QString name = scratchWorkbookName({});
            QVERIFY(QRegularExpression(QStringLiteral("^vantyk[1-9]{8}$")).match(name).hasMatch());
            for (QChar c : name.mid(6))
                seen.insert(c);
        }
        QCOMPARE(seen.size(), 9);
        QCOMPARE(scratchWorkbookName([] { return 7; }), QStringLiteral("vantyk77777777"));
    }

    void leftoverTemplateCopyIsUsedAndRemoved()
    {
        ScriptedDialogs dialogs;
        RecordingHost host;
        const QString copy = scratchPath(QStringLiteral("template.xlt"));
        QFile file(copy);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("left over");
        file.close();
        CreateTemplateWorkbook(host);
        QCOMPARE(dialogs.boxes.size(), 0);
        QVERIFY(!QFile::exists(copy));
    }

    void freshTemplateCopyHoldsTheEmbeddedBytes()
    {
        ScriptedDialogs dialogs;
        RecordingHost host;
        QByteArray written;
        world->failOn = QStringLiteral("Open(");
        // Look at the copy while the command runs: when the open fails the
        // copy is there with the embedded bytes.
        auto w = world;
        xl::setApplicationFactory([w, &written] {
            QFile copy(scratchPath(QStringLiteral("template.xlt")));
            if (copy.open(QIODevice::ReadOnly))
                written = copy.readAll();
            return makeFakeApplication(w);
        });
        CreateTemplateWorkbook(host);
        // The first instance is made before the copy; the second sees it.
        QCOMPARE(written, templateWorkbookBytes());
        QVERIFY(!QFile::exists(scratchPath(QStringLiteral("template.xlt"))));
        QVERIFY(!dialogs.errorTexts().isEmpty());
        QVERIFY(dialogs.errorTexts().first().contains(QStringLiteral("PushButton6_Click at line 108\r\r")));
    }

    void plantedTemplateIsNeverFilledNorFollowed()
    {
        ScriptedDialogs dialogs;
        RecordingHost host;
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("other.xlt"));
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("another user's file");
        file.close();
        const QString copy = scratchPath(QStringLiteral("template.xlt"));
        QVERIFY(QFile::link(target, copy));

        CreateTemplateWorkbook(host);
        QVERIFY(!world->log.contains(QStringLiteral("Open(ReadOnly)")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("another user's file"));
        const QStringList errors = dialogs.errorTexts();
        QVERIFY(errors.size() >= 2);
        QVERIFY(errors.at(0).contains(QStringLiteral("at line 106\r\r")));
        QVERIFY(errors.at(1).contains(QStringLiteral("at line 108\r\r")));
        // The link is not the user's copy, so it is not deleted either.
        QVERIFY(QFileInfo(copy).isSymLink());
        // The preview still opens.
        QVERIFY(host.calls.contains(QStringLiteral("show")));
    }

    void noSpreadsheetApplication()
    {
        ScriptedDialogs dialogs;
        RecordingHost host;
        host.entries = {{"a", "b", "c", "V"}, {"d", "e", "f", ""}};
        xl::setApplicationFactory([]() -> std::unique_ptr<xl::XlApplication> {
            throw Failure(QStringLiteral("LibreOffice Calc could not be started."));
        });
        CreateTemplateWorkbook(host);

        QList<int> steps;
        static const QRegularExpression line(QStringLiteral("Form1\\.PushButton6_Click at line (\\d+)\r\r"));
        for (const QString &text : dialogs.errorTexts()) {
            const auto match = line.match(text);
            QVERIFY2(match.hasMatch(), qPrintable(text));
            steps << match.captured(1).toInt();
        }
        QCOMPARE(steps.first(), 102);
        QVERIFY(dialogs.errorTexts().first().startsWith(QStringLiteral("LibreOffice Calc could not be started.\r\n")));
        for (int step : {108, 110, 114, 116, 118, 120, 122, 130, 132, 134, 136, 138, 142, 146, 148, 150, 152,
                         160, 162, 164, 166, 184, 186, 188, 190, 194, 198, 202, 204, 206, 210})
            QVERIFY2(steps.contains(step), qPrintable(QString::number(step)));
        // The entry loop ran for both entries: the copy steps once, the
        // writing steps twice.
        QCOMPARE(steps.count(130), 1);
        QCOMPARE(steps.count(146), 2);
        QVERIFY(std::is_sorted(steps.begin(), steps.begin() + steps.indexOf(146)));

        // The preview still opens, without a picture, and nothing is left.
        QCOMPARE(host.calls, (QStringList{"picture", "workbook", "show", "hide"}));
        QCOMPARE(host.pointer.last(), false);
        QVERIFY(QDir(scratchFolder()).entryList(QDir::Files).isEmpty());
    }

    void failingCallIsReportedWithItsStep()
    {
        ScriptedDialogs dialogs;
        RecordingHost host;
        host.entries = {{"a", "b", "c", "V"}};
        world->failOn = QStringLiteral("Cells(6,3).Value");
        CreateTemplateWorkbook(host);
        const QStringList errors = dialogs.errorTexts();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(QStringLiteral("at line 148\r\r")));
        // The command went on: the notes and the mark of the same entry.
        const FakeSheet saved = world->savedFiles.first();
        QCOMPARE(cellText(saved, 6, 5), QStringLiteral("c"));
        QCOMPARE(cellText(saved, 6, 2), QStringLiteral("a"));
        QCOMPARE(world->applicationsAlive, 0);
    }
};

QTEST_MAIN(TemplateFillingTest)
#include "TemplateFillingTest.moc"
