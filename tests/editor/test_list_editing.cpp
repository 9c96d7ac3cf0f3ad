// The list edited where it stands: every change undone and redone, cells
// edited in place, the list's keys, rows moved by key and by drag.

#include "EntryList.h"
#include "Form1.h"
#include "ListChanges.h"
#include "ScriptedDialogs.h"
#include "editor_test_support.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStandardItemModel>
#include <QUndoStack>
#include <QtTest>

#include <memory>

using namespace quorbel;
using namespace Qt::StringLiterals;
using quorbel::test::ScriptedDialogs;
using quorbel::test::WindowFixture;
using quorbel::test::storedValue;
using quorbel::test::storeValue;
using quorbel::test::makeCurrent;
using quorbel::test::selectedRows;
using quorbel::test::ui;

namespace {

const QString kStartList = u"3/20/2026^Roof^call the builder^|soon^Garden^seeds^V|3/7/2026^Tax^forms^|"
                           u"1/5/2027^Car^tyres^"_s;

QStringList rowTexts(const Form1 &window)
{
    QStringList rows;
    for (const ListEntry &e : window.entries())
        rows << QStringList{e.dueBy, e.project, e.notes, e.done}.join(u'\t');
    return rows;
}

// What the store holds of the window: the list and the three header fields.
QStringList storedState()
{
    return {storedValue(u"ToDo"_s), storedValue(u"txtName"_s), storedValue(u"txtProName"_s),
            storedValue(u"dtpDate"_s)};
}

QString storedList(const QStringList &rows)
{
    QList<ListEntry> entries;
    for (const QString &row : rows) {
        const QStringList f = row.split(u'\t');
        entries.append({f.at(0), f.at(1), f.at(2), f.at(3)});
    }
    return encodeEntryList(entries);
}

QPoint cellCentre(Form1 &window, int row, EntryField field)
{
    return ui(window).ListView1->visualRect(ui(window).ListView1->model()->index(row, int(field))).center();
}

// A double-click as the mouse makes it: a click, then the second press
// coming as a double-click, and its release.
void doubleClick(QWidget *widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

} // namespace

class TestListEditing : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyChangeIsUndoneAndRedone_data();
    void everyChangeIsUndoneAndRedone();
    void cellsEditedInPlace();
    void listKeys_data();
    void listKeys();
    void rowDraggedWithinTheListMoves();
    void contextMenuShowsItsKeys();

private:
    std::unique_ptr<Form1> shownWindow();

    ScriptedDialogs m_dialogs;
    WindowFixture m_fixture;
};

void TestListEditing::init()
{
    m_fixture.freshStart(m_dialogs);
    // Month/day/year, as the due dates of the list are written.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    storeValue(u"ToDo"_s, kStartList);
    storeValue(u"txtName"_s, u"Ann"_s);
    storeValue(u"txtProName"_s, u"House"_s);
    storeValue(u"dtpDate"_s, u"3/12/2026"_s);
}

void TestListEditing::cleanup()
{
    QVERIFY2(m_dialogs.boxes.isEmpty(), qPrintable(m_dialogs.errorTexts().join(u"\n---\n"_s)));
}

std::unique_ptr<Form1> TestListEditing::shownWindow()
{
    auto window = m_fixture.makeWindow();
    window->show();
    if (!QTest::qWaitForWindowActive(window.get()))
        return nullptr;
    ui(*window).ListView1->setFocus(Qt::OtherFocusReason);
    makeCurrent(*window, 1, EntryField::DueBy);
    return window;
}

