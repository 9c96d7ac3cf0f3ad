// The main window: layout, start-up, the header fields, closing, pointer.

#include "DateText.h"
#include "EntryList.h"
#include "Form1Settings.h"
#include "Failure.h"
#include "FileProcs.h"
#include "SettingsStore.h"
#include "Title.h"
#include "Form1.h"
#include "ScriptedDialogs.h"
#include "WindowLook.h"
#include "editor_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <algorithm>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

using namespace quorbel;
using namespace Qt::Literals::StringLiterals;
using quorbel::test::ScriptedDialogs;
using quorbel::test::WindowFixture;
using quorbel::test::clearStore;
using quorbel::test::hasStoredValue;
using quorbel::test::storedValue;
using quorbel::test::storeFileText;
using quorbel::test::storeValue;
using quorbel::test::selectedRows;
using quorbel::test::ui;

namespace {

// Twips to pixels, worked out here on its own: 15 twips a pixel, nearest.
int px(int twips)
{
    return (twips + 7) / 15;
}

QRect design(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

QStringList rowTexts(const Form1 &window)
{
    // As the list shows them.
    const QAbstractItemModel *list = ui(window).ListView1->model();
    QStringList rows;
    for (int row = 0; row < list->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < list->columnCount(); ++column)
            cells << list->index(row, column).data().toString();
        rows << cells.join(u'|');
    }
    return rows;
}

QString loadLocation(int step)
{
    return QStringLiteral("in Lintravo2021/08/31.Form1.Form_Load at line %1\r\r").arg(step);
}

// A point of the widget's own surface, not covered by a child if there is one.
QPointF ownPoint(const QWidget *widget)
{
    for (int y = widget->height() / 2; y < widget->height(); y += 2) {
        for (int x = widget->width() / 2; x < widget->width(); x += 2) {
            if (!widget->childAt(x, y))
                return QPointF(x, y);
        }
    }
    return QPointF(widget->width() / 2.0, widget->height() / 2.0);
}

void moveMouseOver(QWidget *widget)
{
    const QPointF local = ownPoint(widget);
    QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layoutFollowsTheDesign();
    void lookOfTheWindow();
    void skinFileLeavesTheFieldsWhite_data();
    void skinFileLeavesTheFieldsWhite();
    void firstStartOnAnEmptyStore();
    void startUpRestoresHeaderFieldsAndList();
    void badStoredDeadlineIsReportedAndTodayShown_data();
    void badStoredDeadlineIsReportedAndTodayShown();
    void fieldsBeyondTheFourthAreReportedAndSkipped();
    void manyFieldsBeyondTheFourthAreCountedInOneBox();
    void storedListLongerThanTheSheetIsKeptUntilChanged();
    void headerFieldsAreWrittenAtEveryChange();
    void killedProgramKeepsHeaderFieldsAndListEdits();
    void failedListWriteIsReportedOnceARun();
    void storedValuesKeepToTheLengthsOfTheirFields_data();
    void storedValuesKeepToTheLengthsOfTheirFields();
    void deadlineRoundTrip_data();
    void deadlineRoundTrip();
    void closingStoresTheListAndEndsTheProgram();
    void closingStoresAnEmptyListAsEmptyText();
    void typedSeparatorsSurviveTheNextStart();
    void plainStoredListRoundTripsThroughStartAndClose_data();
    void plainStoredListRoundTripsThroughStartAndClose();
    void unavailableSpreadsheetEndsStartUp();
    void focusSelectsTheWholeText();
    void tabOrderFollowsTheDesign();
    void helpShowsTheContactMessage();
    void pointerFeedbackUsesTheHandFile();
    void pointerFeedbackWithoutOrWithABadHandFile();
    void handCursorFileHasItsHotspotAtTheFingertip();
    void templateCommandSeamAndReadAccess();

private:
    ScriptedDialogs m_dialogs;
    WindowFixture m_fixture;
};

void TestForm1::init()
{
    m_fixture.freshStart(m_dialogs);
}

void TestForm1::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void TestForm1::layoutFollowsTheDesign()
{
    auto window = m_fixture.makeWindow();

    QCOMPARE(window->size(), QSize(px(8040), px(8415)));
    QCOMPARE(window->size(), QSize(536, 561));
    QCOMPARE(window->minimumSize(), window->size());
    QCOMPARE(window->maximumSize(), window->size());

    struct Expected {
        QWidget *widget;
        QWidget *container;
        QRect rect;
    };
    const auto label = [&](const QString &caption) -> QWidget * {
        for (QLabel *l : window->findChildren<QLabel *>()) {
            if (l->text() == caption)
                return l;
        }
        return nullptr;
    };
    Form1 &w = *window;
    const QList<Expected> expected = {
        {ui(w).PushButton6, &w, design(120, 120, 7800, 405)},
        {ui(w).PushButton3, &w, design(120, 630, 3840, 405)},
        {ui(w).PushButton7, &w, design(4080, 630, 3840, 405)},
        {ui(w).Frame1, &w, design(120, 1110, 7800, 1725)},
        {label(u"Deadline:"_s), ui(w).Frame1, design(240, 345, 1755, 225)},
        {ui(w).dtpDate, ui(w).Frame1, design(2160, 300, 5325, 345)},
        {label(u"To Be Completed By:"_s), ui(w).Frame1, design(240, 795, 1760, 225)},
        {ui(w).txtName, ui(w).Frame1, design(2160, 750, 5325, 345)},
        {label(u"Project Name:"_s), ui(w).Frame1, design(240, 1245, 1760, 225)},
        {ui(w).txtProName, ui(w).Frame1, design(2160, 1200, 5325, 345)},
        {ui(w).Frame2, &w, design(120, 2910, 7800, 5385)},
        {label(u"Due By:"_s), ui(w).Frame2, design(240, 345, 1760, 225)},
        {ui(w).txtDate, ui(w).Frame2, design(2160, 300, 5325, 345)},
        {label(u"Project:"_s), ui(w).Frame2, design(240, 795, 1760, 225)},
        {ui(w).txtProj, ui(w).Frame2, design(2160, 750, 5325, 345)},
        {label(u"Notes:"_s), ui(w).Frame2, design(240, 1245, 1760, 225)},
        {ui(w).txtNotes, ui(w).Frame2, design(2160, 1200, 5325, 345)},
        {ui(w).Check1, ui(w).Frame2, design(2160, 1650, 855, 255)},
        {ui(w).PushButton1, ui(w).Frame2, design(2160, 2040, 2520, 405)},
        {ui(w).PushButton2, ui(w).Frame2, design(4800, 2040, 2640, 405)},
        {ui(w).PushButton5, ui(w).Frame2, design(2160, 2550, 5295, 405)},
        {ui(w).ListView1, ui(w).Frame2, design(255, 3090, 7245, 2130)},
    };
    for (const Expected &e : expected) {
        QVERIFY(e.widget);
        QCOMPARE(e.widget->parentWidget(), e.container);
        const auto *caption = qobject_cast<const QLabel *>(e.widget);
        if (!caption || caption->sizeHint().width() <= e.rect.width()) {
            QCOMPARE(e.widget->geometry(), e.rect);
            continue;
        }
        // A caption wider than its designed label keeps its place and
        // height and grows only as far as its text needs, short of its field.
        QCOMPARE(caption->pos(), e.rect.topLeft());
        QCOMPARE(caption->height(), e.rect.height());
        QCOMPARE(caption->width(), std::min(caption->sizeHint().width(), caption->buddy()->x() - caption->x() - 2));
        QVERIFY(caption->geometry().right() < caption->buddy()->x());
    }
    // Two spot checks in plain pixels.
    QCOMPARE(ui(w).PushButton6->geometry(), QRect(8, 8, 520, 27));
    QCOMPARE(ui(w).ListView1->pos(), QPoint(17, 206));

    QCOMPARE(ui(w).PushButton1->text(), QStringLiteral("Add"));
    QCOMPARE(ui(w).PushButton2->text(), QStringLiteral("Delete Selected"));
    QCOMPARE(ui(w).PushButton3->text(), QStringLiteral("Help"));
    QCOMPARE(ui(w).PushButton5->text(), QStringLiteral("Check Selected As Done"));
    QCOMPARE(ui(w).PushButton6->text(), QStringLiteral("Start Creating Template"));
    QCOMPARE(ui(w).PushButton7->text(), QStringLiteral("Load Sample/Example Data"));
    QCOMPARE(ui(w).Frame1->title(), QStringLiteral("General Options"));
    QCOMPARE(ui(w).Frame2->title(), QStringLiteral("To Do List Entries"));
    QCOMPARE(ui(w).Check1->text(), QStringLiteral("Done"));
    QVERIFY(!ui(w).Check1->isChecked());
    for (QLineEdit *box : {static_cast<QLineEdit *>(ui(w).txtName), static_cast<QLineEdit *>(ui(w).txtProName),
                           static_cast<QLineEdit *>(ui(w).txtDate), static_cast<QLineEdit *>(ui(w).txtProj),
                           static_cast<QLineEdit *>(ui(w).txtNotes)})
        QVERIFY(box->text().isEmpty());

    // The list: a report of four left-aligned columns, no check boxes.
    QTreeView *list = ui(w).ListView1;
    QCOMPARE(list->model()->columnCount(), 4);
    const QStringList captions = {u"Due By"_s, u"Project"_s, u"Notes"_s, u"Done"_s};
    const QList<int> widths = {px(1000), px(2300), px(2300), px(1440)};
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(list->model()->headerData(c, Qt::Horizontal).toString(), captions.at(c));
        QCOMPARE(list->columnWidth(c), widths.at(c));
        QCOMPARE(list->header()->defaultAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }
    QVERIFY(!list->rootIsDecorated());
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);

