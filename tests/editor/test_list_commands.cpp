// The list commands: Add, Delete Selected, Check Selected As Done, Load
// Sample/Example Data.

#include "DateText.h"
#include "Form1.h"
#include "ScriptedDialogs.h"
#include "editor_test_support.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace quorbel;
using namespace Qt::StringLiterals;
using quorbel::test::ScriptedDialogs;
using quorbel::test::WindowFixture;
using quorbel::test::clearStore;
using quorbel::test::storedValue;
using quorbel::test::storeValue;
using quorbel::test::makeCurrent;
using quorbel::test::selectedRows;
using quorbel::test::ui;

namespace {

QStringList rowTexts(const Form1 &window)
{
    QStringList rows;
    for (const ListEntry &e : window.entries())
        rows << QStringLiteral("%1|%2|%3|%4").arg(e.dueBy, e.project, e.notes, e.done);
    return rows;
}

void selectRow(Form1 &window, int row)
{
    makeCurrent(window, row);
}

QString location(const char *handler, int step)
{
    return QStringLiteral("in Lintravo2021/08/31.Form1.%1 at line %2\r\r").arg(QLatin1String(handler)).arg(step);
}

} // namespace

class TestListCommands : public QObject {
    Q_OBJECT

private slots:
    void init();

    void addTakesTheEntryFields();
    void addWithAllFieldsEmpty();
    void addWithDoneCheckedKeepsTheCheck();
    void deleteRemovesTheCurrentRow();
    void deleteAndCheckOnAnEmptyListDoNothing();
    void rowsButNoneCurrentAreReported();
    void checkTogglesTheDoneMark();
    void listKeepsACurrentRow();
    void sampleDataOnTenthOfMarch();
    void sampleDataTwiceAppendsFourRows();
    void sampleDataInOtherLocales_data();
    void sampleDataInOtherLocales();

private:
    ScriptedDialogs m_dialogs;
    WindowFixture m_fixture;
};

void TestListCommands::init()
{
    m_fixture.freshStart(m_dialogs);
}

void TestListCommands::addTakesTheEntryFields()
{
    storeValue(u"ToDo"_s, u"first^^^"_s);
    auto window = m_fixture.makeWindow();
    ui(*window).txtDate->setText(u"Friday"_s);
    ui(*window).txtProj->setText(u"Garden"_s);
    ui(*window).txtNotes->setText(u"  spaces kept  "_s);
    QTest::mouseClick(ui(*window).PushButton1, Qt::LeftButton);

    QCOMPARE(rowTexts(*window), (QStringList{u"first|||"_s, u"Friday|Garden|  spaces kept  |"_s}));
    QVERIFY(ui(*window).txtDate->text().isEmpty());
    QVERIFY(ui(*window).txtProj->text().isEmpty());
    QVERIFY(ui(*window).txtNotes->text().isEmpty());
    QVERIFY(!ui(*window).Check1->isChecked());
    QVERIFY(m_dialogs.boxes.isEmpty());
    // The current row stays where it was.
    QCOMPARE(selectedRows(*ui(*window).ListView1), QList<int>{0});
}

void TestListCommands::addWithAllFieldsEmpty()
{
    auto window = m_fixture.makeWindow();
    window->PushButton1_Click();
    window->PushButton1_Click();
    QCOMPARE(window->entries(), (QList<ListEntry>{{}, {}}));
    QCOMPARE(ui(*window).ListView1->model()->index(0, 3).data().toString(), QString());
    QVERIFY(m_dialogs.boxes.isEmpty());
}

void TestListCommands::addWithDoneCheckedKeepsTheCheck()
{
    auto window = m_fixture.makeWindow();
    ui(*window).txtDate->setText(u"d"_s);
    ui(*window).txtProj->setText(u"p"_s);
    ui(*window).txtNotes->setText(u"n"_s);
    ui(*window).Check1->setChecked(true);
    window->PushButton1_Click();

    QCOMPARE(rowTexts(*window), (QStringList{u"d|p|n|V"_s}));
    QVERIFY(window->entries().constFirst().isDone());
    QVERIFY(ui(*window).txtDate->text().isEmpty());
    QVERIFY(ui(*window).txtProj->text().isEmpty());
    QVERIFY(ui(*window).txtNotes->text().isEmpty());
    QVERIFY(ui(*window).Check1->isChecked());

    // The next entry takes the checked state as well.
    ui(*window).txtDate->setText(u"e"_s);
    window->PushButton1_Click();
    QCOMPARE(rowTexts(*window), (QStringList{u"d|p|n|V"_s, u"e|||V"_s}));
}