void TestListEditing::everyChangeIsUndoneAndRedone_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("name"); // as the Undo and Redo items show it
    QTest::addColumn<QStringList>("after");

    const QStringList start = {u"3/20/2026\tRoof\tcall the builder\t"_s, u"soon\tGarden\tseeds\tV"_s,
                               u"3/7/2026\tTax\tforms\t"_s, u"1/5/2027\tCar\ttyres\t"_s};
    const auto with = [&start](int row, const QString &text) {
        QStringList rows = start;
        rows[row] = text;
        return rows;
    };
    QStringList deleted = start;
    deleted.removeAt(1);

    QTest::newRow("Add") << "add" << "Add" << (start + QStringList{u"new\tp\tn\t"_s});
    QTest::newRow("Delete key") << "delete" << "Delete" << deleted;
    QTest::newRow("Check Selected As Done") << "check" << "Uncheck As Done" << with(1, u"soon\tGarden\tseeds\t"_s);
    QTest::newRow("Load Sample/Example Data")
        << "sample" << "Load Sample Data"
        << (start + QStringList{u"3/7/2026\tResearch\tCompleted in Time\tV"_s, u"3/20/2026\tDraft presenatation\tIn process\t"_s});
    QTest::newRow("edit Due By") << "edit 0" << "Edit Due By" << with(1, u"3/1/2026\tGarden\tseeds\tV"_s);
    QTest::newRow("edit Project") << "edit 1" << "Edit Project" << with(1, u"soon\tGarden shed\tseeds\tV"_s);
    // Texts are taken as they are: blanks, separators of the stored form.
    QTest::newRow("edit Notes") << "edit 2" << "Edit Notes" << with(1, u"soon\tGarden\t seeds^soil|pots \tV"_s);
    QTest::newRow("Space on Done") << "space" << "Uncheck As Done" << with(1, u"soon\tGarden\tseeds\t"_s);
    QTest::newRow("Move Up") << "up" << "Move Up" << QStringList{start.at(1), start.at(0), start.at(2), start.at(3)};
    QTest::newRow("Move Down") << "down" << "Move Down" << QStringList{start.at(0), start.at(2), start.at(1), start.at(3)};
    // Oldest first; "soon" is no date and goes last.
    QTest::newRow("Sort by Due Date") << "sort" << "Sort by Due Date"
                                      << QStringList{start.at(2), start.at(0), start.at(3), start.at(1)};
}

// Each change is one step, stored at once; Ctrl+Z gives back the rows and
// the store it had before, Ctrl+Shift+Z and Ctrl+Y those after.
void TestListEditing::everyChangeIsUndoneAndRedone()
{
    QFETCH(QString, change);
    QFETCH(QString, name);
    QFETCH(QStringList, after);

    auto window = shownWindow();
    QVERIFY(window);
    EntryListView *list = ui(*window).ListView1;
    const QStringList rowsBefore = rowTexts(*window);
    const QStringList storedBefore = storedState();
    QCOMPARE(storedBefore.at(0), kStartList);
    const QString nameBefore = ui(*window).txtName->text();
    QVERIFY(!ui(*window).mnuUndo->isEnabled());
    QVERIFY(!ui(*window).mnuRedo->isEnabled());

    if (change == QLatin1String("add")) {
        ui(*window).txtDate->setText(u"new"_s);
        ui(*window).txtProj->setText(u"p"_s);
        ui(*window).txtNotes->setText(u"n"_s);
        QTest::mouseClick(ui(*window).PushButton1, Qt::LeftButton);
    } else if (change == QLatin1String("delete")) {
        QTest::keyClick(list, Qt::Key_Delete);
    } else if (change == QLatin1String("check")) {
        QTest::mouseClick(ui(*window).PushButton5, Qt::LeftButton);
    } else if (change == QLatin1String("sample")) {
        QTest::mouseClick(ui(*window).PushButton7, Qt::LeftButton);
    } else if (change.startsWith(QLatin1String("edit "))) {
        const auto field = EntryField(change.mid(5).toInt());
        makeCurrent(*window, 1, field);
        QTest::keyClick(list, Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        QCOMPARE(editor->accessibleName(), fieldCaption(field));
        // The whole text is selected: typing replaces it.
        QCOMPARE(editor->selectedText(), rowsBefore.at(1).split(u'\t').at(int(field)));
        const QString typed = after.at(1).split(u'\t').at(int(field));
        for (QChar c : typed)
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), {});
        QTest::keyClick(editor, Qt::Key_Return);
    } else if (change == QLatin1String("space")) {
        makeCurrent(*window, 1, EntryField::Done);
        QTest::keyClick(list, Qt::Key_Space);
    } else if (change == QLatin1String("up")) {
        QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
    } else if (change == QLatin1String("down")) {
        QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
    } else if (change == QLatin1String("sort")) {
        QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    }

    // An edit commits once the editor has closed.
    QTRY_COMPARE(rowTexts(*window), after);
    QCOMPARE(storedValue(u"ToDo"_s), storedList(after));
    QCOMPARE(window->undoStack()->count(), 1);
    QCOMPARE(ui(*window).mnuUndo->text(), u"Undo "_s + name);
    QCOMPARE(ui(*window).mnuRedo->text(), u"Redo"_s);
    if (change == QLatin1String("up") || change == QLatin1String("down")) {
        // The moved row stays current.
        QCOMPARE(list->currentIndex().row(), change == QLatin1String("up") ? 0 : 2);
        QCOMPARE(selectedRows(*list), QList<int>{list->currentIndex().row()});
    }
    const QStringList storedAfter = storedState();

    // The keys work wherever the focus is but in a text field: on the list,
    // or on the button just clicked.
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QVERIFY2(!qobject_cast<QLineEdit *>(focus), focus->metaObject()->className());
    QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(rowTexts(*window), rowsBefore);
    QCOMPARE(storedState(), storedBefore);
    QCOMPARE(ui(*window).txtName->text(), nameBefore);
    QVERIFY(!ui(*window).mnuUndo->isEnabled());
    QCOMPARE(ui(*window).mnuRedo->text(), u"Redo "_s + name);

    QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(rowTexts(*window), after);
    QCOMPARE(storedState(), storedAfter);
    QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(rowTexts(*window), rowsBefore);
    QCOMPARE(storedState(), storedBefore);
    QTest::keyClick(focus, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(rowTexts(*window), after);
    QCOMPARE(storedState(), storedAfter);
    QCOMPARE(window->undoStack()->count(), 1);
}

