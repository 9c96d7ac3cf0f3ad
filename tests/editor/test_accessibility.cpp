// What a screen reader and a keyboard user get from both windows: a name for
// every control, the list's rows column by column, and push buttons pressed
// with Space and Return.

#include "Form1.h"
#include "Form2.h"
#include "AccessiblePicture.h"
#include "AccessibleWindows.h"
#include "Controls.h"
#include "Form2Host.h"
#include "PictureBox.h"
#include "ScriptedDialogs.h"
#include "editor_test_support.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

using namespace quorbel;
using namespace Qt::Literals::StringLiterals;
using quorbel::test::ScriptedDialogs;
using quorbel::test::QuietHost;
using quorbel::test::WindowFixture;
using quorbel::test::ui;

namespace {

QAccessibleInterface *accessible(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString accessibleName(QObject *object)
{
    QAccessibleInterface *face = accessible(object);
    return face ? face->text(QAccessible::Name) : QString();
}

// Every widget the keyboard can reach: those with a focus policy that takes
// Tab, leaving out the inner parts of composite controls, which pass their
// focus to the control itself.
QList<QWidget *> keyboardReachable(QWidget *window)
{
    QList<QWidget *> reachable;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!(widget->focusPolicy() & Qt::TabFocus) || widget->isHidden())
            continue;
        if (widget->focusProxy() || qobject_cast<QAbstractSpinBox *>(widget->parentWidget()))
            continue;
        reachable << widget;
    }
    return reachable;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void mainWindowControlsAreNamed_data();
    void mainWindowControlsAreNamed();
    void everyReachableControlHasAName();
    void listRowsReadTheirFourColumns();
    void previewControlsAreNamed_data();
    void previewControlsAreNamed();
    void spaceAndReturnPressTheFocusedButton_data();
    void spaceAndReturnPressTheFocusedButton();
    void returnWithAModifierOrOnADisabledButtonDoesNothing();

private:
    ScriptedDialogs m_dialogs;
    WindowFixture m_fixture;
};

void TestAccessibility::initTestCase()
{
    QAccessible::setActive(true);
    // As the program's start does.
    installAccessibleWindows();
    installAccessiblePicture();
}

void TestAccessibility::init()
{
    m_fixture.freshStart(m_dialogs);
}

void TestAccessibility::mainWindowControlsAreNamed_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");

    // The window is an application window, named by its caption.
    QTest::newRow("window") << "Form1" << "Quorbel" << int(QAccessible::Window);
    // Fields take the text of the label in front of them.
    QTest::newRow("deadline") << "dtpDate" << "Deadline:" << int(QAccessible::SpinBox);
    QTest::newRow("completed by") << "txtName" << "To Be Completed By:" << int(QAccessible::EditableText);
    QTest::newRow("project name") << "txtProName" << "Project Name:" << int(QAccessible::EditableText);
    QTest::newRow("due by") << "txtDate" << "Due By:" << int(QAccessible::EditableText);
    QTest::newRow("project") << "txtProj" << "Project:" << int(QAccessible::EditableText);
    QTest::newRow("notes") << "txtNotes" << "Notes:" << int(QAccessible::EditableText);
    QTest::newRow("done") << "Check1" << "Done" << int(QAccessible::CheckBox);
    QTest::newRow("list") << "ListView1" << "To Do List Entries" << int(QAccessible::Tree);
    QTest::newRow("general options") << "Frame1" << "General Options" << int(QAccessible::Grouping);
    QTest::newRow("entries frame") << "Frame2" << "To Do List Entries" << int(QAccessible::Grouping);
    QTest::newRow("start") << "PushButton6" << "Start Creating Template" << int(QAccessible::Button);
    QTest::newRow("help") << "PushButton3" << "Help" << int(QAccessible::Button);
    QTest::newRow("sample") << "PushButton7" << "Load Sample/Example Data" << int(QAccessible::Button);
    QTest::newRow("add") << "PushButton1" << "Add" << int(QAccessible::Button);
    QTest::newRow("delete") << "PushButton2" << "Delete Selected" << int(QAccessible::Button);
    QTest::newRow("check done") << "PushButton5" << "Check Selected As Done" << int(QAccessible::Button);
}