void TestListCommands::deleteRemovesTheCurrentRow()
{
    storeValue(u"ToDo"_s, u"a^^^|b^^^|c^^^|d^^^"_s);
    auto window = m_fixture.makeWindow();

    selectRow(*window, 1);
    QTest::mouseClick(ui(*window).PushButton2, Qt::LeftButton);
    QCOMPARE(rowTexts(*window), (QStringList{u"a|||"_s, u"c|||"_s, u"d|||"_s}));
    // The row that moved up into the gap is current now.
    window->PushButton2_Click();
    QCOMPARE(rowTexts(*window), (QStringList{u"a|||"_s, u"d|||"_s}));
    // Deleting the last row makes the new last row current.
    window->PushButton2_Click();
    QCOMPARE(rowTexts(*window), (QStringList{u"a|||"_s}));
    window->PushButton2_Click();
    QCOMPARE(ui(*window).ListView1->model()->rowCount(), 0);
    // And on the empty list nothing more happens.
    window->PushButton2_Click();
    QCOMPARE(ui(*window).ListView1->model()->rowCount(), 0);
    QVERIFY(m_dialogs.boxes.isEmpty());
}

void TestListCommands::deleteAndCheckOnAnEmptyListDoNothing()
{
    // Even when the current row reader has nothing to offer.
    Form1::Services services = m_fixture.services();
    services.currentRow = [] { return -1; };
    auto window = std::make_unique<Form1>(services);
    window->PushButton2_Click();
    window->PushButton5_Click();
    QCOMPARE(ui(*window).ListView1->model()->rowCount(), 0);
    QVERIFY(m_dialogs.boxes.isEmpty());
}

void TestListCommands::rowsButNoneCurrentAreReported()
{
    storeValue(u"ToDo"_s, u"a^^^V|b^^^"_s);
    int reportedRow = -1;
    Form1::Services services = m_fixture.services();
    services.currentRow = [&reportedRow] { return reportedRow; };
    auto window = std::make_unique<Form1>(services);

    window->PushButton2_Click();
    QStringList errors = m_dialogs.errorTexts();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.at(0).contains(location("PushButton2_Click", 102)), qPrintable(errors.at(0)));
    QCOMPARE(rowTexts(*window), (QStringList{u"a|||V"_s, u"b|||"_s}));

    m_dialogs.clear();
    window->PushButton5_Click();
    errors = m_dialogs.errorTexts();
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors.at(0).contains(location("PushButton5_Click", 102)), qPrintable(errors.at(0)));
    QVERIFY2(errors.at(1).contains(location("PushButton5_Click", 104)), qPrintable(errors.at(1)));
    QCOMPARE(rowTexts(*window), (QStringList{u"a|||V"_s, u"b|||"_s}));

    // A reader that points past the end counts as no current row too.
    m_dialogs.clear();
    reportedRow = 7;
    window->PushButton2_Click();
    QCOMPARE(m_dialogs.errorTexts().size(), 1);
    QCOMPARE(ui(*window).ListView1->model()->rowCount(), 2);
}

void TestListCommands::checkTogglesTheDoneMark()
{
    storeValue(u"ToDo"_s, u"a^^^|b^^^v|c^^^done"_s);
    auto window = m_fixture.makeWindow();

    selectRow(*window, 0);
    QTest::mouseClick(ui(*window).PushButton5, Qt::LeftButton);
    QCOMPARE(ui(*window).ListView1->model()->index(0, 3).data().toString(), QStringLiteral("V"));
    window->PushButton5_Click();
    QCOMPARE(ui(*window).ListView1->model()->index(0, 3).data().toString(), QString());
    window->PushButton5_Click();
    QCOMPARE(ui(*window).ListView1->model()->index(0, 3).data().toString(), QStringLiteral("V"));

    // A small "v" and any other text count as not done.
    selectRow(*window, 1);
    window->PushButton5_Click();
    QCOMPARE(ui(*window).ListView1->model()->index(1, 3).data().toString(), QStringLiteral("V"));
    selectRow(*window, 2);
    window->PushButton5_Click();
    QCOMPARE(ui(*window).ListView1->model()->index(2, 3).data().toString(), QStringLiteral("V"));

    // Only the current row changes.
    QCOMPARE(rowTexts(*window), (QStringList{u"a|||V"_s, u"b|||V"_s, u"c|||V"_s}));
    QVERIFY(m_dialogs.boxes.isEmpty());
}