void TestListEditing::cellsEditedInPlace()
{
    auto window = shownWindow();
    QVERIFY(window);
    EntryListView *list = ui(*window).ListView1;
    const auto cellText = [&](int row, EntryField field) { return fieldText(window->entry(row), field); };
    const auto type = [](const QString &text) {
        QWidget *editor = QApplication::focusWidget();
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), {});
    };

    // Enter opens the editor and Enter commits.
    makeCurrent(*window, 0, EntryField::Project);
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    type(u"Roof and gutter"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(cellText(0, EntryField::Project), u"Roof and gutter"_s);
    QTRY_COMPARE(QApplication::focusWidget(), list);
    QCOMPARE(window->undoStack()->count(), 1);
    QCOMPARE(storedValue(u"ToDo"_s).section(u'^', 1, 1), u"Roof and gutter"_s);

    // A double-click opens it; leaving the cell for another field commits.
    doubleClick(list->viewport(), cellCentre(*window, 2, EntryField::Notes));
    QTRY_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    type(u"forms, receipts"_s);
    QTest::mouseClick(ui(*window).txtProj, Qt::LeftButton);
    QTRY_COMPARE(cellText(2, EntryField::Notes), u"forms, receipts"_s);
    QCOMPARE(window->undoStack()->count(), 2);
    QVERIFY(storedValue(u"ToDo"_s).contains(u"^Tax^forms, receipts^"_s));

    // Tab commits too, and opens no other cell.
    list->setFocus(Qt::OtherFocusReason);
    makeCurrent(*window, 1, EntryField::Project);
    QTest::keyClick(list, Qt::Key_F2);
    QVERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    type(u"Garden shed"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(cellText(1, EntryField::Project), u"Garden shed"_s);
    QTRY_COMPARE(QApplication::focusWidget(), list);
    QVERIFY(!list->isEditing());
    QCOMPARE(window->undoStack()->count(), 3);

    // Escape cancels: nothing changes, nothing is stored or kept for undo.
    const QString stored = storedValue(u"ToDo"_s);
    list->setFocus(Qt::OtherFocusReason);
    makeCurrent(*window, 3, EntryField::DueBy);
    QTest::keyClick(list, Qt::Key_F2);
    QVERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    type(u"never"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(QApplication::focusWidget(), list);
    QCOMPARE(cellText(3, EntryField::DueBy), u"1/5/2027"_s);
    QCOMPARE(storedValue(u"ToDo"_s), stored);
    QCOMPARE(window->undoStack()->count(), 3);

    // The arrow keys take the current cell to Done; Space there switches the
    // mark as "Check Selected As Done" does, and so does a double-click; the
    // cell opens no editor (listKeys has the other keys).
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(list, Qt::Key_Right);
    QCOMPARE(list->currentField(), EntryField::Done);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(cellText(3, EntryField::Done), kDoneMark);
    QCOMPARE(ui(*window).mnuUndo->text(), u"Undo Check As Done"_s);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(cellText(3, EntryField::Done), QString());
    doubleClick(list->viewport(), cellCentre(*window, 0, EntryField::Done));
    QCOMPARE(cellText(0, EntryField::Done), kDoneMark);
    QCOMPARE(QApplication::focusWidget(), list);
    QCOMPARE(window->undoStack()->count(), 6);
    QCOMPARE(storedValue(u"ToDo"_s), encodeEntryList(window->entries()));

    // A header field keeps its own text undo: Ctrl+Z there leaves the list.
    ui(*window).txtProName->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(ui(*window).txtProName, u"X"_s);
    QCOMPARE(ui(*window).txtProName->text(), u"X"_s);
    QTest::keyClick(ui(*window).txtProName, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(ui(*window).txtProName->text(), u"House"_s);
    QCOMPARE(window->undoStack()->index(), 6);
    QCOMPARE(cellText(0, EntryField::Done), kDoneMark);

    // A window that goes while a cell is being edited writes nothing more.
    const QString last = storedValue(u"ToDo"_s);
    list->setFocus(Qt::OtherFocusReason);
    makeCurrent(*window, 0, EntryField::Notes);
    QTest::keyClick(list, Qt::Key_F2);
    QVERIFY(list->isEditing());
    type(u"gone"_s);
    window.reset();
    QCOMPARE(storedValue(u"ToDo"_s), last);
}

void TestListEditing::listKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("switches"); // the current entry's Done mark
    QTest::addColumn<bool>("edits");    // opens the cell's editor

    for (int column = 0; column < kEntryFieldCount; ++column)
        QTest::addRow("Space on %s", qPrintable(fieldCaption(EntryField(column))))
            << int(Qt::Key_Space) << column << true << false;
    QTest::newRow("F2 on Done") << int(Qt::Key_F2) << int(EntryField::Done) << false << false;
    QTest::newRow("Return on Done") << int(Qt::Key_Return) << int(EntryField::Done) << false << false;
    QTest::newRow("Enter on Done") << int(Qt::Key_Enter) << int(EntryField::Done) << false << false;
    QTest::newRow("F2 on Notes") << int(Qt::Key_F2) << int(EntryField::Notes) << false << true;
    QTest::newRow("Return on Due By") << int(Qt::Key_Return) << int(EntryField::DueBy) << false << true;
}

// Space switches the mark from any column of the current entry; F2 and Enter
// edit a text cell and leave a Done cell as it is. The current cell keeps
// its place and is framed on its selected row.
void TestListEditing::listKeys()
{
    QFETCH(int, key);
    QFETCH(int, column);
    QFETCH(bool, switches);
    QFETCH(bool, edits);

    auto window = shownWindow();
    QVERIFY(window);
    EntryListView *list = ui(*window).ListView1;
    makeCurrent(*window, 1, EntryField(column));
    QTRY_VERIFY(list->hasFocus());
    const QRect cell = list->visualRect(list->currentIndex());
    const QImage shot = list->viewport()->grab().toImage();
    const QColor frame = list->palette().color(QPalette::HighlightedText);
    QVERIFY(frame != list->palette().color(QPalette::Highlight));
    QCOMPARE(shot.pixelColor(cell.left() + 1, cell.center().y()), frame);
    QCOMPARE(shot.pixelColor(cell.center().x(), cell.top() + 1), frame);
    const ListEntry before = window->entry(1);

    QTest::keyClick(list, Qt::Key(key));

    QCOMPARE(list->isEditing(), edits);
    if (edits) {
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        QCOMPARE(editor->text(), fieldText(before, EntryField(column)));
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(!list->isEditing());
    }
    ListEntry after = before;
    if (switches)
        after.done = before.isDone() ? QString() : kDoneMark;
    QCOMPARE(window->entry(1), after);
    QCOMPARE(window->undoStack()->count(), switches ? 1 : 0);
    QCOMPARE(storedValue(u"ToDo"_s), encodeEntryList(window->entries()));
    QCOMPARE(list->currentIndex(), list->model()->index(1, column));
    QCOMPARE(selectedRows(*list), QList<int>{1});
}

void TestListEditing::rowDraggedWithinTheListMoves()
{
    auto window = shownWindow();
    QVERIFY(window);
    EntryListView *list = ui(*window).ListView1;
    QWidget *viewport = list->viewport();
    const QStringList start = rowTexts(*window);

    // Dropped from outside, another list's rows and plain text are refused,
    // over a row and below the last one.
    QStandardItemModel other;
    other.appendRow({new QStandardItem(u"x"_s), new QStandardItem(u"y"_s), new QStandardItem(u"z"_s),
                     new QStandardItem(u"V"_s)});
    const std::unique_ptr<QMimeData> otherRows(other.mimeData({other.index(0, 0)}));
    QMimeData text;
    text.setText(u"x^y^z^V"_s);
    for (const QMimeData *data : {static_cast<const QMimeData *>(otherRows.get()), static_cast<const QMimeData *>(&text)}) {
        for (const QPoint at : {cellCentre(*window, 1, EntryField::Project), QPoint(20, viewport->height() - 4)}) {
            const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
            QDragEnterEvent enter(at, actions, data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &enter);
            QVERIFY(!enter.isAccepted());
            QDragMoveEvent move(at, actions, data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &move);
            QVERIFY(!move.isAccepted());
            QDropEvent drop(QPointF(at), actions, data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &drop);
            QVERIFY(!drop.isAccepted());
        }
    }
    QCOMPARE(rowTexts(*window), start);
    QCOMPARE(window->undoStack()->count(), 0);
    QCOMPARE(storedValue(u"ToDo"_s), kStartList);

    // The third row dragged onto the upper half of the first: it goes to
    // the top and stays current. The selection does not follow the mouse.
    const QPoint from = cellCentre(*window, 2, EntryField::Project);
    const QPoint to(from.x(), list->visualRect(list->model()->index(0, 0)).top() + 2);
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from - QPoint(0, QApplication::startDragDistance() + 1));
    QVERIFY(list->isDraggingRow());
    QTest::mouseMove(viewport, to);
    QCOMPARE(list->dropRow(to), 0);
    QCOMPARE(selectedRows(*list), QList<int>{2});
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    QVERIFY(!list->isDraggingRow());
    QCOMPARE(rowTexts(*window), (QStringList{start.at(2), start.at(0), start.at(1), start.at(3)}));
    QCOMPARE(list->currentIndex().row(), 0);
    QCOMPARE(window->undoStack()->count(), 1);
    QCOMPARE(ui(*window).mnuUndo->text(), u"Undo Move Up"_s);
    QCOMPARE(storedValue(u"ToDo"_s), storedList(rowTexts(*window)));

    // Below the last row it goes to the end; let go outside the list, or
    // after Escape, it stays.
    const QPoint below(from.x(), list->visualRect(list->model()->index(3, 0)).bottom() + 6);
    QTest::mousePress(viewport, Qt::LeftButton, {}, cellCentre(*window, 0, EntryField::DueBy));
    QTest::mouseMove(viewport, below);
    QTest::mouseMove(viewport, below + QPoint(0, 1));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, below + QPoint(0, 1));
    QCOMPARE(rowTexts(*window), (QStringList{start.at(0), start.at(1), start.at(3), start.at(2)}));
    const QStringList moved = rowTexts(*window);
    QTest::mousePress(viewport, Qt::LeftButton, {}, cellCentre(*window, 3, EntryField::DueBy));
    QTest::mouseMove(viewport, to);
    QTest::mouseMove(viewport, to + QPoint(0, 1));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(to.x(), -30));
    QTest::mousePress(viewport, Qt::LeftButton, {}, cellCentre(*window, 3, EntryField::DueBy));
    QTest::mouseMove(viewport, to);
    QTest::mouseMove(viewport, to + QPoint(0, 1));
    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(!list->isDraggingRow());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    QCOMPARE(rowTexts(*window), moved);
    QCOMPARE(window->undoStack()->count(), 2);
}