    // The deadline picker.
    QCOMPARE(ui(w).dtpDate->displayFormat(), QStringLiteral("dd-MMM-yyyy"));
    QCOMPARE(ui(w).dtpDate->minimumDate(), QDate(1601, 1, 1));
    QCOMPARE(ui(w).dtpDate->maximumDate(), QDate(9999, 12, 31));
    QVERIFY(ui(w).dtpDate->calendarPopup());
}

void TestForm1::lookOfTheWindow()
{
    auto window = m_fixture.makeWindow();
    Form1 &w = *window;

    QCOMPARE(w.windowTitle(), QStringLiteral("Quorbel"));
    const Qt::WindowFlags flags = w.windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);

    const auto isDesignFont = [](const QFont &font, qreal size) {
        return font.family() == QLatin1String("Arial") && font.bold() && qFuzzyCompare(font.pointSizeF(), size);
    };
    QVERIFY(isDesignFont(w.font(), 9));
    for (QWidget *plain : {static_cast<QWidget *>(ui(w).Frame1), static_cast<QWidget *>(ui(w).Frame2),
                           static_cast<QWidget *>(ui(w).txtName), static_cast<QWidget *>(ui(w).txtProName),
                           static_cast<QWidget *>(ui(w).txtDate)})
        QVERIFY2(isDesignFont(plain->font(), 9), qPrintable(plain->objectName()));
    for (QLabel *label : w.findChildren<QLabel *>())
        QVERIFY2(isDesignFont(label->font(), 9), qPrintable(label->text()));
    for (QPushButton *button : w.findChildren<QPushButton *>())
        QVERIFY2(isDesignFont(button->font(), 11.25), qPrintable(button->text()));

    // White backgrounds.
    QList<QWidget *> white = {&w, ui(w).Frame1, ui(w).Frame2, ui(w).Check1};
    for (QLabel *label : ui(w).Frame1->findChildren<QLabel *>())
        white << label;
    for (QWidget *widget : white)
        QCOMPARE(widget->palette().color(QPalette::Window), QColor(Qt::white));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.grab().toImage().pixelColor(2, 2), QColor(Qt::white));
    QCOMPARE(ui(w).Check1->grab().toImage().pixelColor(ui(w).Check1->width() - 2, 1), QColor(Qt::white));
    for (QWidget *field : {static_cast<QWidget *>(ui(w).txtName), static_cast<QWidget *>(ui(w).txtProName),
                           static_cast<QWidget *>(ui(w).txtDate), static_cast<QWidget *>(ui(w).dtpDate),
                           static_cast<QWidget *>(ui(w).ListView1)})
        QCOMPARE(field->palette().color(QPalette::Base), QColor(Qt::white));
}

