// "Start Creating Template" end to end, against the real office: the main
// window's handlers driven as a user would, the preview window, the saved
// workbook read back in a fresh office instance and by an independent reader.

#include "Controls.h"
#include "EntryList.h"
#include "Form1.h"
#include "Form2.h"
#include "OfficeTestSupport.h"
#include "PictureBox.h"
#include "ProcStat.h"
#include "Program.h"
#include "ScratchFolder.h"
#include "ScriptedDialogs.h"
#include "SpareOffice.h"
#include "Spreadsheet.h"
#include "TemplateWorkbook.h"
#include "TestFolders.h"
#include "TestHome.h"
#include "editor_test_support.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <atomic>
#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#include <mutex>
#include <thread>
#include <optional>

using namespace quorbel;
using namespace Qt::Literals::StringLiterals;
using namespace quorbel::test;
using quorbel::test::makeCurrent;
using quorbel::test::ui;

namespace {

// The cells of a saved workbook as a fresh office instance reads them.
struct ReadBack {
    QMap<QString, xl::CellValue> cells; // "B6" -> value
    int lastRow = 0;
    int lastColumn = 0;
};

ReadBack readWorkbook(const QString &path, int rows)
{
    ReadBack result;
    Offices offices(Options::fromEnvironment().withoutOfficesAhead());
    auto excel = offices.createApplication();
    auto book = excel->Workbooks()->Open(path, true);
    for (int row = 1; row <= rows; ++row) {
        for (int column = 1; column <= 7; ++column) {
            const QString name = QString(QChar('A' + column - 1)) + QString::number(row);
            result.cells[name] = excel->Cells(row, column)->Value();
        }
    }
    auto used = book->ActiveSheet()->UsedRange();
    auto usedRows = used->Rows();
    result.lastRow = usedRows->Item(usedRows->count())->Row();
    auto usedColumns = used->Columns();
    result.lastColumn = usedColumns->Item(usedColumns->count())->Column();
    book->Close();
    excel->Quit();
    return result;
}

QString text(const xl::CellValue &value)
{
    if (const auto *t = std::get_if<QString>(&value))
        return *t;
    return valueText(value);
}

// Waits, without running the event loop, until process `pid` has ended
// (it stays a zombie until its parent reaps it).
bool waitForEndWithoutEvents(qint64 pid, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        const auto stat = readProcStat(pid);
        if (!stat || stat->zombie())
            return true;
        QThread::msleep(5);
    }
    return false;
}

bool isEmptyCell(const xl::CellValue &value)
{
    if (std::holds_alternative<std::monostate>(value))
        return true;
    const auto *t = std::get_if<QString>(&value);
    return t && t->isEmpty();
}

