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
#include "TestFolders.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace quorbel;
using namespace quorbel::test;
using namespace Qt::Literals::StringLiterals;

namespace {

struct Entry {
    QString dueBy, project, notes, done;
};

class RecordingHost final : public TemplateHost {
public:
    explicit RecordingHost(Dialogs &dialogs) : m_dialogs(dialogs) {}

    QString name = QStringLiteral("Me");
    QDate date = QDate(2026, 12, 28);
    QString project = QStringLiteral("Development project");
    QList<Entry> entries;

    QStringList calls;
    QStringList stages;
    QList<bool> pointer;
    QString picturePath;
    bool pictureExisted = false;
    QImage picture;
    QString workbookPath;

    QString completedBy() override { return name; }
    QDate deadline() override { return date; }
    QString projectName() override { return project; }
    int entryCount() override { return int(entries.size()); }
    ListEntry entry(int p) override
    {
        const Entry &e = entries.at(p - 1);
        return ListEntry {e.dueBy, e.project, e.notes, e.done};
    }
    void setBusyPointer(bool busy) override { pointer.append(busy); }
    void progress(BuildStage stage, int done, int total) override
    {
        static const char *const names[] = {"starting", "filling", "saving", "picturing", "finished"};
        QString step = QLatin1String(names[int(stage)]);
        if (stage == BuildStage::Filling)
            step += QStringLiteral(" %1/%2").arg(done).arg(total);
        stages << step;
    }
    void loadPreviewPicture(const QString &path) override
    {
        calls << QStringLiteral("picture");
        picturePath = path;
        pictureExisted = QFile::exists(path);
        if (!picture.load(path))
            throw Failure(QStringLiteral("The picture %1 could not be loaded.").arg(path));
    }
    void showNoPreviewPicture() override { calls << QStringLiteral("no picture"); }
    void setPreviewWorkbook(const QString &path) override
    {
        calls << QStringLiteral("workbook");
        workbookPath = path;
    }
    void showPreview() override { calls << QStringLiteral("show"); }
    void hideMainWindow() override { calls << QStringLiteral("hide"); }
    Dialogs &dialogs() override { return m_dialogs; }

private:
    Dialogs &m_dialogs;
};

// Files this process writes stop at `bytes` while it lives, as on a full
// disk: the write that passes the limit is cut short and fails.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old {};
    sighandler_t m_oldHandler = nullptr;
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
    std::unique_ptr<FakeOffices> offices;

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
        offices = std::make_unique<FakeOffices>([w] { return makeFakeApplication(w); });
        test::emptyFolder(scratchFolder());
    }

    void cleanup() { offices.reset(); }

    void emptyListStillSavedPicturedAndPreviewed()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        CreateTemplateWorkbook(host, *offices);
        QCOMPARE(dialogs.boxes.size(), 0);

        QVERIFY(!world->log.join(u'\n').contains(QStringLiteral("Selection")));
        QCOMPARE(world->savedFiles.size(), 1);
        const FakeSheet saved = world->savedFiles.first();
        QCOMPARE(cellText(saved, 1, 7), QStringLiteral("Me"));
        QCOMPARE(cellText(saved, 2, 7), QStringLiteral("2026-12-28"));
        QCOMPARE(cellText(saved, 5, 3), QStringLiteral("Development project"));
        QCOMPARE(saved.rowStyle.value(6), QStringLiteral("data"));
        QCOMPARE(saved.lastRow(), 6);

        QCOMPARE(host.calls, (QStringList{u"picture"_s, u"workbook"_s, u"show"_s, u"hide"_s}));
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
        RecordingHost host(dialogs);
        const QStringList marks = {u"V"_s, u""_s, u"v"_s, u"x"_s, u"V "_s};
        for (int i = 0; i < count; ++i)
            host.entries.append({QStringLiteral("due %1").arg(i + 1), QStringLiteral("project %1").arg(i + 1),
                                 QStringLiteral("notes %1").arg(i + 1), marks.at(i % marks.size())});
        CreateTemplateWorkbook(host, *offices);
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
            QCOMPARE(cellText(saved, row, 2), marks.at(i % marks.size()) == QLatin1String("V") ? QStringLiteral("a") : QString());
        }
        QCOMPARE(cellText(saved, 5, 3), QStringLiteral("Development project"));

        // Each entry is reported as it is written, each stage once.
        QStringList stages {u"starting"_s};
        for (int i = 1; i <= count; ++i)
            stages << QStringLiteral("filling %1/%2").arg(i).arg(count);
        stages << u"saving"_s << u"picturing"_s << u"finished"_s;
        QCOMPARE(host.stages, stages);
    }

    void takenNamesAreNeverUsed()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        QFile taken(scratchPath(QStringLiteral("vantyk11111111.xls")));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("someone's workbook");
        taken.close();
        QVERIFY(QFile::link(QStringLiteral("nowhere"), scratchPath(QStringLiteral("vantyk22222222.xls"))));
        int calls = 0;
        CreateTemplateWorkbook(host, *offices, {}, [&] { return 1 + (calls++ / 8) % 9; });
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
        RecordingHost host(dialogs);
        const QString copy = scratchPath(QStringLiteral("template.xlt"));
        QFile file(copy);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("left over");
        file.close();
        CreateTemplateWorkbook(host, *offices);
        QCOMPARE(dialogs.boxes.size(), 0);
        QVERIFY(!QFile::exists(copy));
    }

    void freshTemplateCopyHoldsTheEmbeddedBytes()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        QByteArray written;
        // Look at the copy when the office opens it.
        world->onCall = [&written](const QString &line) {
            if (!line.startsWith(QStringLiteral("Open(ReadOnly)")))
                return;
            QFile copy(scratchPath(QStringLiteral("template.xlt")));
            if (copy.open(QIODevice::ReadOnly))
                written = copy.readAll();
        };
        CreateTemplateWorkbook(host, *offices);
        QCOMPARE(written, templateWorkbookBytes());
        QVERIFY(!QFile::exists(scratchPath(QStringLiteral("template.xlt"))));
        QVERIFY(dialogs.errorTexts().isEmpty());
    }

    // A template copy that cannot be opened: one report, nothing left.
    void unopenableTemplateCopy()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        host.entries = {{u"a"_s, u"b"_s, u"c"_s, u"V"_s}};
        world->failOn = QStringLiteral("Open(");
        CreateTemplateWorkbook(host, *offices);
        QCOMPARE(dialogs.errorTexts().size(), 1);
        QVERIFY(dialogs.errorTexts().first().contains(QStringLiteral("PushButton6_Click at line 108\r\r")));
        QVERIFY(host.calls.isEmpty());
        QVERIFY(QDir(scratchFolder()).entryList(QDir::Files).isEmpty());
        QCOMPARE(world->applicationsAlive, 0);
    }

    void plantedTemplateIsNeverFilledNorFollowed()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("other.xlt"));
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("another user's file");
        file.close();
        const QString copy = scratchPath(QStringLiteral("template.xlt"));
        QVERIFY(QFile::link(target, copy));

        CreateTemplateWorkbook(host, *offices);
        QVERIFY(!world->log.contains(QStringLiteral("Open(ReadOnly)")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("another user's file"));
        // Without a template copy nothing can be built: one report.
        const QStringList errors = dialogs.errorTexts();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.at(0).contains(QStringLiteral("at line 106\r\r")));
        // The link is not the user's copy, so it is not deleted either.
        QVERIFY(QFileInfo(copy).isSymLink());
        QVERIFY(host.calls.isEmpty());
        QCOMPARE(world->applicationsAlive, 0);
    }

    void noSpreadsheetApplication()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        host.entries = {{u"a"_s, u"b"_s, u"c"_s, u"V"_s}, {u"d"_s, u"e"_s, u"f"_s, u""_s}};
        offices->setFactory([]() -> std::unique_ptr<xl::XlApplication> {
            throw InstanceFailure(QStringLiteral("LibreOffice Calc could not be started."), InstanceLoss::NotStarted);
        });
        CreateTemplateWorkbook(host, *offices);

        // One box, for the start, and nothing after it.
        const QStringList errors = dialogs.errorTexts();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().startsWith(QStringLiteral("LibreOffice Calc could not be started.\r\n")));
        QVERIFY(errors.first().contains(QStringLiteral("Form1.PushButton6_Click at line 102\r\r")));
        // No preview; the main window stays, its pointer back to normal.
        QVERIFY(host.calls.isEmpty());
        QCOMPARE(host.pointer.last(), false);
        QVERIFY(QDir(scratchFolder()).entryList(QDir::Files).isEmpty());
    }

    // The instance lost at each spreadsheet step in turn. A hang or a failed
    // start is reported once; while filling and saving there is then no
    // preview, while picturing the saved workbook the preview opens without
    // a picture; an instance lost while closing after its work is done
    // costs nothing. A crash gets one more try and, when that works, shows
    // no box at all.
    void lostInstanceAtEveryStep_data()
    {
        QTest::addColumn<QString>("loseOn");
        QTest::addColumn<QList<int>>("occurrences");
        QTest::addColumn<int>("failingCreation");
        QTest::addColumn<int>("loss");
        QTest::addColumn<int>("reportedStep");   // 0: no box
        QTest::addColumn<QString>("preview");     // "" none, "picture", "no picture"

        const int hung = int(InstanceLoss::Hung);
        const int ended = int(InstanceLoss::Ended);
        const QList<int> first {1};
        struct Row {
            int step;
            const char *loseOn;
            int occurrence;
        };
        const QList<Row> filling = {
            {108, "Open(ReadOnly)", 1}, {110, "DisplayAlerts=0", 1}, {114, "Worksheets(1).Select", 1},
            {116, "Worksheets(1).Activate", 1}, {118, "Cells(1,7).Value", 1}, {120, "Cells(2,7).Value", 1},
            {122, "Cells(5,3).Value", 1}, {130, "Rows(6).Select", 1}, {132, "Selection.Copy", 1},
            {134, "Rows(7).Select", 1}, {136, "Selection.Insert", 1}, {138, "CutCopyMode=0", 1},
            {142, "Cells(6,1).Select", 1}, {146, "Cells(6,4).Value", 1}, {148, "Cells(6,3).Value", 1},
            {150, "Cells(6,5).Value", 1}, {152, "Cells(6,2).Value", 1}, {160, "Worksheets(1).Select", 2},
            {162, "Cells(1,2).Select", 1}, {164, "DisplayAlerts=1", 1}, {166, "Visible=0", 1},
            {184, "SaveAs(", 1},
        };
        QTest::newRow("102 not started") << QString() << first << 1 << int(InstanceLoss::NotStarted) << 102 << QString();
        for (const Row &row : filling) {
            QTest::addRow("%d hung", row.step) << QString::fromLatin1(row.loseOn) << QList<int>{row.occurrence} << 0
                                               << hung << row.step << QString();
        }
        QTest::newRow("186 hung after the save") << QStringLiteral("DisplayAlerts=0") << QList<int>{2} << 0 << hung << 0 << QStringLiteral("picture");
        QTest::newRow("188 hung after the save") << QStringLiteral("Close") << first << 0 << hung << 0 << QStringLiteral("picture");
        QTest::newRow("194 not started") << QString() << first << 2 << int(InstanceLoss::NotStarted) << 194
                                         << QStringLiteral("no picture");
        QTest::newRow("194 hung") << QStringLiteral("Open(ReadWrite)") << first << 0 << hung << 194 << QStringLiteral("no picture");
        QTest::newRow("198 hung") << QStringLiteral("Workbooks.count") << first << 0 << hung << 198 << QStringLiteral("no picture");
        QTest::newRow("200 hung, used range") << QStringLiteral("UsedRange") << first << 0 << hung << 200 << QStringLiteral("no picture");
        QTest::newRow("200 hung, picture") << QStringLiteral("UsedRange.Picture") << first << 0 << hung << 200 << QStringLiteral("no picture");
        QTest::newRow("202 hung after the picture") << QStringLiteral("DisplayAlerts=0") << QList<int>{3} << 0 << hung << 0 << QStringLiteral("picture");
        QTest::newRow("204 hung after the picture") << QStringLiteral("Close") << QList<int>{2} << 0 << hung << 0 << QStringLiteral("picture");

        // Crashes: the second try works.
        QTest::newRow("108 crash, tried again") << QStringLiteral("Open(ReadOnly)") << first << 0 << ended << 0 << QStringLiteral("picture");
        QTest::newRow("146 crash, tried again") << QStringLiteral("Cells(6,4).Value") << first << 0 << ended << 0 << QStringLiteral("picture");
        QTest::newRow("184 crash, tried again") << QStringLiteral("SaveAs(") << first << 0 << ended << 0 << QStringLiteral("picture");
        QTest::newRow("194 crash, picture tried again") << QStringLiteral("Open(ReadWrite)") << first << 0 << ended << 0 << QStringLiteral("picture");
        QTest::newRow("200 crash, picture tried again") << QStringLiteral("UsedRange.Picture") << first << 0 << ended << 0
                                                        << QStringLiteral("picture");
        // Crashes: the second try crashes too.
        QTest::newRow("146 crash twice") << QStringLiteral("Cells(6,4).Value") << QList<int>{1, 2} << 0 << ended << 146 << QString();
        QTest::newRow("184 crash twice") << QStringLiteral("SaveAs(") << QList<int>{1, 2} << 0 << ended << 184 << QString();
        QTest::newRow("200 crash twice") << QStringLiteral("UsedRange.Picture") << QList<int>{1, 2} << 0 << ended << 200
                                         << QStringLiteral("no picture");
    }

    void lostInstanceAtEveryStep()
    {
        QFETCH(QString, loseOn);
        QFETCH(QList<int>, occurrences);
        QFETCH(int, failingCreation);
        QFETCH(int, loss);
        QFETCH(int, reportedStep);
        QFETCH(QString, preview);

        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        host.entries = {{u"a"_s, u"b"_s, u"c"_s, u"V"_s}, {u"d"_s, u"e"_s, u"f"_s, u""_s}};
        world->loseOn = loseOn;
        world->loseOnOccurrences = occurrences;
        world->loss = InstanceLoss(loss);
        if (failingCreation)
            world->failingCreations = {failingCreation};
        CreateTemplateWorkbook(host, *offices);

        const QStringList errors = dialogs.errorTexts();
        if (reportedStep == 0) {
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u"\n---\n"_s)));
        } else {
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors.first().contains(QStringLiteral("Form1.PushButton6_Click at line %1\r\r").arg(reportedStep)),
                     qPrintable(errors.first()));
        }
        QCOMPARE(world->applicationsAlive, 0);
        QCOMPARE(host.pointer.last(), false);
        QVERIFY(!QFile::exists(scratchPath(QStringLiteral("template.xlt"))));
        QVERIFY(!QFile::exists(scratchPath(QStringLiteral("temp.bmp"))));

        const QStringList left = QDir(scratchFolder()).entryList(QDir::Files);
        if (preview.isEmpty()) {
            // The main window stays as it is: no hand-over at all.
            QVERIFY(host.calls.isEmpty());
            QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
            return;
        }
        QCOMPARE(host.calls, (QStringList{preview, u"workbook"_s, u"show"_s, u"hide"_s}));
        // The preview has the complete workbook, and it is the only file left.
        QCOMPARE(left, QStringList{QFileInfo(host.workbookPath).fileName()});
        QFile saved(host.workbookPath);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("fake workbook"));
        const FakeSheet sheet = world->savedFiles.value(host.workbookPath);
        QCOMPARE(cellText(sheet, 6, 4), QStringLiteral("a"));
        QCOMPARE(cellText(sheet, 7, 4), QStringLiteral("d"));
        if (preview == QLatin1String("picture"))
            QVERIFY(!host.picture.isNull());
    }

    // A failure already shown in the run that crashed is not shown again
    // by the second run.
    void secondTryShowsNoBoxTwice()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        host.entries = {{u"a"_s, u"b"_s, u"c"_s, u"V"_s}};
        world->failOn = QStringLiteral("Cells(5,3).Value");
        world->loseOn = QStringLiteral("Cells(6,4).Value");
        world->loss = InstanceLoss::Ended;
        CreateTemplateWorkbook(host, *offices);
        const QStringList errors = dialogs.errorTexts();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(QStringLiteral("at line 122\r\r")));
        QCOMPARE(host.calls, (QStringList{u"picture"_s, u"workbook"_s, u"show"_s, u"hide"_s}));
        QCOMPARE(world->applicationsCreated, 3);
        QCOMPARE(world->applicationsAlive, 0);
    }

    // A template copy that could not be written whole (a full disk) is not
    // left behind to be taken for a good one by the next build.
    void halfWrittenTemplateCopyIsRemoved()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        const QString copy = scratchPath(QStringLiteral("template.xlt"));
        {
            FileSizeLimit limit(1000);
            CreateTemplateWorkbook(host, *offices);
        }
        QCOMPARE(dialogs.errorTexts().size(), 1);
        QVERIFY(dialogs.errorTexts().first().contains(QStringLiteral("at line 106\r\r")));
        QVERIFY(host.calls.isEmpty());
        QVERIFY(!QFile::exists(copy));
        QVERIFY(QDir(scratchFolder()).entryList(QDir::Files).isEmpty());
        QCOMPARE(world->applicationsAlive, 0);

        // With room again, the next build works.
        dialogs.clear();
        RecordingHost again(dialogs);
        CreateTemplateWorkbook(again, *offices);
        QVERIFY(dialogs.errorTexts().isEmpty());
        QCOMPARE(again.calls, (QStringList{u"picture"_s, u"workbook"_s, u"show"_s, u"hide"_s}));
        QVERIFY(!QFile::exists(copy));
    }

    void failingCallIsReportedWithItsStep()
    {
        ScriptedDialogs dialogs;
        RecordingHost host(dialogs);
        host.entries = {{u"a"_s, u"b"_s, u"c"_s, u"V"_s}};
        world->failOn = QStringLiteral("Cells(6,3).Value");
        CreateTemplateWorkbook(host, *offices);
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