void TestForm1::skinFileLeavesTheFieldsWhite_data()
{
    QTest::addColumn<QByteArray>("skin");
    QTest::newRow("empty skin file") << QByteArray();
    QTest::newRow("skin that styles only buttons") << QByteArray("QPushButton { color: navy; }");
}

void TestForm1::skinFileLeavesTheFieldsWhite()
{
    QFETCH(QByteArray, skin);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("x")));
    QFile file(folder.filePath(QStringLiteral("x/o.cjs")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(skin);
    file.close();
    m_fixture.programFolder = folder.path();

    auto window = m_fixture.makeWindow();
    Form1 &w = *window;
    QVERIFY2(m_dialogs.boxes.isEmpty(), qPrintable(m_dialogs.boxes.value(0).text));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QColor face = QPalette().color(QPalette::Active, QPalette::Button);
    QVERIFY2(face != QColor(Qt::white), qPrintable(face.name())); // else nothing could tell them apart

    // The button face on the window, the frames, the labels and the check box.
    QList<QWidget *> faced = {&w, ui(w).Frame1, ui(w).Frame2, ui(w).Check1};
    for (QLabel *label : w.findChildren<QLabel *>())
        faced << label;
    for (QWidget *widget : faced) {
        QCOMPARE(widget->palette().color(QPalette::Window), face);
        QVERIFY(widget->autoFillBackground());
    }
    QCOMPARE(w.grab().toImage().pixelColor(2, 2), face);
    QCOMPARE(ui(w).Check1->grab().toImage().pixelColor(ui(w).Check1->width() - 2, 1), face);

    // White fields, drawn so.
    const QList<QWidget *> fields = {ui(w).txtName, ui(w).txtProName, ui(w).txtDate, ui(w).txtProj, ui(w).txtNotes, ui(w).dtpDate, ui(w).ListView1};
    for (QWidget *field : fields)
        QCOMPARE(field->palette().color(QPalette::Base), QColor(Qt::white));
    for (QLineEdit *box : {static_cast<QLineEdit *>(ui(w).txtName), static_cast<QLineEdit *>(ui(w).txtProName),
                           static_cast<QLineEdit *>(ui(w).txtDate), static_cast<QLineEdit *>(ui(w).txtProj),
                           static_cast<QLineEdit *>(ui(w).txtNotes)}) {
        const QImage shot = box->grab().toImage();
        QCOMPARE(shot.pixelColor(box->width() * 3 / 4, box->height() / 2), QColor(Qt::white));
    }
    const QImage date = ui(w).dtpDate->grab().toImage();
    QCOMPARE(date.pixelColor(ui(w).dtpDate->width() * 2 / 3, ui(w).dtpDate->height() / 2), QColor(Qt::white));
    const QImage list = ui(w).ListView1->viewport()->grab().toImage();
    QCOMPARE(list.pixelColor(list.width() / 2, list.height() / 2), QColor(Qt::white));
}

void TestForm1::firstStartOnAnEmptyStore()
{
    auto window = m_fixture.makeWindow();

    QVERIFY(window->startUpCompleted());
    QVERIFY(!window->isVisible());
    QCOMPARE(ui(*window).dtpDate->date(), QDate(2026, 3, 10));
    QCOMPARE(ui(*window).dtpDate->text(), QStringLiteral("10-Mar-2026"));
    QVERIFY(ui(*window).txtName->text().isEmpty());
    QVERIFY(ui(*window).txtProName->text().isEmpty());
    QCOMPARE(ui(*window).ListView1->model()->rowCount(), 0);
    QVERIFY2(m_dialogs.boxes.isEmpty(), qPrintable(m_dialogs.boxes.value(0).text));
    QCOMPARE(m_fixture.availabilityChecks, 1);
    QCOMPARE(m_fixture.programEnds, 0);
}

void TestForm1::startUpRestoresHeaderFieldsAndList()
{
    storeValue(u"dtpDate"_s, generalDateText(QDateTime(QDate(2026, 12, 6), QTime(0, 0))));
    storeValue(u"txtName"_s, u"Ann Example"_s);
    storeValue(u"txtProName"_s, u"Roof repair"_s);
    storeValue(u"ToDo"_s, u"a^b^c^V|d^e^^|f^^^v"_s);

    auto window = m_fixture.makeWindow();

    QVERIFY(m_dialogs.boxes.isEmpty());
    QCOMPARE(ui(*window).dtpDate->text(), QStringLiteral("06-Dec-2026"));
    QCOMPARE(window->deadline(), QDate(2026, 12, 6));
    QCOMPARE(ui(*window).txtName->text(), QStringLiteral("Ann Example"));
    QCOMPARE(ui(*window).txtProName->text(), QStringLiteral("Roof repair"));
    QCOMPARE(rowTexts(*window), (QStringList{u"a|b|c|V"_s, u"d|e||"_s, u"f|||v"_s}));
    // The list keeps a current row while it has rows: the first after start-up.
    QCOMPARE(selectedRows(*ui(*window).ListView1), QList<int>{0});
    // The restore writes the values back unchanged.
    QCOMPARE(storedValue(u"txtName"_s), QStringLiteral("Ann Example"));
    QCOMPARE(storedValue(u"txtProName"_s), QStringLiteral("Roof repair"));
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("a^b^c^V|d^e^^|f^^^v"));
}