// Sends `signal`, from a thread of its own, to the office `pid` once the
// build has written its template copy: the office has been taken by the
// command and is about to be given the work.
class OfficeSignaller {
public:
    OfficeSignaller(qint64 pid, int signal) : m_pid(pid), m_signal(signal), m_thread([this] { run(); }) {}
    ~OfficeSignaller() { stop(); }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool signalled() const { return m_signalled; }

private:
    void run()
    {
        const QString copy = scratchPath(QStringLiteral("template.xlt"));
        while (!m_stop && !m_signalled) {
            if (QFile::exists(copy)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                m_signalled = ::kill(pid_t(m_pid), m_signal) == 0;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    const qint64 m_pid;
    const int m_signal;
    std::atomic<bool> m_stop {false};
    std::atomic<bool> m_signalled {false};
    std::thread m_thread;
};

} // namespace

class TestTemplateCommand : public QObject {
    Q_OBJECT

    WindowFixture m_fixture;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QTemporaryDir m_saveFolder;

    void addEntry(Form1 &main, const QString &dueBy, const QString &project, const QString &notes, bool done)
    {
        ui(main).txtDate->setText(dueBy);
        ui(main).txtProj->setText(project);
        ui(main).txtNotes->setText(notes);
        ui(main).Check1->setChecked(done);
        QTest::mouseClick(ui(main).PushButton1, Qt::LeftButton);
    }

    // Clicks "Start Creating Template" and checks the hand-over.
    Form2 &build(Program &program)
    {
        Form1 &main = program.mainWindow();
        QTest::mouseClick(ui(main).PushButton6, Qt::LeftButton);
        Form2 &preview = program.previewWindow();
        return preview;
    }

    void checkNothingLeftBehind()
    {
        QVERIFY2(officeChildren().isEmpty(), "an office is still running");
        const QStringList left = QDir(scratchFolder()).entryList(QDir::Files);
        QVERIFY2(!left.contains(QStringLiteral("template.xlt")), qPrintable(left.join(u' ')));
        QVERIFY2(!left.contains(QStringLiteral("temp.bmp")), qPrintable(left.join(u' ')));
    }

private slots:
    void init()
    {
        clearStore();
        test::emptyFolder(scratchFolder());
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_fixture.dialogs = m_dialogs.get();
        m_fixture.programEnds = 0;
    }

    void cleanup()
    {
        m_fixture.dialogs = nullptr;
        m_dialogs.reset();
        QVERIFY(officeChildren().isEmpty());
    }

    void sampleListToSavedWorkbook()
    {
        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        // The review entry is added first with a typo, mended in place, and
        // moved below the sample's two: the workbook holds the list's order
        // and the edited text.
        addEntry(main, QStringLiteral("after the review"), QStringLiteral("Review"), QStringLiteral("=1+2"), false);
        QTest::mouseClick(ui(main).PushButton7, Qt::LeftButton); // sample data
        main.ListView1_AfterLabelEdit(0, EntryField::Notes, QStringLiteral("=1+1"));
        makeCurrent(main, 0);
        ui(main).mnuMoveDown->trigger();
        ui(main).mnuMoveDown->trigger();
        QCOMPARE(ui(main).ListView1->model()->rowCount(), 3);
        QCOMPARE(main.entry(2), (ListEntry{u"after the review"_s, u"Review"_s, u"=1+1"_s, QString()}));

        Form2 &preview = build(program);
        QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(preview.isVisible());
        QVERIFY(!main.isVisible());
        QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
        QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->pictureSize().width() > 600);
        QVERIFY(main.cursor().shape() != Qt::WaitCursor);
        const QString scratch = preview.mExcelFile;
        QVERIFY(QRegularExpression(QStringLiteral("/vantyk[1-9]{8}\\.xls$")).match(scratch).hasMatch());
        QVERIFY(QFile::exists(scratch));
        checkNothingLeftBehind();

        // Save through the preview under a chosen name.
        const QString saved = m_saveFolder.filePath(QStringLiteral("my list.xls"));
        m_dialogs->setNextFileName(saved);
        QTest::mouseClick(control<QPushButton>(preview, "PushButton6"), Qt::LeftButton);
        QCOMPARE(m_dialogs->boxes.last().text, QStringLiteral("Done."));
        QVERIFY(QFile::exists(saved));

        // A fresh office reads it back.
        const ReadBack back = readWorkbook(saved, 9);
        QCOMPARE(text(back.cells[u"G1"_s]), QStringLiteral("Me"));
        QCOMPARE(back.cells[u"G2"_s], xl::CellValue(QDate(2026, 3, 31)));
        QCOMPARE(text(back.cells[u"C5"_s]), QStringLiteral("Development project"));
        QCOMPARE(text(back.cells[u"B6"_s]), QStringLiteral("a"));
        QCOMPARE(text(back.cells[u"C6"_s]), QStringLiteral("Research"));
        QCOMPARE(back.cells[u"D6"_s], xl::CellValue(QDate(2026, 3, 7)));
        QCOMPARE(text(back.cells[u"E6"_s]), QStringLiteral("Completed in Time"));
        QVERIFY(isEmptyCell(back.cells[u"B7"_s]));
        QCOMPARE(text(back.cells[u"C7"_s]), QStringLiteral("Draft presenatation"));
        QCOMPARE(back.cells[u"D7"_s], xl::CellValue(QDate(2026, 3, 20)));
        QCOMPARE(text(back.cells[u"E7"_s]), QStringLiteral("In process"));
        QVERIFY(isEmptyCell(back.cells[u"B8"_s]));
        QCOMPARE(text(back.cells[u"C8"_s]), QStringLiteral("Review"));
        QCOMPARE(text(back.cells[u"D8"_s]), QStringLiteral("after the review"));
        QCOMPARE(text(back.cells[u"E8"_s]), QStringLiteral("=1+1"));
        for (const char *cell : {"B9", "C9", "D9", "E9"})
            QVERIFY2(isEmptyCell(back.cells[QLatin1String(cell)]), cell);
        QCOMPARE(back.lastRow, 8);
        QCOMPARE(back.lastColumn, 7);

        // An independent reader: merges, styles of the made rows, nothing below.
        const QJsonObject facts = xlsFacts(saved);
        QVERIFY(!facts.isEmpty());
        QStringList merged;
        for (const auto &m : facts[u"merged"_s].toArray())
            merged << m.toString();
        for (const char *area : {"E6:G6", "E7:G7", "E8:G8", "B1:C1"})
            QVERIFY2(merged.contains(QLatin1String(area)), qPrintable(merged.join(u' ')));
        QCOMPARE(facts[u"rows"_s].toInt(), 8);
        QCOMPARE(facts[u"active"_s].toString(), QStringLiteral("B1"));
        const QJsonObject cells = facts[u"cells"_s].toObject();
        for (const char *cell : {"B6", "B7", "B8"}) {
            QCOMPARE(cells[QLatin1String(cell)].toObject()[u"font"_s].toString(), QStringLiteral("Marlett"));
            QCOMPARE(cells[QLatin1String(cell)].toObject()[u"borders"_s].toArray(), (QJsonArray{1, 1, 1, 1}));
        }
        QCOMPARE(cells[u"E8"_s][u"type"_s].toString(), QStringLiteral("text"));
        QCOMPARE(cells[u"D7"_s][u"type"_s].toString(), QStringLiteral("date"));

        // Closing the preview removes the scratch workbook and ends the program.
        QVERIFY(preview.close());
        QVERIFY(!QFile::exists(scratch));
        QVERIFY(QFile::exists(saved));
        QCOMPARE(m_fixture.programEnds, 1);
        checkNothingLeftBehind();
    }

    void emptyListAndOneEntry()
    {
        for (int entries : {0, 1}) {
            clearStore();
            Program program(m_fixture.services());
            Form1 &main = program.mainWindow();
            program.showMainWindow();
            ui(main).txtName->setText(QStringLiteral("Ann"));
            ui(main).txtProName->setText(QString());
            if (entries == 1)
                addEntry(main, QStringLiteral("soon"), QStringLiteral("Only"), QStringLiteral("one"), true);
            Form2 &preview = build(program);
            QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
            QVERIFY(preview.isVisible());
            QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
            checkNothingLeftBehind();

            const ReadBack back = readWorkbook(preview.mExcelFile, 7);
            QCOMPARE(text(back.cells[u"G1"_s]), QStringLiteral("Ann"));
            QVERIFY(isEmptyCell(back.cells[u"C5"_s])); // an empty project name empties the header
            QCOMPARE(back.lastRow, 6);
            QCOMPARE(back.lastColumn, 7);
            if (entries == 1) {
                QCOMPARE(text(back.cells[u"B6"_s]), QStringLiteral("a"));
                QCOMPARE(text(back.cells[u"C6"_s]), QStringLiteral("Only"));
            } else {
                QVERIFY(isEmptyCell(back.cells[u"C6"_s]));
            }
            const QJsonObject facts = xlsFacts(preview.mExcelFile);
            QCOMPARE(facts[u"rows"_s].toInt(), 6);
            QCOMPARE(facts[u"cells"_s][u"B6"_s][u"borders"_s].toArray(), (QJsonArray{1, 1, 1, 1}));

            // Back to the list: the scratch workbook goes, the main window returns.
            const QString scratch = preview.mExcelFile;
            QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
            QVERIFY(!QFile::exists(scratch));
            QVERIFY(main.isVisible());
            QVERIFY(!preview.isVisible());
        }
    }

    // A build leaves the clipboard as the user had it: what was copied
    // before "Start Creating Template" is still there afterwards, the same
    // object, never replaced or cleared on the way.
    void clipboardLeftAsItWas_data()
    {
        QTest::addColumn<bool>("image");
        QTest::newRow("a text") << false;
        QTest::newRow("an image") << true;
    }
    void clipboardLeftAsItWas()
    {
        QFETCH(bool, image);
        QClipboard *clipboard = QGuiApplication::clipboard();
        QImage copied(9, 4, QImage::Format_RGB32);
        copied.fill(qRgb(0x12, 0x34, 0x56));
        const QString words = QStringLiteral("copied before the build");
        if (image)
            clipboard->setImage(copied);
        else
            clipboard->setText(words);
        const QMimeData *before = clipboard->mimeData();
        QVERIFY(before);
        QSignalSpy changes(clipboard, &QClipboard::dataChanged);

        Program program(m_fixture.services());
        program.showMainWindow();
        addEntry(program.mainWindow(), QStringLiteral("soon"), QStringLiteral("Clipboard"), QStringLiteral("kept"), false);
        Form2 &preview = build(program);
        QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(preview.isVisible());
        QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());

        QCOMPARE(changes.count(), 0);
        QCOMPARE(clipboard->mimeData(), before);
        if (image) {
            QCOMPARE(clipboard->image().convertToFormat(QImage::Format_RGB32), copied);
        } else {
            QCOMPARE(clipboard->text(), words);
            QVERIFY(!clipboard->mimeData()->hasImage());
        }
        QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
    }