void TestAccessibility::mainWindowControlsAreNamed()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(int, role);

    auto window = m_fixture.makeWindow();
    auto *widget = control == window->objectName() ? window.get() : window->findChild<QWidget *>(control);
    QVERIFY(widget);
    QAccessibleInterface *face = accessible(widget);
    QVERIFY(face);
    QCOMPARE(face->text(QAccessible::Name), name);
    QCOMPARE(int(face->role()), role);
}

void TestAccessibility::everyReachableControlHasAName()
{
    auto main = m_fixture.makeWindow();
    QuietHost host;
    Form2 preview(host, m_dialogs);
    for (QWidget *window : {static_cast<QWidget *>(main.get()), static_cast<QWidget *>(&preview)}) {
        const QList<QWidget *> reachable = keyboardReachable(window);
        QVERIFY(reachable.size() >= 4);
        for (QWidget *widget : reachable)
            QVERIFY2(!accessibleName(widget).trimmed().isEmpty(), qPrintable(widget->objectName()));
    }
}

void TestAccessibility::listRowsReadTheirFourColumns()
{
    auto window = m_fixture.makeWindow();
    const QList<QStringList> rows = {
        {u"12/20/26"_s, u"Roof"_s, u"Call the builder"_s, u"V"_s},
        {u"01/05/27"_s, u"Garden"_s, u"Seeds, soil"_s, u""_s},
    };
    for (const QStringList &row : rows) {
        ui(*window).txtDate->setText(row.at(0));
        ui(*window).txtProj->setText(row.at(1));
        ui(*window).txtNotes->setText(row.at(2));
        ui(*window).Check1->setChecked(row.at(3) == QLatin1String("V"));
        ui(*window).PushButton1->click();
    }
    QCOMPARE(ui(*window).ListView1->model()->rowCount(), 2);
    // The tree lays its rows out when it is shown, as a screen reader finds it.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    QAccessibleInterface *list = accessible(ui(*window).ListView1);
    QVERIFY(list);
    QAccessibleTableInterface *table = list->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 4);
    QCOMPARE(table->rowCount(), 2);
    const QStringList headers = {u"Due By"_s, u"Project"_s, u"Notes"_s, u"Done"_s};
    for (int column = 0; column < 4; ++column) {
        QAccessibleInterface *cell = table->cellAt(0, column);
        QVERIFY(cell);
        QAccessibleTableCellInterface *cellTable = cell->tableCellInterface();
        QVERIFY(cellTable);
        const QList<QAccessibleInterface *> headerCells = cellTable->columnHeaderCells();
        QCOMPARE(headerCells.size(), 1);
        QCOMPARE(headerCells.first()->text(QAccessible::Name), headers.at(column));
    }
    for (int r = 0; r < rows.size(); ++r) {
        for (int column = 0; column < 4; ++column) {
            QAccessibleInterface *cell = table->cellAt(r, column);
            QVERIFY(cell);
            QCOMPARE(cell->text(QAccessible::Name), rows.at(r).at(column));
            QCOMPARE(cell->tableCellInterface()->rowIndex(), r);
            QCOMPARE(cell->tableCellInterface()->columnIndex(), column);
        }
    }
}

void TestAccessibility::previewControlsAreNamed_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name"); // empty: any name but an empty one
    // What a picture box says it shows, holding a 40 x 30 picture described
    // as the template command describes it.
    QTest::addColumn<QString>("description");

    QTest::newRow("window") << "" << int(QAccessible::Window) << "Quorbel" << "";
    // The viewport describes the picture it frames.
    QTest::newRow("picture area") << "Picture2" << int(QAccessible::Graphic) << "Picture of the filled sheet"
                                  << "The sheet filled with 2 to-do entries; 40 by 30 pixels";
    QTest::newRow("picture") << "Picture1" << int(QAccessible::Graphic) << "Filled sheet"
                             << "The sheet filled with 2 to-do entries; 40 by 30 pixels";
    QTest::newRow("horizontal bar") << "HScroll1" << int(QAccessible::ScrollBar) << "" << "";
    QTest::newRow("vertical bar") << "VScroll1" << int(QAccessible::ScrollBar) << "" << "";
    QTest::newRow("zoom frame") << "Frame1" << int(QAccessible::Grouping) << "Zoom:" << "";
    QTest::newRow("zoom in") << "PushButton1" << int(QAccessible::Button) << "Zoom In" << "";
    QTest::newRow("zoom out") << "PushButton2" << int(QAccessible::Button) << "Zoom Out" << "";
    QTest::newRow("back") << "PushButton8" << int(QAccessible::Button) << "< Back" << "";
    QTest::newRow("save") << "PushButton6" << int(QAccessible::Button) << "Save Results To Excel File" << "";
}