void TestForm1::badStoredDeadlineIsReportedAndTodayShown_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("words") << QStringLiteral("next Tuesday");
    QTest::newRow("no such day") << QStringLiteral("31/2/2026");
    QTest::newRow("before the first day of the picker") << QStringLiteral("1500-01-01");
    // Damaged: read as any other, in no time.
    QString digitsAndBlanks;
    while (digitsAndBlanks.size() < 200 * 1024)
        digitsAndBlanks += QStringLiteral("1 ");
    QTest::newRow("200 KB of digits and blanks") << digitsAndBlanks;
}

void TestForm1::badStoredDeadlineIsReportedAndTodayShown()
{
    QFETCH(QString, stored);
    storeValue(u"dtpDate"_s, stored);
    storeValue(u"txtName"_s, u"after the deadline"_s);

    auto window = m_fixture.makeWindow();

    const QStringList errors = m_dialogs.errorTexts();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(loadLocation(108)), qPrintable(errors.first()));
    // A text longer than any date is named by its length, not shown.
    QVERIFY2(errors.first().contains(stored.size() <= kMaxDateTextLength ? stored : u"dtpDate"_s),
             qPrintable(errors.first().left(300)));
    QCOMPARE(ui(*window).dtpDate->date(), QDate(2026, 3, 10));
    // The steps after it still ran.
    QCOMPARE(ui(*window).txtName->text(), QStringLiteral("after the deadline"));
    QVERIFY(window->startUpCompleted());
    QCOMPARE(m_fixture.availabilityChecks, 1);
}

void TestForm1::fieldsBeyondTheFourthAreReportedAndSkipped()
{
    storeValue(u"ToDo"_s, u"a^b^c^V^x^y|d^e^f^|g^h^i^^z"_s);

    auto window = m_fixture.makeWindow();

    QCOMPARE(rowTexts(*window), (QStringList{u"a|b|c|V"_s, u"d|e|f|"_s, u"g|h|i|"_s}));
    const QStringList errors = m_dialogs.errorTexts();
    QCOMPARE(errors.size(), 3);
    for (const QString &error : errors)
        QVERIFY2(error.contains(loadLocation(114)), qPrintable(error));
    QVERIFY(errors.at(0).contains(QLatin1String("\"x\"")));
    QVERIFY(errors.at(1).contains(QLatin1String("\"y\"")));
    QVERIFY(errors.at(2).contains(QLatin1String("\"z\"")));
    QVERIFY(window->startUpCompleted());
}

void TestForm1::manyFieldsBeyondTheFourthAreCountedInOneBox()
{
    // A damaged store: one record of 100,004 fields, the fifth 1,000 long.
    QString stored = u"a^b^c^V^"_s + QString(1000, u'x');
    for (int i = 0; i < 99'999; ++i)
        stored += u"^y"_s;
    storeValue(u"ToDo"_s, stored + u"|d^e^f^"_s);

    auto window = m_fixture.makeWindow();

    QCOMPARE(rowTexts(*window), (QStringList{u"a|b|c|V"_s, u"d|e|f|"_s}));
    const QStringList errors = m_dialogs.errorTexts();
    QCOMPARE(errors.size(), 11);
    QVERIFY2(errors.first().contains(QString(200, u'x') + u"...\""_s), qPrintable(errors.first().left(300)));
    QVERIFY(!errors.first().contains(QString(201, u'x')));
    QVERIFY2(errors.last().contains(u"99990 more fields"_s), qPrintable(errors.last()));
    QVERIFY(window->startUpCompleted());
}

void TestForm1::storedListLongerThanTheSheetIsKeptUntilChanged()
{
    // A damaged store: more entries (without the fields the program writes)
    // than the sheet has rows for. The window takes the first ones and says
    // so once; closing unchanged keeps the stored text as it was, a change
    // writes the list the window holds (in the form its reader takes back).
    const int held = quorbel::kMaxListEntries + 3;
    QStringList records;
    for (int i = 0; i < held; ++i)
        records.append(QString::number(i));
    const QString stored = records.join(u'|');
    storeValue(u"ToDo"_s, stored);
    {
        auto window = m_fixture.makeWindow();
        QCOMPARE(window->entryCount(), quorbel::kMaxListEntries);
        QCOMPARE(window->entry(quorbel::kMaxListEntries - 1).dueBy, QString::number(quorbel::kMaxListEntries - 1));
        const QStringList errors = m_dialogs.errorTexts();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(loadLocation(114)), qPrintable(errors.first()));
        QVERIFY2(errors.first().contains(QLocale().toString(held)), qPrintable(errors.first()));
        QVERIFY(window->startUpCompleted());
        window->storeList();
        window->close();
    }
    QCOMPARE(storedValue(u"ToDo"_s), stored);

    m_dialogs.boxes.clear();
    {
        auto window = m_fixture.makeWindow();
        window->PushButton2_Click();
        window->mnuUndo_Click();
        window->close();
    }
    const QString written = storedValue(u"ToDo"_s);
    QList<ListEntry> back;
    QCOMPARE(quorbel::decodeEntryList(written, back), qsizetype(quorbel::kMaxListEntries));
    QCOMPARE(back.last(), (ListEntry{QString::number(quorbel::kMaxListEntries - 1), {}, {}, {}}));
    QVERIFY(written.size() <= quorbel::kMaxStoredListLength);
}