    // The sample's due dates are written as this locale's short dates; they
    // must land as the same calendar dates whatever the locale (the test runs
    // under en_US, de_DE and C).
    void dueDatesInTheProgramsLocale()
    {
        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        QTest::mouseClick(ui(main).PushButton7, Qt::LeftButton);
        Form2 &preview = build(program);
        QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        const ReadBack back = readWorkbook(preview.mExcelFile, 7);
        QCOMPARE(back.cells[u"D6"_s], xl::CellValue(QDate(2026, 3, 7)));
        QCOMPARE(back.cells[u"D7"_s], xl::CellValue(QDate(2026, 3, 20)));
        QCOMPARE(back.cells[u"G2"_s], xl::CellValue(main.deadline()));
        QCOMPARE(main.deadline(), QDate(2026, 3, 31));
        QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
    }

    // Two offices (one for each half of a build) are kept started and warm
    // while the main window shows: the command takes both, none runs while
    // the preview shows, "< Back" starts them again, and none outlives the
    // program. A warmed office is handed out with no workbook open, and its
    // warm-up left no files behind.
    void officesKeptAheadOfNeed()
    {
        QSet<qint64> started;
        {
            Program program(m_fixture.services());
            Form1 &main = program.mainWindow();
            SpareOffice &spare = program.spareOffice();
            QVERIFY(!spare.hasOffice()); // nothing before the window shows
            program.showMainWindow();
            QVERIFY(spare.hasOffice());
            QTRY_VERIFY_WITH_TIMEOUT(spare.ready(), 60000);
            const QList<qint64> kept = spare.processIds();
            QCOMPARE(kept.size(), SpareOffice::kKept);
            QCOMPARE(officeChildren(), QSet<qint64>(kept.begin(), kept.end()));
            QCOMPARE(spare.starts(), SpareOffice::kKept);
            QCOMPARE(spare.warmed(), SpareOffice::kKept);
            for (const qint64 pid : kept) {
                const QString folder = instanceFolderOf(pid);
                QVERIFY2(!folder.isEmpty(), "the office names no profile folder");
                QVERIFY2(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("warm-up"))), qPrintable(folder));
            }
            started += QSet<qint64>(kept.begin(), kept.end());

