// The sheet snapshot module, the cell-input rules and how an office is
// started, without an office: the object model is a small fake here.

#include "CellInput.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "IsInstalled.h"
#include "OfficeCommand.h"
#include "Offices.h"
#include "TestFolders.h"
#include "ScriptedDialogs.h"
#include "Snapshot.h"
#include "Spreadsheet.h"
#include "Title.h"

#include "SheetPicture.h"
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorbel;
using namespace Qt::StringLiterals;
using quorbel::test::ScriptedDialogs;

namespace {

// A sheet's picture as the office module gives it (the page is no real PDF:
// the snapshot never draws it).
QByteArray testPicture()
{
    return SheetPicture(10000, 5000, QVector<SheetPicture::Block> {SheetPicture::Block {0, 5000, QByteArray("%PDF-1.4 page")}})
        .toBytes();
}

// A fake of the object model, as far as the snapshot goes.
struct FakeState {
    int usedFirstRow = 1, usedFirstColumn = 2, usedLastRow = 8, usedLastColumn = 7;
    QString version = QStringLiteral("16.0");
    QByteArray picture = testPicture(); // what Picture returns
    std::map<QString, int> failAt;   // member name -> throw on its n-th call (1 = first)
    std::map<QString, int> calls;
    bool pictureCalled = false;

    void enter(const QString &member)
    {
        const int n = ++calls[member];
        const auto fail = failAt.find(member);
        if (fail != failAt.end() && (fail->second == 0 || fail->second == n))
            throw Failure(QStringLiteral("%1 failed").arg(member));
    }
};

class FakeRange : public xl::XlRange {
public:
    enum class Kind { Cells, Rows, Columns };
    FakeRange(FakeState &state, int row, int column, int rows, int columns, Kind kind = Kind::Cells)
        : m_state(state), m_row(row), m_column(column), m_rows(rows), m_columns(columns), m_kind(kind) {}
    void Select() override {}
    void setValue(const xl::CellValue &) override {}
    xl::CellValue Value() override { return {}; }
    std::shared_ptr<xl::XlRange> Rows() override
    {
        m_state.enter(QStringLiteral("Rows"));
        return std::make_shared<FakeRange>(m_state, m_row, m_column, m_rows, m_columns, Kind::Rows);
    }
    std::shared_ptr<xl::XlRange> Columns() override
    {
        m_state.enter(QStringLiteral("Columns"));
        return std::make_shared<FakeRange>(m_state, m_row, m_column, m_rows, m_columns, Kind::Columns);
    }
    int count() override { return m_kind == Kind::Columns ? m_columns : m_kind == Kind::Rows ? m_rows : m_rows * m_columns; }
    std::shared_ptr<xl::XlRange> Item(int index) override
    {
        if (m_kind == Kind::Columns)
            return std::make_shared<FakeRange>(m_state, m_row, m_column + index - 1, m_rows, 1);
        return std::make_shared<FakeRange>(m_state, m_row + index - 1, m_column, 1, m_columns);
    }
    int Row() override { return m_row; }
    int Column() override { return m_column; }
    void Copy() override {}
    void Insert(int) override {}
    QByteArray Picture() override
    {
        m_state.enter(QStringLiteral("Picture"));
        m_state.pictureCalled = true;
        return m_state.picture;
    }

private:
    FakeState &m_state;
    int m_row, m_column, m_rows, m_columns;
    Kind m_kind;
};

class FakeSheet : public xl::XlWorksheet {
public:
    explicit FakeSheet(FakeState &state) : m_state(state) {}
    QString Name() override { return QStringLiteral("To-do list"); }
    void Select() override {}
    void Activate() override {}
    std::shared_ptr<xl::XlRange> UsedRange() override
    {
        m_state.enter(QStringLiteral("UsedRange"));
        return std::make_shared<FakeRange>(m_state, m_state.usedFirstRow, m_state.usedFirstColumn,
                                           m_state.usedLastRow - m_state.usedFirstRow + 1,
                                           m_state.usedLastColumn - m_state.usedFirstColumn + 1);
    }
    std::shared_ptr<xl::XlPageSetup> PageSetup() override { return nullptr; }

private:
    FakeState &m_state;
};

class FakeWorkbook : public xl::XlWorkbook {
public:
    explicit FakeWorkbook(FakeState &state) : m_state(state) {}
    std::shared_ptr<xl::XlWorksheets> Worksheets() override { return nullptr; }
    std::shared_ptr<xl::XlWorksheet> ActiveSheet() override
    {
        m_state.enter(QStringLiteral("ActiveSheet"));
        return std::make_shared<FakeSheet>(m_state);
    }
    void SaveAs(const QString &, int) override {}
    void ExportAsFixedFormat(int, const QString &) override {}
    void Close() override {}

private:
    FakeState &m_state;
};

class FakeApplication : public xl::XlApplication {
public:
    explicit FakeApplication(FakeState &state) : m_state(state) {}
    std::shared_ptr<xl::XlWorkbooks> Workbooks() override { return nullptr; }
    std::shared_ptr<xl::XlWorkbook> ActiveWorkbook() override { return nullptr; }
    std::shared_ptr<xl::XlRange> Cells(int, int) override { return nullptr; }
    std::shared_ptr<xl::XlRange> Rows(int) override { return nullptr; }
    std::shared_ptr<xl::XlRange> Selection() override { return nullptr; }
    void setDisplayAlerts(bool) override {}
    void setVisible(bool) override {}
    void setCutCopyMode(bool) override {}
    QString Version() override
    {
        m_state.enter(QStringLiteral("Version"));
        return m_state.version;
    }
    void Quit() override {}

private:
    FakeState &m_state;
};

// The step numbers quoted by the error boxes shown so far.
QList<int> reportedSteps(const ScriptedDialogs &dialogs)
{
    QList<int> steps;
    for (const QString &text : dialogs.errorTexts()) {
        const qsizetype at = text.indexOf(QStringLiteral("at line "));
        steps.append(text.mid(at + 8, 3).toInt());
    }
    return steps;
}

} // namespace

class SnapshotTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_picture = QDir(qEnvironmentVariable("TEMP")).filePath(QStringLiteral("temp.bmp"));
        QFile::remove(m_picture);
    }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
    }

    void decimalSeparatorFollowsTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("separator");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << ".";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << ",";
        QTest::newRow("fr_FR") << QLocale(QLocale::French, QLocale::France) << ",";
        QTest::newRow("C") << QLocale::c() << ".";
    }
    void decimalSeparatorFollowsTheLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, separator);
        QLocale::setDefault(locale);
        QCOMPARE(QString(DecimalSeparator()), separator);
        QCOMPARE(LocaliseDecimalSeparators(QStringLiteral("1.2,3")), QStringLiteral("1") + separator + QStringLiteral("2") + separator + QStringLiteral("3"));
    }

    void saveFormatFromVersion_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("format");
        const QLocale point(QLocale::English, QLocale::UnitedStates);
        const QLocale comma(QLocale::German, QLocale::Germany);
        for (const auto &[name, locale] : {std::pair {"point", point}, std::pair {"comma", comma}}) {
            QTest::addRow("%s 16.0", name) << locale << "16.0" << xl::xlExcel8;
            QTest::addRow("%s 12.0", name) << locale << "12.0" << xl::xlExcel8;
            QTest::addRow("%s 11.0", name) << locale << "11.0" << xl::xlWorkbookNormal;
            QTest::addRow("%s 7.4 (LibreOffice)", name) << locale << "7.4" << xl::xlWorkbookNormal;
            QTest::addRow("%s 11.5 rounds to even 12", name) << locale << "11.5" << xl::xlExcel8;
            QTest::addRow("%s 12.5 rounds to even 12", name) << locale << "12.5" << xl::xlExcel8;
            QTest::addRow("%s 11,6 with a comma", name) << locale << "11,6" << xl::xlExcel8;
            QTest::addRow("%s 24.2", name) << locale << "24.2" << xl::xlExcel8;
        }
    }
    void saveFormatFromVersion()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, version);
        QFETCH(int, format);
        QLocale::setDefault(locale);
        FakeState state;
        state.version = version;
        FakeApplication application(state);
        QCOMPARE(WorkbookSaveFormat(application), format);
        QCOMPARE(state.calls[QStringLiteral("Version")], 1);
    }

    void saveFormatRefusesAVersionThatIsNoNumber_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "sixteen";
        QTest::newRow("two points") << "7.4.7";
        QTest::newRow("beyond 16 bits") << "40000.0";
    }
    void saveFormatRefusesAVersionThatIsNoNumber()
    {
        QFETCH(QString, version);
        FakeState state;
        state.version = version;
        FakeApplication application(state);
        QVERIFY_THROWS_EXCEPTION(Failure, WorkbookSaveFormat(application));
    }

    // The range's picture goes into the file byte for byte, for the user
    // alone, and the clipboard keeps what the user had put there.
    void snapshotWritesThePictureAndLeavesTheClipboard_data()
    {
        QTest::addColumn<QString>("held");
        QTest::newRow("a text") << u"text"_s;
        QTest::newRow("an image") << u"image"_s;
    }
    void snapshotWritesThePictureAndLeavesTheClipboard()
    {
        QFETCH(QString, held);
        QClipboard *clipboard = QGuiApplication::clipboard();
        QImage image(7, 5, QImage::Format_RGB32);
        image.fill(qRgb(0x4A, 0x4A, 0x6E));
        if (held == u"text"_s)
            clipboard->setText(u"the user's own words"_s);
        else
            clipboard->setImage(image);
        const QMimeData *before = clipboard->mimeData();
        QSignalSpy changes(clipboard, &QClipboard::dataChanged);

        ScriptedDialogs dialogs;
        FakeState state;
        FakeWorkbook workbook(state);
        saveCellsActivesheet(workbook, m_picture, dialogs);
        QVERIFY(dialogs.boxes.isEmpty());
        QVERIFY(state.pictureCalled);
        QFile file(m_picture);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), testPicture());
        QCOMPARE(QFile::permissions(m_picture) & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QFile::Permissions());

        QCOMPARE(changes.count(), 0);
        QCOMPARE(clipboard->mimeData(), before);
        if (held == u"text"_s)
            QCOMPARE(clipboard->text(), u"the user's own words"_s);
        else
            QCOMPARE(clipboard->image().convertToFormat(QImage::Format_RGB32), image);
    }

    void snapshotOfASheetEndingInRowOneOrColumnA_data()
    {
        QTest::addColumn<int>("lastRow");
        QTest::addColumn<int>("lastColumn");
        QTest::newRow("row 1") << 1 << 7;
        QTest::newRow("column A") << 8 << 1;
        QTest::newRow("A1 only") << 1 << 1;
    }
    void snapshotOfASheetEndingInRowOneOrColumnA()
    {
        QFETCH(int, lastRow);
        QFETCH(int, lastColumn);
        ScriptedDialogs dialogs;
        FakeState state;
        state.usedFirstRow = 1;
        state.usedFirstColumn = 1;
        state.usedLastRow = lastRow;
        state.usedLastColumn = lastColumn;
        FakeWorkbook workbook(state);
        saveCellsActivesheet(workbook, m_picture, dialogs);
        QVERIFY(dialogs.boxes.isEmpty());
        QVERIFY(!state.pictureCalled);
        QVERIFY(!QFile::exists(m_picture));
    }

    void snapshotReportsAnUnreadableSheetAndWritesNothing()
    {
        ScriptedDialogs dialogs;
        FakeState state;
        state.failAt[QStringLiteral("ActiveSheet")] = 0;
        FakeWorkbook workbook(state);
        saveCellsActivesheet(workbook, m_picture, dialogs);
        // Each step that needs the sheet fails in turn; the size test ends it.
        QCOMPARE(reportedSteps(dialogs), (QList<int> {100, 102, 104}));
        QVERIFY(dialogs.errorTexts().first().contains(QStringLiteral("Excel1.saveCellsActivesheet")));
        QVERIFY(dialogs.errorTexts().first().startsWith(QStringLiteral("ActiveSheet failed")));
        QVERIFY(!state.pictureCalled);
        QVERIFY(!QFile::exists(m_picture));
    }

    void snapshotWithoutTheLastRowStops()
    {
        ScriptedDialogs dialogs;
        FakeState state;
        state.failAt[QStringLiteral("Rows")] = 1;
        FakeWorkbook workbook(state);
        saveCellsActivesheet(workbook, m_picture, dialogs);
        QCOMPARE(reportedSteps(dialogs), (QList<int> {102}));
        QVERIFY(!state.pictureCalled);
        QVERIFY(!QFile::exists(m_picture));
    }

    // A picture the office could not make is reported at step 110 with
    // what failed; step 112 still runs, has nothing to write and says so.
    // An empty picture is no picture either. No file is left, not even an
    // older one.
    void snapshotReportsAFailedPictureAndSavesNoOlderOne_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QList<int>>("steps");
        QTest::newRow("the office's export fails") << true << QList<int> {110, 112};
        QTest::newRow("an empty picture") << false << QList<int> {112};
    }
    void snapshotReportsAFailedPictureAndSavesNoOlderOne()
    {
        QFETCH(bool, fails);
        QFETCH(QList<int>, steps);
        QImage(3, 3, QImage::Format_RGB32).save(m_picture, "BMP");
        ScriptedDialogs dialogs;
        FakeState state;
        if (fails)
            state.failAt[QStringLiteral("Picture")] = 1;
        else
            state.picture.clear();
        FakeWorkbook workbook(state);
        saveCellsActivesheet(workbook, m_picture, dialogs);
        QCOMPARE(reportedSteps(dialogs), steps);
        if (fails)
            QVERIFY(dialogs.errorTexts().first().startsWith(QStringLiteral("Picture failed")));
        QVERIFY(dialogs.errorTexts().last().contains(QStringLiteral("No picture of the cells was made")));
        QVERIFY(!QFile::exists(m_picture));
    }

    void snapshotNeverLeavesAnOlderPicture()
    {
        QImage(3, 3, QImage::Format_RGB32).save(m_picture, "BMP");
        QVERIFY(QFile::exists(m_picture));
        ScriptedDialogs dialogs;
        FakeState state;
        state.usedLastRow = 1;  // nothing to picture
        FakeWorkbook workbook(state);
        saveCellsActivesheet(workbook, m_picture, dialogs);
        QVERIFY(dialogs.boxes.isEmpty());
        QVERIFY(!QFile::exists(m_picture));
    }

    void snapshotReportsAnUnwritablePicture()
    {
        ScriptedDialogs dialogs;
        FakeState state;
        FakeWorkbook workbook(state);
        const QString folder = QDir(qEnvironmentVariable("TEMP")).filePath(QStringLiteral("no-such-folder"));
        saveCellsActivesheet(workbook, folder + QStringLiteral("/temp.bmp"), dialogs);
        QCOMPARE(reportedSteps(dialogs), (QList<int> {112}));
    }

    // Without the office module (it is looked for in an empty folder),
    // no instance can be made and the availability check says so.
    void noModuleMeansNoApplication()
    {
        // The module is looked for in a folder without it.
        Offices offices(Options().withoutOfficesAhead(), nullptr, QStringLiteral(QUORBEL_NO_MODULE_DIR));
        QVERIFY_THROWS_EXCEPTION(Failure, offices.createApplication());
        try {
            offices.createApplication();
        } catch (const Failure &failure) {
            QVERIFY2(failure.description().contains(QStringLiteral("module")), qPrintable(failure.description()));
        }
        QVERIFY_THROWS_EXCEPTION(Failure, OpenInNewInstance(offices, QStringLiteral("nothing.xls")));
        QVERIFY_THROWS_EXCEPTION(Failure, WorkbookSaveFormat(offices));

        SetApplicationTitle();
        ScriptedDialogs dialogs;
        QVERIFY(!IsInstalled(offices, dialogs));
        QCOMPARE(dialogs.boxes.size(), 1);
        const Box &box = dialogs.boxes.first();
        QCOMPARE(box.title, applicationTitle());
        QCOMPARE(box.icon, BoxIcon::None);
        QCOMPARE(box.buttons, BoxButtons::Ok);
        QCOMPARE(box.text, notInstalledMessage());
    }

    void notInstalledMessageText()
    {
        const QStringList paragraphs = notInstalledMessage().split(QStringLiteral("\r\n\r\n"));
        QCOMPARE(paragraphs.size(), 6);
        QCOMPARE(paragraphs.at(0), QStringLiteral("Error 842001. A normal instance of Excel could not be created."));
        QCOMPARE(paragraphs.at(1), QStringLiteral("1. Please make sure Excel is installed on this computer."));
        QVERIFY(paragraphs.at(4).startsWith(QStringLiteral("4. All versions of Excel are supported")));
        QVERIFY(paragraphs.at(5).contains(QStringLiteral("libreoffice-calc")));
        QVERIFY(paragraphs.at(5).contains(QStringLiteral("QUORBEL_SOFFICE")));
        for (const QString &paragraph : paragraphs)
            QVERIFY(!paragraph.contains(QLatin1Char('\n')) && !paragraph.contains(QLatin1Char('\r')));
        QVERIFY(!notInstalledMessage().endsWith(QLatin1Char('\n')));
    }

    // ---- how typed text and dates are entered (the parts without an office)

    void dateSerials()
    {
        QCOMPARE(lo::dateSerial(QDate(2026, 12, 24)), 46380.0);
        QCOMPARE(lo::dateSerial(QDate(1899, 12, 30)), 0.0);
        QCOMPARE(lo::dateSerial(QDate(1900, 3, 1)), 61.0);
        QCOMPARE(lo::dateFromSerial(46380.75), QDate(2026, 12, 24));
        QCOMPARE(lo::dateFromSerial(-1.0), QDate(1899, 12, 29));
        QVERIFY(!lo::dateFromSerial(1e12).isValid());
        QVERIFY(!lo::dateFromSerial(std::nan("")).isValid());
        for (const QDate date : {QDate(1930, 1, 1), QDate(2029, 12, 31), QDate(9999, 12, 31)})
            QCOMPARE(lo::dateFromSerial(lo::dateSerial(date)), date);
    }

    void officeDateFormats_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("code");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "M/D/YYYY";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "DD.MM.YYYY";
        QTest::newRow("C") << QLocale::c() << "D MMM YYYY";
    }
    void officeDateFormats()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, code);
        QCOMPARE(lo::officeDateFormatCode(locale), code);
    }

    void typedTextKinds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QDate>("date");
        using lo::TextKind;
        QTest::newRow("empty") << "" << int(TextKind::Empty) << QDate();
        QTest::newRow("formula look") << "=1+1" << int(TextKind::Literal) << QDate();
        QTest::newRow("formula with a date") << "=12/24/2026" << int(TextKind::Literal) << QDate();
        QTest::newRow("words") << "Call the bank" << int(TextKind::Literal) << QDate();
        QTest::newRow("done mark") << "a" << int(TextKind::Literal) << QDate();
        QTest::newRow("short date") << "12/24/26" << int(TextKind::Date) << QDate(2026, 12, 24);
        QTest::newRow("full year") << "1/5/2027" << int(TextKind::Date) << QDate(2027, 1, 5);
        QTest::newRow("year 30 is 1930") << "1/5/30" << int(TextKind::Date) << QDate(1930, 1, 5);
        QTest::newRow("iso") << "2026-12-24" << int(TextKind::Date) << QDate(2026, 12, 24);
        QTest::newRow("no such day") << "2/30/2026" << int(TextKind::NumberCandidate) << QDate();
        QTest::newRow("number") << "12.5" << int(TextKind::NumberCandidate) << QDate();
        QTest::newRow("digits in words") << "Room 101" << int(TextKind::NumberCandidate) << QDate();
    }
    void typedTextKinds()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QDate, date);
        const auto typed = lo::classifyTypedText(text, QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(int(typed.kind), kind);
        if (date.isValid())
            QCOMPARE(typed.date, date);
    }

    // The environment an office gets: its own temporary folder whatever the
    // program's, its profile and fontconfig file, the rest of the program's
    // as it was, and XDG_RUNTIME_DIR only when that is a private folder of
    // the user's own.
    void officeEnvironmentIsTheOfficesOwn_data()
    {
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<bool>("kept");
        QTest::newRow("own 0700") << QStringLiteral("own 0700") << true;
        QTest::newRow("own 0755") << QStringLiteral("own 0755") << false;
        QTest::newRow("own 1777") << QStringLiteral("own 1777") << false;
        QTest::newRow("nobody's 0700") << QStringLiteral("nobody's 0700") << false;
        QTest::newRow("a link to own 0700") << QStringLiteral("link to own 0700") << false;
        QTest::newRow("missing") << QStringLiteral("missing") << false;
    }

    void officeEnvironmentIsTheOfficesOwn()
    {
        QFETCH(QString, runtime);
        QFETCH(bool, kept);
        if (test::plantingNeedsRoot(runtime) && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString runtimePath = test::plantFolder(dir.path(), runtime);
        QVERIFY(!runtimePath.isEmpty());
        QProcessEnvironment program;
        program.insert(QStringLiteral("TEMP"), QStringLiteral("/tmp"));
        program.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
        program.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
        program.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimePath);
        const QString temp = dir.filePath(QStringLiteral("office/tmp"));
        const QString fontConfig = dir.filePath(QStringLiteral("fonts.conf"));
        const QProcessEnvironment office =
            lo::officeEnvironment(program, dir.filePath(QStringLiteral("office/my profile")), fontConfig, temp);
        for (const char *name : {"TEMP", "TMPDIR", "TMP"})
            QCOMPARE(office.value(QLatin1String(name)), temp);
        QCOMPARE(office.value(QStringLiteral("UserInstallation")),
                 QStringLiteral("file://%1/office/my%20profile").arg(dir.path()));
        QCOMPARE(office.value(QStringLiteral("FONTCONFIG_FILE")), fontConfig);
        QCOMPARE(office.value(QStringLiteral("LANG")), QStringLiteral("de_DE.UTF-8"));
        QCOMPARE(office.contains(QStringLiteral("XDG_RUNTIME_DIR")), kept);
        if (kept)
            QCOMPARE(office.value(QStringLiteral("XDG_RUNTIME_DIR")), runtimePath);
    }

    // Whatever the program's umask, an office starts with 022: what it makes
    // for the whole machine stays readable by everyone, and its sockets
    // admit no one else.
    void officeUmaskIsFixed()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const mode_t programMask : {mode_t(0), mode_t(002), mode_t(077)}) {
            const QString log = dir.filePath(QStringLiteral("umask-%1").arg(programMask, 0, 8));
            const mode_t before = ::umask(programMask);
            QProcess child;
            lo::prepareOfficeProcess(child, dir.filePath(QStringLiteral("profile")), QString(), dir.path(), log);
            child.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("umask")});
            const bool ended = child.waitForFinished(10000);
            ::umask(before);
            QVERIFY(ended);
            QFile output(log);
            QVERIFY(output.open(QIODevice::ReadOnly));
            QCOMPARE(output.readAll().trimmed(), QByteArray("0022"));
        }
    }

private:
    QString m_picture;
};

QTEST_MAIN(SnapshotTest)
#include "SnapshotTest.moc"