void TestForm1::headerFieldsAreWrittenAtEveryChange()
{
    auto window = m_fixture.makeWindow();

    // One keystroke is on disk at once.
    QTest::keyClicks(ui(*window).txtProName, u"R"_s);
    QVERIFY2(storeFileText().contains(QLatin1String("txtProName=R")), qPrintable(storeFileText()));
    QTest::keyClicks(ui(*window).txtProName, u"oof"_s);
    QCOMPARE(storedValue(u"txtProName"_s), QStringLiteral("Roof"));
    // A character beyond ASCII.
    QTest::sendKeyEvent(QTest::Click, ui(*window).txtProName, Qt::Key_unknown, QString(QChar(0x00E9)), {});
    QCOMPARE(storedValue(u"txtProName"_s), QStringLiteral("Roof\u00E9"));

    QTest::keyClicks(ui(*window).txtName, u"Me"_s);
    QCOMPARE(storedValue(u"txtName"_s), QStringLiteral("Me"));
    // A change made by a program statement is written as well.
    ui(*window).txtName->setText(QStringLiteral("Someone else"));
    QCOMPARE(storedValue(u"txtName"_s), QStringLiteral("Someone else"));
    ui(*window).txtName->clear();
    QVERIFY(hasStoredValue(u"txtName"_s));
    QCOMPARE(storedValue(u"txtName"_s), QString());

    ui(*window).dtpDate->setDate(QDate(2026, 12, 6));
    const auto stored = readGeneralDateText(storedValue(u"dtpDate"_s));
    QVERIFY(stored);
    QCOMPARE(stored->date(), QDate(2026, 12, 6));
    QCOMPARE(stored->time(), QTime(0, 0));

    // The list too is written at every change, in the closing step's form.
    ui(*window).txtDate->setText(QStringLiteral("soon"));
    window->PushButton1_Click();
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("soon^^^"));
    window->PushButton5_Click();
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("soon^^^V"));
    window->PushButton2_Click();
    QVERIFY(hasStoredValue(u"ToDo"_s));
    QCOMPARE(storedValue(u"ToDo"_s), QString());
}

void TestForm1::killedProgramKeepsHeaderFieldsAndListEdits()
{
    {
        auto window = m_fixture.makeWindow();
        QTest::keyClicks(ui(*window).txtProName, u"Typed project"_s);
        ui(*window).txtDate->setText(QStringLiteral("tomorrow"));
        window->PushButton1_Click();
        QCOMPARE(ui(*window).ListView1->model()->rowCount(), 1);
        // The window goes away without its closing step, as in a killed program.
    }
    QCOMPARE(m_fixture.programEnds, 0);

    auto next = m_fixture.makeWindow();
    QCOMPARE(ui(*next).txtProName->text(), QStringLiteral("Typed project"));
    QCOMPARE(ui(*next).ListView1->model()->rowCount(), 1);
    QCOMPARE(next->entry(0).dueBy, QStringLiteral("tomorrow"));
}

void TestForm1::failedListWriteIsReportedOnceARun()
{
    // A folder where the store's file should be: no write can succeed.
    const QString store = QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marvesk")).fileName();
    QFile::remove(store);
    QVERIFY(QDir().mkpath(store));
    {
        auto window = m_fixture.makeWindow();
        QVERIFY(m_dialogs.boxes.isEmpty());
        ui(*window).txtDate->setText(QStringLiteral("a"));
        window->PushButton1_Click();
        QCOMPARE(m_dialogs.errorTexts().size(), 1);
        QVERIFY2(m_dialogs.errorTexts().constFirst().contains(QLatin1String("Form1.PushButton1_Click at line 114")),
                 qPrintable(m_dialogs.errorTexts().constFirst()));
        window->PushButton7_Click();
        window->PushButton5_Click();
        window->PushButton2_Click();
        window->close();
        QCOMPARE(m_dialogs.errorTexts().size(), 1);
        QCOMPARE(m_fixture.programEnds, 1);
    }
    QVERIFY(QDir(store).removeRecursively());

    // A run whose first failing write is the closing step's reports it there.
    auto window = m_fixture.makeWindow();
    QVERIFY(QDir().mkpath(store));
    window->close();
    QVERIFY(QDir(store).removeRecursively());
    QCOMPARE(m_dialogs.errorTexts().size(), 2);
    QVERIFY2(m_dialogs.errorTexts().constLast().contains(QLatin1String("Form1.Form_QueryUnload at line 102")),
             qPrintable(m_dialogs.errorTexts().constLast()));
}

// The store keeps each key to what its field writes: a longer value is never
// written, and one another program stored reads as damaged.
void TestForm1::storedValuesKeepToTheLengthsOfTheirFields_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<bool>("kept");
    QTest::newRow("header text as long as its box holds") << kCompletedByKey << qsizetype(32767) << true;
    QTest::newRow("header text one longer") << kProjectNameKey << qsizetype(32768) << false;
    QTest::newRow("date text as long as read") << kDeadlineKey << kMaxDateTextLength << true;
    QTest::newRow("date text one longer") << kDeadlineKey << kMaxDateTextLength + 1 << false;
    QTest::newRow("list as long as allowed") << kListKey << qsizetype(8 * 1024 * 1024) << true;
    QTest::newRow("list one longer") << kListKey << qsizetype(8 * 1024 * 1024 + 1) << false;
}