            addEntry(main, QStringLiteral("soon"), QStringLiteral("Kept"), QStringLiteral("ahead"), false);
            Form2 &preview = build(program);
            QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
            QVERIFY(preview.isVisible());
            QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
            // The waiting office was taken and nothing was started while
            // the command ran or the preview shows.
            QCOMPARE(spare.starts(), SpareOffice::kKept);
            QVERIFY(!spare.hasOffice());
            QVERIFY(officeChildren().isEmpty());
            for (const qint64 pid : kept)
                QVERIFY(!processExists(pid));

            QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
            QVERIFY(main.isVisible());
            QVERIFY(spare.hasOffice());
            QTRY_VERIFY_WITH_TIMEOUT(spare.ready(), 60000);
            const QList<qint64> again = spare.processIds();
            for (const qint64 pid : again)
                QVERIFY(!kept.contains(pid));
            started += QSet<qint64>(again.begin(), again.end());
            QCOMPARE(officeChildren(), QSet<qint64>(again.begin(), again.end()));

            // What the command gets: a warm office with nothing open.
            auto taken = program.offices().createApplication();
            QCOMPARE(taken->Workbooks()->count(), 0);
            taken->Quit();
            QVERIFY(!processExists(again.front()));
        }
        QVERIFY(officeChildren().isEmpty());
        for (const qint64 pid : std::as_const(started))
            QVERIFY(!processExists(pid));
    }

    // A click before the office kept ahead is ready, and one after: the
    // office that filled the sheet pictures the saved workbook too, instead
    // of one started while the user waits, with the same result.
    void clickBeforeTheOfficesAreReady()
    {
        struct CountingOffices final : Offices {
            using Offices::Offices;
            std::unique_ptr<xl::XlApplication> createApplication() override
            {
                ++made;
                return Offices::createApplication();
            }
            int made = 0;
        };
        auto owned = std::make_unique<CountingOffices>(Options::fromEnvironment());
        CountingOffices &offices = *owned;
        Program program(m_fixture.services(), std::move(owned));
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        QVERIFY(!program.spareOffice().hasReadyOffice());
        addEntry(main, QStringLiteral("soon"), QStringLiteral("Early"), QStringLiteral("click"), true);
        Form2 &preview = build(program);
        QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
        QCOMPARE(offices.made, 1);
        const ReadBack back = readWorkbook(preview.mExcelFile, 6);
        QCOMPARE(text(back.cells[u"C6"_s]), QStringLiteral("Early"));
        QCOMPARE(text(back.cells[u"B6"_s]), QStringLiteral("a"));
        checkNothingLeftBehind();

        QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(program.spareOffice().ready(), 60000);
        build(program);
        QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QCOMPARE(offices.made, 2);
        checkNothingLeftBehind();
    }

    // An office taken part way through its warm-up is handed out with
    // nothing open and the round's files deleted, and does the work.
    void officeTakenWhileWarming()
    {
        Program program(m_fixture.services());
        SpareOffice &spare = program.spareOffice();
        program.showMainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(spare.warmingUp(), 60000);
        // A step or two in (a step a turn of the event loop): a workbook of
        // the round is open.
        QTest::qWait(10);
        QTest::qWait(10);
        QVERIFY(spare.warmingUp());
        const qint64 pid = spare.processId();
        const QString folder = instanceFolderOf(pid);
        QVERIFY(!folder.isEmpty());
        auto taken = program.offices().createApplication();
        QVERIFY(processExists(pid));
        QCOMPARE(taken->Workbooks()->count(), 0);
        QVERIFY2(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("warm-up"))), qPrintable(folder));
        QTemporaryDir scratch;
        const QString copy = scratch.filePath(QStringLiteral("template.xlt"));
        {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(templateWorkbookBytes());
        }
        auto workbook = taken->Workbooks()->Open(copy, true);
        taken->Cells(6, 3)->setValue(QStringLiteral("taken warm"));
        const QString saved = scratch.filePath(QStringLiteral("taken.xls"));
        workbook->SaveAs(saved, xl::xlExcel8);
        workbook->Close();
        taken->Quit();
        QVERIFY(!processExists(pid));
        QCOMPARE(text(readWorkbook(saved, 6).cells[u"C6"_s]), QStringLiteral("taken warm"));
    }

    // An office that is killed or stopped while it warms up is replaced
    // without a word, and the next build runs as ever.
    void officeLostWhileWarming_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("killed") << int(SIGKILL);
        QTest::newRow("stopped") << int(SIGSTOP);
    }

    void officeLostWhileWarming()
    {
        QFETCH(int, signal);
        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        SpareOffice &spare = program.spareOffice();
        program.showMainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(spare.warmingUp(), 60000);
        const qint64 lost = spare.processId();
        QVERIFY(::kill(pid_t(lost), signal) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(spare.ready(), 60000);
        QVERIFY(!spare.processIds().contains(lost));
        QVERIFY(!officeChildren().contains(lost));
        QVERIFY(spare.starts() >= SpareOffice::kKept + 1);
        QVERIFY2(m_dialogs->boxes.isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));

        addEntry(main, QStringLiteral("soon"), QStringLiteral("After"), QStringLiteral("a warm-up lost"), false);
        Form2 &preview = build(program);
        QVERIFY2(m_dialogs->boxes.isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
        const ReadBack back = readWorkbook(preview.mExcelFile, 6);
        QCOMPARE(text(back.cells[u"C6"_s]), QStringLiteral("After"));
        QVERIFY(officeChildren().isEmpty());
    }

    // A waiting office that is killed is replaced without a word, both when
    // the event loop notices it first and when the command finds it dead.
    void killedSpareIsReplaced_data()
    {
        QTest::addColumn<bool>("noticedWhileWaiting");
        QTest::newRow("noticed while waiting") << true;
        QTest::newRow("found dead by the command") << false;
    }

    void killedSpareIsReplaced()
    {
        QFETCH(bool, noticedWhileWaiting);
        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        SpareOffice &spare = program.spareOffice();
        program.showMainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(spare.ready(), 60000);
        const qint64 killed = spare.processId();
        QVERIFY(::kill(pid_t(killed), SIGKILL) == 0);
        if (noticedWhileWaiting) {
            QTRY_VERIFY_WITH_TIMEOUT(spare.processId() != killed && spare.processId() != 0, 20000);
            QTRY_VERIFY_WITH_TIMEOUT(spare.ready(), 60000);
            QVERIFY(!officeChildren().contains(killed));
        } else {
            // Dead by the time the command asks for it, before the event
            // loop has seen its end.
            QVERIFY(waitForEndWithoutEvents(killed, 10000));
            QCOMPARE(spare.processId(), killed);
        }
        addEntry(main, QStringLiteral("soon"), QStringLiteral("After"), QStringLiteral("a kill"), true);
        Form2 &preview = build(program);
        QVERIFY2(m_dialogs->boxes.isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(preview.isVisible());
        QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
        const ReadBack back = readWorkbook(preview.mExcelFile, 6);
        QCOMPARE(text(back.cells[u"C6"_s]), QStringLiteral("After"));
        QVERIFY(officeChildren().isEmpty());
    }

    // QUORBEL_SPARE_OFFICE=0: no office is started before the command needs
    // one, and the command still works.
    void spareOfficeTurnedOff()
    {
        qputenv("QUORBEL_SPARE_OFFICE", "0");
        {
            Program program(m_fixture.services());
            program.showMainWindow();
            QTest::qWait(300);
            QVERIFY(!program.spareOffice().hasOffice());
            QCOMPARE(program.spareOffice().starts(), 0);
            QVERIFY(officeChildren().isEmpty());
            Form2 &preview = build(program);
            QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
            QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
            QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
            QTest::qWait(300);
            QVERIFY(officeChildren().isEmpty());
            QCOMPARE(program.spareOffice().starts(), 0);
        }
        qunsetenv("QUORBEL_SPARE_OFFICE");
    }

    // The availability check's office becomes the first spare; a failed
    // check leaves none.
    void availabilityCheckKeepsItsOffice()
    {
        Form1::Services services = m_fixture.services();
        services.isInstalled = {}; // the real check
        {
            Program program(services);
            QVERIFY(program.mainWindow().startUpCompleted());
            QVERIFY(program.spareOffice().hasOffice());
            const QSet<qint64> running = officeChildren();
            QCOMPARE(running, QSet<qint64>{program.spareOffice().processId()});
            program.showMainWindow();
            // No second start for the first: the check's office is kept (the
            // second is launched once it is warm).
            QCOMPARE(officeChildren(), running);
            QCOMPARE(program.spareOffice().processId(), *running.begin());
        }
        QVERIFY(officeChildren().isEmpty());

        const QByteArray saved = qgetenv("QUORBEL_SOFFICE");
        QTemporaryDir empty;
        qputenv("QUORBEL_SOFFICE", empty.filePath(QStringLiteral("soffice.bin")).toUtf8());
        {
            Program program(services);
            QVERIFY(!program.mainWindow().startUpCompleted());
            QCOMPARE(m_dialogs->boxes.size(), 1);
            QVERIFY(!program.spareOffice().hasOffice());
            QVERIFY(officeChildren().isEmpty());
        }
        if (saved.isNull())
            qunsetenv("QUORBEL_SOFFICE");
        else
            qputenv("QUORBEL_SOFFICE", saved);
    }

    // With no office: one box, for the start; the main window stays with
    // its list, no preview opens, and nothing hangs or is left.
    void withoutAnOffice()
    {
        QTemporaryDir empty;
        ScopedEnvironment environment;
        environment.set("QUORBEL_SOFFICE", empty.filePath(QStringLiteral("soffice.bin")).toUtf8());
        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        addEntry(main, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), false);
        build(program);
        checkOneReportAndTheListKept(program, 102);
    }

    // Every start fails after the program has started (the office broke
    // meanwhile): one box.
    void everyStartFails()
    {
        QTemporaryDir folder;
        const QString script = folder.filePath(QStringLiteral("soffice.bin"));
        QVERIFY(writeScript(script, "#!/bin/sh\nexit 1\n"));
        ScopedEnvironment environment;
        environment.set("QUORBEL_SOFFICE", script.toUtf8());
        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        for (int i = 0; i < 10; ++i)
            addEntry(main, QStringLiteral("1"), QStringLiteral("p%1").arg(i), QStringLiteral("n"), i % 2);
        build(program);
        checkOneReportAndTheListKept(program, 102);
        QCOMPARE(main.entryCount(), 10);
    }

    // The office killed a moment into a build of 300 entries: the build
    // runs once more in fresh offices and the user sees only the result.
    void officeKilledDuringALongBuild()
    {
        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        for (int i = 1; i <= 300; ++i)
            addEntry(main, QStringLiteral("3/%1/2026").arg(1 + i % 28), QStringLiteral("project %1").arg(i),
                     QStringLiteral("notes %1").arg(i), i % 3 == 0);

        // The office kept ready is the one the command takes first.
        QTRY_VERIFY_WITH_TIMEOUT(program.spareOffice().ready(), 60000);
        const qint64 first = program.spareOffice().processId();
        OfficeSignaller killer(first, SIGKILL);
        Form2 &preview = build(program);
        killer.stop();
        QVERIFY2(killer.signalled(), "the office was not killed");
        QVERIFY(!processExists(first));

        QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(preview.isVisible());
        QVERIFY(!main.isVisible());
        QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
        QVERIFY(!preview.noPictureNote());
        checkNothingLeftBehind();

        const ReadBack back = readWorkbook(preview.mExcelFile, 306);
        QCOMPARE(back.lastRow, 305);
        QCOMPARE(text(back.cells[u"C6"_s]), QStringLiteral("project 1"));
        QCOMPARE(text(back.cells[u"C305"_s]), QStringLiteral("project 300"));
        QCOMPARE(text(back.cells[u"E305"_s]), QStringLiteral("notes 300"));
        QCOMPARE(text(back.cells[u"B305"_s]), QStringLiteral("a"));
        QVERIFY(isEmptyCell(back.cells[u"B304"_s]));
        QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
        QVERIFY(QDir(scratchFolder()).entryList(QDir::Files).isEmpty());
    }

    // TEMP names a folder that everyone may write to (sticky, as /tmp), in
    // which another user has left temp.bmp and template.xlt as links to a
    // file of this user's: the build works in a private folder of its own
    // there, the linked file stays as it was, the picture is this build's,
    // every scratch file is the user's alone, and "< Back" leaves nothing.
    void sharedTempFolder()
    {
        QTemporaryDir base;
        const QString shared = base.filePath(u"shared"_s);
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        const QString mine = m_saveFolder.filePath(u"mine.txt"_s);
        const QByteArray mineBytes("a file of the user's own");
        {
            QFile file(mine);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(mineBytes);
        }
        const QStringList planted {u"temp.bmp"_s, u"template.xlt"_s};
        for (const QString &name : planted) {
            const QByteArray link = QFile::encodeName(QDir(shared).filePath(name));
            QVERIFY(::symlink(QFile::encodeName(mine).constData(), link.constData()) == 0);
            ::lchown(link.constData(), 65534, 65534); // another user's, where the test may say so
        }
        ScopedEnvironment environment;
        environment.set("TEMP", QFile::encodeName(shared));

        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        addEntry(main, u"soon"_s, u"Private"_s, u"for my eyes only"_s, false);
        Form2 &preview = build(program);
        QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(preview.isVisible());
        QVERIFY(control<PictureBox>(preview, "Zoom_Ori")->hasPicture());
        QVERIFY(!preview.noPictureNote());

        // The workbook lies in a private folder inside the shared one.
        const QFileInfo workbook(preview.mExcelFile);
        const QString privateFolder = workbook.absolutePath();
        QCOMPARE(QFileInfo(privateFolder).absolutePath(), QFileInfo(shared).absoluteFilePath());
        QVERIFY(QFileInfo(privateFolder).fileName().startsWith(u"quorbel-"_s));
        struct stat info {};
        QVERIFY(::lstat(QFile::encodeName(privateFolder).constData(), &info) == 0);
        QVERIFY(S_ISDIR(info.st_mode) && info.st_uid == ::geteuid());
        QCOMPARE(info.st_mode & 07777, mode_t(0700));
        // Every scratch file the build made and left is the user's alone.
        const QFileInfoList made = QDir(privateFolder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        QCOMPARE(made.size(), 1);
        QCOMPARE(made.first().fileName(), workbook.fileName());
        QVERIFY(::lstat(QFile::encodeName(workbook.filePath()).constData(), &info) == 0);
        QVERIFY(S_ISREG(info.st_mode));
        QCOMPARE(info.st_mode & 077, mode_t(0));

        // The linked file is untouched; the links are as they were left.
        QFile file(mine);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), mineBytes);
        for (const QString &name : planted)
            QCOMPARE(QFileInfo(QDir(shared).filePath(name)).symLinkTarget(), QFileInfo(mine).absoluteFilePath());

        // Back to the list: the workbook and its private folder go.
        QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(privateFolder));
        QCOMPARE(QDir(shared).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), planted);
    }

    // The office stops answering during a build: after the call limit one
    // box, and no second try (the user has waited long enough).
    void officeStoppedDuringABuild()
    {
        ScopedEnvironment environment;
        environment.set("QUORBEL_CALL_TIMEOUT_MS", "4000");
        Program program(m_fixture.services());
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        for (int i = 1; i <= 300; ++i)
            addEntry(main, QStringLiteral("3/1/2026"), QStringLiteral("project %1").arg(i), QString(), false);

        QTRY_VERIFY_WITH_TIMEOUT(program.spareOffice().ready(), 60000);
        const qint64 first = program.spareOffice().processId();
        OfficeSignaller stopper(first, SIGSTOP);
        build(program);
        stopper.stop();
        QVERIFY(stopper.signalled());
        // Ended after the limit; no second try (the preview would show).
        QVERIFY(!processExists(first));
        const QStringList errors = m_dialogs->errorTexts();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("did not answer within 4 seconds")), qPrintable(errors.first()));
        checkOneReportAndTheListKept(program, 0);
        QCOMPARE(main.entryCount(), 300);
    }

    // A long build shows its progress over the main window, and "Cancel"
    // (pressed, or Escape) stops it within a second, in the fill (also
    // while the office writes a batch of 4,096 held entries) or in the
    // picture (between the pages of a long sheet): no box, no scratch file,
    // no office but those kept ahead of need, the main window as it was.
    // A click on "Start Creating Template" while the window shows reaches
    // nothing.
    void cancelALongBuild_data()
    {
        QTest::addColumn<QString>("stage");  // what the window says when "Cancel" is pressed
        QTest::addColumn<int>("afterMs");    // how long it has said so by then
        QTest::addColumn<bool>("escape");
        QTest::newRow("filling, Escape") << u"Filling entry"_s << 0 << true;
        // The first 4,096 entries go to the office in one batch.
        QTest::newRow("filling a batch, Cancel") << u"Filling entry"_s << 150 << false;
        // Well into the picture of the long sheet.
        QTest::newRow("picture, Cancel") << u"Making the picture of the sheet"_s << 150 << false;
    }

    void cancelALongBuild()
    {
        QFETCH(QString, stage);
        QFETCH(int, afterMs);
        QFETCH(bool, escape);
        constexpr int entries = 5000;
        // Numbers as the user's locale writes them.
        const QLocale before = QLocale();
        const QLocale locale(QLocale::German, QLocale::Germany);
        QLocale::setDefault(locale);
        const auto restoreLocale = qScopeGuard([&] { QLocale::setDefault(before); });
        QList<ListEntry> list;
        for (int i = 1; i <= entries; ++i)
            list.append({u"3/%1/2026"_s.arg(1 + i % 28), u"project %1"_s.arg(i), u"notes %1"_s.arg(i),
                         i % 3 ? u""_s : u"V"_s});
        storeValue(u"ToDo"_s, encodeEntryList(list));

        Program program(m_fixture.services());
        // Shown at once, and drawn often: the program's own part of the fill is quick.
        program.setProgressTiming({0, 10, {}});
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        ui(main).txtName->setText(u"Ann"_s);
        QCOMPARE(main.entryCount(), entries);
        QTRY_VERIFY_WITH_TIMEOUT(program.spareOffice().ready(), 60000);
        const QList<qint64> kept = program.spareOffice().processIds();
        main.activateWindow();
        ui(main).PushButton6->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), ui(main).PushButton6);
        const QList<ListEntry> entriesBefore = main.entries();
        QSignalSpy startClicks(ui(main).PushButton6, &QPushButton::clicked);
        // As the window system brings a click: a window that a modal one
        // blocks takes none.
        const auto clickStart = [&main] {
            const QPoint centre = ui(main).PushButton6->mapTo(&main, ui(main).PushButton6->rect().center());
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, centre);
        };

        // Driven from the event loop that the build lets run: the window's
        // texts are read, a second click goes to "Start Creating Template",
        // and "Cancel" is pressed once the wanted stage has shown a while.
        QSet<QString> texts;
        QStringList barsWrong;
        QElapsedTimer stageShown;
        QElapsedTimer sinceCancel;
        // The longest the build let no event through while the window showed:
        // a click waits that long before it is seen.
        QElapsedTimer sinceEvents;
        qint64 longestWithoutEvents = 0;
        bool clickedAgain = false;
        bool busy = true;
        QTimer driver;
        driver.setInterval(5);
        connect(&driver, &QTimer::timeout, this, [&] {
            QDialog *window = progressWindow();
            if (!window || sinceCancel.isValid())
                return;
            if (sinceEvents.isValid())
                longestWithoutEvents = std::max(longestWithoutEvents, sinceEvents.elapsed());
            sinceEvents.start();
            const QString text = window->findChild<QLabel *>()->text();
            texts.insert(text);
            // (The test's window shows from the first step on, before the
            // pointer is set.)
            if (!text.startsWith(u"Starting"_s))
                busy = busy && main.cursor().shape() == Qt::WaitCursor;
            // A screen reader reads the bar as a progress bar at the entry
            // being written.
            const QRegularExpressionMatch filling =
                QRegularExpression(u"^Filling entry ([\\d.]+) of 5\\.000$"_s).match(text);
            if (filling.hasMatch()) {
                QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(window->findChild<QProgressBar *>());
                if (!bar || bar->role() != QAccessible::ProgressBar || !bar->valueInterface()
                    || bar->valueInterface()->maximumValue().toInt() != entries
                    || bar->valueInterface()->currentValue().toInt() != locale.toInt(filling.captured(1)))
                    barsWrong << text;
            }
            if (!clickedAgain) {
                clickedAgain = true;
                clickStart();
            }
            if (!text.startsWith(stage))
                return;
            if (!stageShown.isValid())
                stageShown.start();
            if (stageShown.elapsed() < afterMs)
                return;
            sinceCancel.start();
            if (escape) {
                QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
            } else {
                auto *cancel = window->findChild<QPushButton *>();
                QCOMPARE(cancel->text(), u"Cancel"_s);
                const QPoint centre = cancel->mapTo(window, cancel->rect().center());
                QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centre);
            }
        });
        driver.start();
        clickStart();
        driver.stop();

        QVERIFY2(sinceCancel.isValid(), qPrintable(QStringList(texts.values()).join(u" / "_s)));
        QVERIFY2(longestWithoutEvents + sinceCancel.elapsed() < 1000,
                 qPrintable(u"%1 ms without events, %2 ms to stop"_s.arg(longestWithoutEvents)
                                .arg(sinceCancel.elapsed())));
        QVERIFY(clickedAgain);
        QCOMPARE(startClicks.count(), 1);
        QVERIFY2(busy, "the busy pointer went while the build ran");
        QVERIFY(!progressWindow());
        bool numbers = false;
        for (const QString &text : std::as_const(texts))
            numbers = numbers
                || QRegularExpression(u"^Filling entry [1-9]\\d{0,2}(\\.\\d{3})? of 5\\.000$"_s).match(text).hasMatch();
        QVERIFY2(numbers, qPrintable(QStringList(texts.values()).join(u" / "_s)));
        QVERIFY2(barsWrong.isEmpty(), qPrintable(barsWrong.join(u" / "_s)));

        QVERIFY2(m_dialogs->boxes.isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(main.isVisible() && main.isEnabled());
        QVERIFY(!program.previewWindowLoaded() || !program.previewWindow().isVisible());
        QVERIFY(main.cursor().shape() != Qt::WaitCursor);
        QCOMPARE(main.entries(), entriesBefore);
        QCOMPARE(ui(main).txtName->text(), u"Ann"_s);
        QCOMPARE(QApplication::activeWindow(), &main);
        QCOMPARE(QApplication::focusWidget(), ui(main).PushButton6);
        const QStringList left =
            QDir(scratchFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
        // The offices the build took are gone; only those kept for the next
        // build run.
        const QList<qint64> keptNow = program.spareOffice().processIds();
        QSet<qint64> others = officeChildren();
        others.subtract(QSet<qint64>(keptNow.begin(), keptNow.end()));
        QVERIFY2(others.isEmpty(), "an office runs that is not kept for the next build");
        QVERIFY(!processExists(kept.front()));
        if (stage.startsWith(u"Making"_s))
            QVERIFY(!processExists(kept.back()));
    }

    // Nothing shows for a build that is over within half a second (the
    // window's clock says so); from half a second on the window shows.
    void progressWindowAfterHalfASecond_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<bool>("shown");
        QTest::newRow("499 ms") << qint64(499) << false;
        QTest::newRow("500 ms") << qint64(500) << true;
    }

    void progressWindowAfterHalfASecond()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(bool, shown);
        Program program(m_fixture.services());
        program.setProgressTiming({500, 50, [elapsedMs] { return elapsedMs; }});
        Form1 &main = program.mainWindow();
        program.showMainWindow();
        addEntry(main, u"soon"_s, u"Short"_s, u"build"_s, false);
        QStringList shownTexts;
        EventWatch watch([&](QObject *watched, QEvent *event) {
            if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("progressWindow"))
                shownTexts << static_cast<QWidget *>(watched)->findChild<QLabel *>()->text();
        });
        Form2 &preview = build(program);
        QVERIFY2(m_dialogs->errorTexts().isEmpty(), qPrintable(m_dialogs->errorTexts().join(u"\n---\n"_s)));
        QVERIFY(preview.isVisible());
        QCOMPARE(shownTexts, shown ? QStringList {u"Starting the spreadsheet application"_s} : QStringList());
        QVERIFY(!progressWindow());
        QTest::mouseClick(control<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
    }