// The context menu: its items and their keys, opened and worked by the
// keyboard alone, each item named for a screen reader.
void TestListEditing::contextMenuShowsItsKeys()
{
    auto window = shownWindow();
    QVERIFY(window);
    EntryListView *list = ui(*window).ListView1;
    QMenu *menu = ui(*window).mnuList;

    const QList<std::pair<QString, QString>> expected = {
        {u"Undo"_s, u"Ctrl+Z"_s},       {u"Redo"_s, u"Ctrl+Shift+Z"_s},
        {u"Edit"_s, u"F2"_s},           {u"Move Up"_s, u"Alt+Up"_s},
        {u"Move Down"_s, u"Alt+Down"_s}, {u"Sort by Due Date"_s, u"Ctrl+Shift+S"_s},
        {u"Delete Selected"_s, u"Del"_s},
    };
    QList<QAction *> items;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            items << action;
    }
    QCOMPARE(items.size(), expected.size());
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(items.at(i)->text(), expected.at(i).first);
        QCOMPARE(items.at(i)->shortcut().toString(QKeySequence::PortableText), expected.at(i).second);
        QVERIFY(items.at(i)->isShortcutVisibleInContextMenu());
    }
    QCOMPARE(ui(*window).mnuRedo->shortcuts().value(1), QKeySequence(Qt::CTRL | Qt::Key_Y));

    // Shift+F10 opens it by the current row; Up from the top reaches the last
    // item, Delete Selected, and Return runs it.
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(menu->geometry().top() >= list->viewport()->mapToGlobal(list->visualRect(list->currentIndex()).topLeft()).y());
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(menu);
    QVERIFY(face);
    QCOMPARE(face->text(QAccessible::Name), u"To Do List Entries"_s);
    QStringList names;
    for (int i = 0; i < face->childCount(); ++i) {
        if (face->child(i)->role() == QAccessible::MenuItem)
            names << face->child(i)->text(QAccessible::Name);
    }
    QCOMPARE(names, (QStringList{u"Undo"_s, u"Redo"_s, u"Edit"_s, u"Move Up"_s, u"Move Down"_s, u"Sort by Due Date"_s,
                                 u"Delete Selected"_s}));
    QTest::keyClick(menu, Qt::Key_Up);
    QTest::keyClick(menu, Qt::Key_Return);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(window->entryCount(), 3);
    QCOMPARE(window->undoStack()->count(), 1);

    // The menu key (as the platform reports it) opens it again; Undo now names the change and undoes it.
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(1, 1), list->mapToGlobal(QPoint(1, 1)));
    QCoreApplication::sendEvent(list, &menuKey);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(ui(*window).mnuUndo->text(), u"Undo Delete"_s);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(storedValue(u"ToDo"_s), kStartList);

    // Edit, chosen in the menu, opens the current cell's editor.
    makeCurrent(*window, 1, EntryField::Notes);
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QTRY_VERIFY(menu->isVisible());
    // A menu takes a click only once the pointer has moved over it (Qt 6.8
    // ignores a release where the menu opened), as a hand's does.
    const QPoint item = menu->actionGeometry(ui(*window).mnuEdit).center();
    for (int step = 8; step >= 0; --step)
        QTest::mouseMove(menu, item + QPoint(0, step * 2));
    QTest::mouseClick(menu, Qt::LeftButton, {}, item);
    QTRY_VERIFY(!menu->isVisible());
    // The window takes the focus back from the closed menu when the platform
    // makes it active again, which need not be at once.
    QTRY_VERIFY(list->isEditing());
    auto *editor = list->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QTRY_VERIFY(editor->hasFocus());
    QCOMPARE(editor->text(), u"seeds"_s);
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_VERIFY(!list->isEditing());
}

QTEST_MAIN(TestListEditing)
#include "test_list_editing.moc"