void TestForm1::storedValuesKeepToTheLengthsOfTheirFields()
{
    QFETCH(QString, key);
    QFETCH(qsizetype, length);
    QFETCH(bool, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Marvesk.ini"_s);
    const QString value(length, u'v');
    {
        SettingsStore store(path, mainWindowSettingLimits());
        QCOMPARE(store.write(key, value), kept);
        QCOMPARE(store.read(key), kept ? value : QString());
    }
    {
        QSettings other(path, QSettings::IniFormat);
        other.setValue(u"Quorbel/"_s + key, value);
    }
    SettingsStore store(path, mainWindowSettingLimits());
    if (kept)
        QCOMPARE(store.read(key), value);
    else
        QVERIFY_THROWS_EXCEPTION(Failure, store.read(key));
}

void TestForm1::deadlineRoundTrip_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDate>("deadline");
    QTest::addColumn<QString>("shown");

    for (const char *name : {"en_US", "de_DE", "C"}) {
        const QLocale locale(QString::fromLatin1(name));
        const QDate dates[] = {QDate(2026, 3, 31), QDate(9999, 12, 31), QDate(1601, 1, 1), QDate(2031, 7, 4)};
        for (const QDate &date : dates)
            QTest::addRow("%s %s", name, qPrintable(date.toString(Qt::ISODate)))
                << QString::fromLatin1(name) << date << locale.toString(date, QStringLiteral("dd-MMM-yyyy"));
    }
}

void TestForm1::deadlineRoundTrip()
{
    QFETCH(QString, locale);
    QFETCH(QDate, deadline);
    QFETCH(QString, shown);
    QLocale::setDefault(QLocale(locale));

    {
        auto window = m_fixture.makeWindow();
        ui(*window).dtpDate->setDate(deadline);
        QCOMPARE(ui(*window).dtpDate->text(), shown);
    }
    const QString stored = storedValue(u"dtpDate"_s);
    QVERIFY(!stored.isEmpty());

    auto next = m_fixture.makeWindow();
    QVERIFY2(m_dialogs.boxes.isEmpty(), qPrintable(stored));
    QCOMPARE(next->deadline(), deadline);
    QCOMPARE(ui(*next).dtpDate->text(), shown);
}

void TestForm1::closingStoresTheListAndEndsTheProgram()
{
    {
        auto window = m_fixture.makeWindow();
        window->show();
        window->PushButton7_Click();
        QVERIFY(window->close());
        QCOMPARE(m_fixture.programEnds, 1);
        QVERIFY(m_dialogs.errorTexts().isEmpty());
    }
    const QString first = shortDateText(QDate(2026, 3, 7));
    const QString second = shortDateText(QDate(2026, 3, 20));
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("%1^Research^Completed in Time^V|%2^Draft presenatation^In process^")
                                      .arg(first, second));

    auto next = m_fixture.makeWindow();
    QCOMPARE(rowTexts(*next), (QStringList{first + u"|Research|Completed in Time|V"_s,
                                           second + u"|Draft presenatation|In process|"_s}));
    QCOMPARE(next->entries().at(0).isDone(), true);
    QCOMPARE(next->entries().at(1).isDone(), false);
    QCOMPARE(next->deadline(), QDate(2026, 3, 31));
    QCOMPARE(ui(*next).txtName->text(), QStringLiteral("Me"));
    QCOMPARE(ui(*next).txtProName->text(), QStringLiteral("Development project"));
}

void TestForm1::closingStoresAnEmptyListAsEmptyText()
{
    // A list emptied during the run replaces the stored one.
    storeValue(u"ToDo"_s, u"only^entry^^"_s);
    {
        auto window = m_fixture.makeWindow();
        QCOMPARE(ui(*window).ListView1->model()->rowCount(), 1);
        window->PushButton2_Click();
        QCOMPARE(ui(*window).ListView1->model()->rowCount(), 0);
        window->close();
    }
    QVERIFY(hasStoredValue(u"ToDo"_s));
    QCOMPARE(storedValue(u"ToDo"_s), QString());
    QVERIFY(m_dialogs.boxes.isEmpty());

    // Missing before: written as empty text all the same.
    clearStore();
    {
        auto window = m_fixture.makeWindow();
        window->close();
    }
    QVERIFY(hasStoredValue(u"ToDo"_s));
    QCOMPARE(storedValue(u"ToDo"_s), QString());
    auto next = m_fixture.makeWindow();
    QCOMPARE(ui(*next).ListView1->model()->rowCount(), 0);
}

void TestForm1::typedSeparatorsSurviveTheNextStart()
{
    const QList<ListEntry> typed = {
        {u"1|2"_s, u"a^b"_s, u"C:\\work\\"_s, u"V"_s},
        {u"^"_s, u"|"_s, u"\\"_s, u""_s},
        {u"plain"_s, u"text"_s, u"only"_s, u""_s},
    };
    {
        auto window = m_fixture.makeWindow();
        for (const ListEntry &entry : typed) {
            ui(*window).txtDate->setText(entry.dueBy);
            ui(*window).txtProj->setText(entry.project);
            ui(*window).txtNotes->setText(entry.notes);
            ui(*window).Check1->setChecked(entry.isDone());
            window->PushButton1_Click();
        }
        QCOMPARE(window->entries(), typed);
        window->close();
    }
    auto next = m_fixture.makeWindow();
    QCOMPARE(next->entries(), typed);
    QVERIFY(m_dialogs.boxes.isEmpty());
}