private:
    // The shown progress window of a build, or none.
    static QDialog *progressWindow()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("progressWindow") && widget->isVisible())
                return qobject_cast<QDialog *>(widget);
        }
        return nullptr;
    }

    // Runs a function on every event of the application while it lives.
    class EventWatch final : public QObject {
    public:
        explicit EventWatch(std::function<void(QObject *, QEvent *)> watch) : m_watch(std::move(watch))
        {
            QCoreApplication::instance()->installEventFilter(this);
        }
        ~EventWatch() override { QCoreApplication::instance()->removeEventFilter(this); }

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            m_watch(watched, event);
            return false;
        }

    private:
        std::function<void(QObject *, QEvent *)> m_watch;
    };

    // One "Application Error" box for the template command (at `step`
    // unless 0), no preview, the main window shown as it was, no office and
    // no scratch file left.
    void checkOneReportAndTheListKept(Program &program, int step)
    {
        Form1 &main = program.mainWindow();
        const QStringList errors = m_dialogs->errorTexts();
        QCOMPARE(errors.size(), 1);
        if (step) {
            QVERIFY2(errors.first().contains(QStringLiteral("Form1.PushButton6_Click at line %1\r\r").arg(step)),
                     qPrintable(errors.first()));
        }
        QVERIFY(main.isVisible());
        QVERIFY(!program.previewWindow().isVisible());
        QVERIFY(main.cursor().shape() != Qt::WaitCursor);
        QVERIFY(main.entryCount() > 0);
        QVERIFY2(QDir(scratchFolder()).entryList(QDir::Files).isEmpty(),
                 qPrintable(QDir(scratchFolder()).entryList(QDir::Files).join(u' ')));
        // With the main window shown again, only the offices kept ready for
        // the next build may run.
        const QList<qint64> kept = program.spareOffice().processIds();
        QSet<qint64> others = officeChildren();
        others.subtract(QSet<qint64>(kept.begin(), kept.end()));
        QVERIFY2(others.isEmpty(), "an office runs that is not kept for the next build");
    }
};

QTEST_MAIN(TestTemplateCommand)
#include "test_template_command.moc"