void TestAccessibility::previewControlsAreNamed()
{
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QString, description);

    QuietHost host;
    Form2 preview(host, m_dialogs);
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    preview.setPicture(picture);
    preview.setPictureDescription(u"The sheet filled with 2 to-do entries"_s);
    QWidget *widget = control.isEmpty() ? &preview : preview.findChild<QWidget *>(control);
    QVERIFY(widget);
    QAccessibleInterface *face = accessible(widget);
    QVERIFY(face);
    if (role >= 0)
        QCOMPARE(int(face->role()), role);
    if (name.isEmpty())
        QVERIFY(!face->text(QAccessible::Name).trimmed().isEmpty());
    else
        QCOMPARE(face->text(QAccessible::Name), name);
    if (!description.isEmpty()) {
        QCOMPARE(face->text(QAccessible::Description), description);
        // Shown, the window keeps the picture in its zoom holder and draws
        // it: the boxes still tell what they show.
        preview.show();
        QVERIFY(QTest::qWaitForWindowActive(&preview));
        QCOMPARE(accessible(widget)->text(QAccessible::Description), description);
    }

    // The two bars are told apart by their names.
    QVERIFY(accessibleName(test::control<QScrollBar>(preview, "HScroll1"))
            != accessibleName(test::control<QScrollBar>(preview, "VScroll1")));
}

void TestAccessibility::spaceAndReturnPressTheFocusedButton_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");

    for (const auto &[key, keyName] : {std::pair{Qt::Key_Space, "Space"}, std::pair{Qt::Key_Return, "Return"},
                                       std::pair{Qt::Key_Enter, "Enter"}}) {
        for (const char *button : {"PushButton1", "PushButton2", "PushButton3", "PushButton5", "PushButton6",
                                   "PushButton7"})
            QTest::addRow("main %s %s", button, keyName) << "main" << button << int(key);
        for (const char *button : {"PushButton1", "PushButton2", "PushButton6", "PushButton8"})
            QTest::addRow("preview %s %s", button, keyName) << "preview" << button << int(key);
    }
}

void TestAccessibility::spaceAndReturnPressTheFocusedButton()
{
    QFETCH(QString, window);
    QFETCH(QString, button);
    QFETCH(int, key);

    auto main = m_fixture.makeWindow();
    QuietHost host;
    Form2 preview(host, m_dialogs);
    QWidget *shown = window == QLatin1String("main") ? static_cast<QWidget *>(main.get()) : static_cast<QWidget *>(&preview);
    shown->show();
    QVERIFY(QTest::qWaitForWindowActive(shown));

    auto *target = shown->findChild<QPushButton *>(button);
    QVERIFY(target);
    // The button's command runs; only the press itself is counted here.
    QSignalSpy clicks(target, &QAbstractButton::clicked);
    target->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(clicks.count(), 1);
}

void TestAccessibility::returnWithAModifierOrOnADisabledButtonDoesNothing()
{
    auto main = m_fixture.makeWindow();
    main->show();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    QSignalSpy clicks(ui(*main).PushButton7, &QAbstractButton::clicked);
    ui(*main).PushButton7->setFocus(Qt::TabFocusReason);
    QTest::keyClick(ui(*main).PushButton7, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(clicks.count(), 0);
    ui(*main).PushButton7->setEnabled(false);
    QTest::keyClick(ui(*main).PushButton7, Qt::Key_Return);
    QCOMPARE(clicks.count(), 0);
    ui(*main).PushButton7->setEnabled(true);
    ui(*main).PushButton7->setFocus(Qt::TabFocusReason);
    QTest::keyClick(ui(*main).PushButton7, Qt::Key_Return);
    QCOMPARE(clicks.count(), 1);
}

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