void TestForm1::plainStoredListRoundTripsThroughStartAndClose_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("backslash before the done mark")
        << QStringLiteral("a^b^C:\\temp\\^V") << QStringList{u"a|b|C:\\temp\\|V"_s};
    QTest::newRow("network path") << QStringLiteral("\\\\srv\\share^p^n^") << QStringList{u"\\\\srv\\share|p|n|"_s};
    QTest::newRow("backslashes before every separator")
        << QStringLiteral("\\^\\\\^x\\^\\|d^e^^") << QStringList{u"\\|\\\\|x\\|\\"_s, u"d|e||"_s};
    QTest::newRow("non-ASCII and punctuation")
        << QStringLiteral("24.12.2026^Qualit\u00e9 \"A\"^a=b; c,d^V") << QStringList{u"24.12.2026|Qualit\u00e9 \"A\"|a=b; c,d|V"_s};
    QTest::newRow("stand-ins of typed separators")
        << QStringLiteral("1\uE07C2^a\uE05Eb^^") << QStringList{u"1|2|a^b||"_s};
}

void TestForm1::plainStoredListRoundTripsThroughStartAndClose()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, rows);
    storeValue(u"ToDo"_s, stored);
    {
        auto window = m_fixture.makeWindow();
        QCOMPARE(rowTexts(*window), rows);
        window->close();
    }
    QVERIFY2(m_dialogs.boxes.isEmpty(), qPrintable(m_dialogs.boxes.value(0).text));
    QCOMPARE(storedValue(u"ToDo"_s), stored);
    // The bytes on disk come back the same at the next start.
    auto next = m_fixture.makeWindow();
    QCOMPARE(rowTexts(*next), rows);
}

void TestForm1::unavailableSpreadsheetEndsStartUp()
{
    storeValue(u"ToDo"_s, u"|kept^as^stored|"_s);
    storeValue(u"txtName"_s, u"restored first"_s);
    m_fixture.available = false;

    auto window = m_fixture.makeWindow();

    QCOMPARE(m_fixture.availabilityChecks, 1);
    QVERIFY(!window->startUpCompleted());
    QVERIFY(!window->isVisible());
    // The data had been loaded before the check ran.
    QCOMPARE(ui(*window).txtName->text(), QStringLiteral("restored first"));
    QCOMPARE(ui(*window).ListView1->model()->rowCount(), 1);

    // Even a close that reaches the window does not store the list.
    window->close();
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("|kept^as^stored|"));
    QCOMPARE(m_fixture.programEnds, 0);
}

void TestForm1::focusSelectsTheWholeText()
{
    auto window = m_fixture.makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(QApplication::focusWidget(), ui(*window).dtpDate);

    const QList<QLineEdit *> boxes = {ui(*window).txtDate, ui(*window).txtProj, ui(*window).txtNotes, ui(*window).txtName,
                                      ui(*window).txtProName};
    for (QLineEdit *box : boxes) {
        const QString text = QStringLiteral("text of %1").arg(box->objectName());
        box->setText(text);

        // From the keyboard.
        ui(*window).PushButton6->setFocus(Qt::TabFocusReason);
        box->setCursorPosition(3);
        box->setFocus(Qt::TabFocusReason);
        QCOMPARE(box->selectedText(), text);
        QCOMPARE(box->selectionStart(), 0);

        // With a click in the middle of the text: the press keeps the selection.
        ui(*window).PushButton6->setFocus(Qt::TabFocusReason);
        box->setCursorPosition(3);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(box->selectedText(), text);
        QCOMPARE(box->selectionStart(), 0);

        // A second click inside the focused box places the cursor as usual.
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        QVERIFY(box->selectedText().isEmpty());

        // Typing replaces the selected text.
        ui(*window).PushButton6->setFocus(Qt::TabFocusReason);
        box->setFocus(Qt::BacktabFocusReason);
        QTest::keyClicks(box, u"new"_s);
        QCOMPARE(box->text(), QStringLiteral("new"));

        // Focus coming back with the window leaves the cursor alone.
        box->setCursorPosition(1);
        box->clearFocus();
        box->setFocus(Qt::ActiveWindowFocusReason);
        QVERIFY(box->selectedText().isEmpty());
        QCOMPARE(box->cursorPosition(), 1);
    }
}

void TestForm1::tabOrderFollowsTheDesign()
{
    auto window = m_fixture.makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    Form1 &w = *window;
    ui(*window).txtDate->setText(u"x"_s);
    window->PushButton1_Click(); // a row, so that the list takes part as it does in use

    const QList<QWidget *> order = {ui(w).dtpDate,  ui(w).txtName,   ui(w).txtProName, ui(w).PushButton6, ui(w).txtNotes,
                                    ui(w).txtDate,  ui(w).txtProj,   ui(w).Check1,     ui(w).PushButton1, ui(w).PushButton2,
                                    ui(w).ListView1, ui(w).PushButton5, ui(w).PushButton3, ui(w).PushButton7, ui(w).dtpDate};
    QCOMPARE(QApplication::focusWidget(), order.first());
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), order.at(i));
    }
}

void TestForm1::helpShowsTheContactMessage()
{
    auto window = m_fixture.makeWindow();
    QTest::mouseClick(ui(*window).PushButton3, Qt::LeftButton);

    QCOMPARE(m_dialogs.boxes.size(), 1);
    const Box &box = m_dialogs.boxes.first();
    QCOMPARE(box.text, QStringLiteral("Questions? Please contact Team Marvesk at https://www.marvesk.com/contact"));
    QCOMPARE(box.title, applicationTitle());
    QCOMPARE(applicationTitle(), QStringLiteral("Quorbel"));
    QCOMPARE(box.icon, BoxIcon::None);
    QCOMPARE(box.buttons, BoxButtons::Ok);
}