void TestListCommands::listKeepsACurrentRow()
{
    auto window = m_fixture.makeWindow();
    EntryListView *list = ui(*window).ListView1;
    window->PushButton1_Click();
    QCOMPARE(selectedRows(*list), QList<int>{0});
    window->PushButton1_Click();
    QCOMPARE(selectedRows(*list), QList<int>{0});

    // A row the user deselects is current again once the event is handled.
    selectRow(*window, 1);
    list->clearSelection();
    QVERIFY(selectedRows(*list).isEmpty());
    QTRY_COMPARE(selectedRows(*list), QList<int>{1});
    window->PushButton5_Click();
    QCOMPARE(rowTexts(*window), (QStringList{u"|||"_s, u"|||V"_s}));
}

void TestListCommands::sampleDataOnTenthOfMarch()
{
    // Month/day/year, as a user in the United States sees it.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    storeValue(u"ToDo"_s, u"existing^entry^^"_s);
    auto window = m_fixture.makeWindow();
    QTest::mouseClick(ui(*window).PushButton7, Qt::LeftButton);

    QVERIFY(m_dialogs.boxes.isEmpty());
    QCOMPARE(window->deadline(), QDate(2026, 3, 31));
    QCOMPARE(ui(*window).dtpDate->text(), QStringLiteral("31-Mar-2026"));
    QCOMPARE(ui(*window).txtName->text(), QStringLiteral("Me"));
    QCOMPARE(ui(*window).txtProName->text(), QStringLiteral("Development project"));
    QCOMPARE(rowTexts(*window), (QStringList{u"existing|entry||"_s, u"3/7/2026|Research|Completed in Time|V"_s,
                                             u"3/20/2026|Draft presenatation|In process|"_s}));
    // The entry fields keep the second entry's texts; Done is unchecked.
    QCOMPARE(ui(*window).txtDate->text(), QStringLiteral("3/20/2026"));
    QCOMPARE(ui(*window).txtProj->text(), QStringLiteral("Draft presenatation"));
    QCOMPARE(ui(*window).txtNotes->text(), QStringLiteral("In process"));
    QVERIFY(!ui(*window).Check1->isChecked());

    // The header fields and the list are in the store at once.
    QCOMPARE(storedValue(u"txtName"_s), QStringLiteral("Me"));
    QCOMPARE(storedValue(u"txtProName"_s), QStringLiteral("Development project"));
    QCOMPARE(readGeneralDateText(storedValue(u"dtpDate"_s))->date(), QDate(2026, 3, 31));
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("existing^entry^^|3/7/2026^Research^Completed in Time^V|"
                                                 "3/20/2026^Draft presenatation^In process^"));
}

void TestListCommands::sampleDataTwiceAppendsFourRows()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto window = m_fixture.makeWindow();
    window->PushButton7_Click();
    // Across a month end and a year end.
    m_fixture.clock.setToday(QDate(2026, 12, 30));
    window->PushButton7_Click();

    QCOMPARE(rowTexts(*window), (QStringList{u"3/7/2026|Research|Completed in Time|V"_s,
                                             u"3/20/2026|Draft presenatation|In process|"_s,
                                             u"12/27/2026|Research|Completed in Time|V"_s,
                                             u"1/9/2027|Draft presenatation|In process|"_s}));
    QCOMPARE(window->deadline(), QDate(2027, 1, 20));
}

void TestListCommands::sampleDataInOtherLocales_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("en_US") << QStringLiteral("en_US");
    QTest::newRow("de_DE") << QStringLiteral("de_DE");
}

void TestListCommands::sampleDataInOtherLocales()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    auto window = m_fixture.makeWindow();
    window->PushButton7_Click();

    // Due dates are short dates with the full year, and read back as the same dates.
    const QList<ListEntry> rows = window->entries();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).dueBy, QLocale().toString(QDate(2026, 3, 7), shortDateFormat()));
    QVERIFY2(rows.at(0).dueBy.contains(QLatin1String("2026")), qPrintable(rows.at(0).dueBy));
    QCOMPARE(readDateText(rows.at(0).dueBy), QDate(2026, 3, 7));
    QCOMPARE(readDateText(rows.at(1).dueBy), QDate(2026, 3, 20));
    QCOMPARE(window->deadline(), QDate(2026, 3, 31));
}

QTEST_MAIN(TestListCommands)
#include "test_list_commands.moc"