void TestForm1::pointerFeedbackUsesTheHandFile()
{
    // The build puts HAND-M.CUR into the program folder.
    QVERIFY(FileExists(QDir(programFolder()).filePath(u"HAND-M.CUR"_s)));
    auto window = m_fixture.makeWindow();
    Form1 &w = *window;
    QVERIFY(m_dialogs.boxes.isEmpty());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    for (QWidget *button : {ui(w).PushButton1, ui(w).PushButton2, ui(w).PushButton3, ui(w).PushButton5, ui(w).PushButton6,
                            ui(w).PushButton7}) {
        moveMouseOver(ui(w).Frame2);
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        moveMouseOver(button);
        QCOMPARE(w.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(w.cursor().hotSpot(), QPoint(5, 0));
    }
    for (QWidget *plain : {static_cast<QWidget *>(&w), static_cast<QWidget *>(ui(w).Frame1),
                           static_cast<QWidget *>(ui(w).Frame2), static_cast<QWidget *>(ui(w).ListView1),
                           static_cast<QWidget *>(ui(w).txtName), static_cast<QWidget *>(ui(w).txtProName),
                           static_cast<QWidget *>(ui(w).dtpDate)}) {
        moveMouseOver(ui(w).PushButton1);
        QCOMPARE(w.cursor().shape(), Qt::BitmapCursor);
        moveMouseOver(plain);
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    }
    // A move a control passes on to its frame counts for the frame; a move
    // over a button is the button's even where the frame sees it as well.
    moveMouseOver(ui(w).PushButton1);
    moveMouseOver(ui(w).Check1);
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    QMouseEvent overButton(QEvent::MouseMove, QPointF(ui(w).PushButton2->geometry().center()),
                           ui(w).Frame2->mapToGlobal(QPointF(ui(w).PushButton2->geometry().center())), Qt::NoButton,
                           Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(ui(w).Frame2, &overButton);
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor); // the frame leaves it to the button
    moveMouseOver(ui(w).PushButton2);
    QCOMPARE(w.cursor().shape(), Qt::BitmapCursor);
    QCoreApplication::sendEvent(ui(w).Frame2, &overButton);
    QCOMPARE(w.cursor().shape(), Qt::BitmapCursor);

    // The busy pointer is left alone.
    w.setBusyPointer(true);
    QVERIFY(isBusyPointer(&w));
    moveMouseOver(ui(w).PushButton1);
    QCOMPARE(w.cursor().shape(), Qt::WaitCursor);
    moveMouseOver(ui(w).Frame1);
    QCOMPARE(w.cursor().shape(), Qt::WaitCursor);
    w.setBusyPointer(false);
    QVERIFY(!isBusyPointer(&w));
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    moveMouseOver(ui(w).PushButton5);
    QCOMPARE(w.cursor().shape(), Qt::BitmapCursor);
}

void TestForm1::pointerFeedbackWithoutOrWithABadHandFile()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    m_fixture.programFolder = folder.path();
    {
        auto window = m_fixture.makeWindow();
        QVERIFY(m_dialogs.boxes.isEmpty()); // a missing file is no failure
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        moveMouseOver(ui(*window).PushButton1);
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
    }

    QFile bad(folder.filePath(u"HAND-M.CUR"_s));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a cursor at all");
    bad.close();
    storeValue(u"txtProName"_s, u"after the pointer"_s);
    auto window = m_fixture.makeWindow();
    const QStringList errors = m_dialogs.errorTexts();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(loadLocation(106)), qPrintable(errors.first()));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    moveMouseOver(ui(*window).PushButton1);
    QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(ui(*window).txtProName->text(), QStringLiteral("after the pointer"));
}

void TestForm1::handCursorFileHasItsHotspotAtTheFingertip()
{
    const QString path = QDir(programFolder()).filePath(u"HAND-M.CUR"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() > 22);
    QCOMPARE(quint8(bytes.at(2)), quint8(2)); // a cursor, not an icon
    QCOMPARE(quint8(bytes.at(6)), quint8(32));
    QCOMPARE(quint8(bytes.at(7)), quint8(32));

    const std::optional<QCursor> cursor = loadCursorFile(path);
    QVERIFY(cursor);
    QCOMPARE(cursor->hotSpot(), QPoint(5, 0));
    const QImage image = cursor->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 32));
    // The hotspot lies on the drawn fingertip; the corners are transparent.
    QCOMPARE(qAlpha(image.pixel(5, 0)), 255);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(31, 31)), 0);
    QCOMPARE(qAlpha(image.pixel(5, 4)), 0xff);
    // Nothing above the fingertip: it is the topmost drawn point of that column.
    for (int x = 0; x < 32; ++x) {
        if (x != 5 && x != 6)
            QCOMPARE(qAlpha(image.pixel(x, 0)), 0);
    }
}

void TestForm1::templateCommandSeamAndReadAccess()
{
    storeValue(u"ToDo"_s, u"a^b^c^V|d^e^^"_s);
    storeValue(u"txtName"_s, u"Me"_s);
    storeValue(u"txtProName"_s, u"P"_s);
    auto window = m_fixture.makeWindow();

    // Without a command the button does nothing.
    QTest::mouseClick(ui(*window).PushButton6, Qt::LeftButton);
    QVERIFY(m_dialogs.boxes.isEmpty());

    int runs = 0;
    QList<ListEntry> seen;
    window->setTemplateCommand([&] {
        ++runs;
        seen = window->entries();
        QCOMPARE(window->completedBy(), QStringLiteral("Me"));
        QCOMPARE(window->projectName(), QStringLiteral("P"));
        QCOMPARE(window->deadline(), QDate(2026, 3, 10));
    });
    QTest::mouseClick(ui(*window).PushButton6, Qt::LeftButton);
    QCOMPARE(runs, 1);
    QCOMPARE(seen, (QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"V"_s}, {u"d"_s, u"e"_s, u""_s, u""_s}}));
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
