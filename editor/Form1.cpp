#include "Form1.h"

#include "Clock.h"
#include "DateText.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "FileProcs.h"
#include "Form1Columns.h"
#include "Form1Settings.h"
#include "IsInstalled.h"
#include "ListChanges.h"
#include "ListViewRows.h"
#include "Offices.h"
#include "SettingsStore.h"
#include "TimingLog.h"
#include "Title.h"
#include "WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>

namespace quorbel {
namespace {

const QString kHelpText = QStringLiteral("Questions? Please contact Team Marvesk at https://www.marvesk.com/contact");

void setCell(QTreeWidgetItem *row, ListColumn column, const QString &text)
{
    if (!row)
        throw Failure(QStringLiteral("There is no new row of the list to fill."));
    row->setText(column, text);
}

} // namespace

// ---------------------------------------------------------------------------
// Form1

Form1::Form1(Services services, QWidget *parent)
    : QWidget(parent), m_services(std::move(services))
{
    if (!m_services.dialogs)
        m_services.dialogs = &m_stderrDialogs;
    if (!m_services.isInstalled)
        m_services.isInstalled = [this] {
            // Started and ended again: nothing is kept ahead of need here.
            Offices offices(Options::fromEnvironment().withoutOfficesAhead());
            return IsInstalled(offices, *m_services.dialogs);
        };
    if (!m_services.endProgram)
        m_services.endProgram = [] { QCoreApplication::exit(0); };
    if (m_services.programFolder.isEmpty())
        m_services.programFolder = programFolder();

    createControls();
    Form_Load();
    if (m_startUpCompleted)
        centreOnScreen(this);
}

Form1::~Form1()
{
    // A cell editor still open loses the focus while the window goes; what
    // it holds is no change of the list any more.
    ListView1->disconnect(this);
}

QDate Form1::today() const
{
    static const Clock systemClock;
    return (m_services.clock ? m_services.clock : &systemClock)->today();
}

// ---------------------------------------------------------------------------
// Start-up and closing

void Form1::Form_Load()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.Form_Load"));
    QCursor hand(Qt::ArrowCursor);

    steps(100, [&] { ApplyWindowSkin(this, m_services.programFolder); });
    // One statement a call: a failing statement is reported and the next
    // one, of the same step or the next, runs all the same.
    steps(102, [&] { setWindowTitle(kProductTitle); });
    steps(102, [&] { setWindowIcon(QApplication::windowIcon()); });
    steps(104, [&] { SetApplicationTitle(); });
    const QString cursorPath = QDir(m_services.programFolder).filePath(kHandPointerFile);
    if (steps.test(106, [&] { return FileExists(cursorPath); }))
        steps(106, [&] { hand = readHandPointer(cursorPath); });
    installPointerFeedback(this, hand, {PushButton1, PushButton2, PushButton3, PushButton5, PushButton6, PushButton7},
                           {this, Frame1, Frame2, ListView1, ListView1->viewport(), txtName, txtProName, dtpDate});

    QString storedDeadline;
    steps(108, [&] { storedDeadline = readStoredDeadline(); });
    if (steps.test(108, [&] { return storedDeadline.isEmpty(); })) {
        steps(108, [&] { dtpDate->setDate(today()); });
    } else {
        steps(108, [&] { dtpDate->setDate(deadlineFromStoredText(storedDeadline)); });
    }
    steps(110, [&] { txtName->setText(readStoredCompletedBy()); });
    steps(112, [&] { txtProName->setText(readStoredProjectName()); });

    QString storedList;
    QList<ListEntry> restored;
    steps(114, [&] { storedList = readStoredList(); });
    steps(114, [&] {
        // Each field with no column is reported in a box of its own, up to
        // a few boxes.
        m_keepStoredList = !decodeStoredList(storedList, ListView1->topLevelItemCount(), restored,
                                             [&](const Failure &failure) { steps(114, [&] { throw failure; }); });
    });
    for (const ListEntry &entry : std::as_const(restored)) {
        QTreeWidgetItem *row = nullptr;
        steps(114, [&] { row = appendRow(entry.dueBy); });
        steps(114, [&] { setCell(row, ProjectColumn, entry.project); });
        steps(114, [&] { setCell(row, NotesColumn, entry.notes); });
        steps(114, [&] { setCell(row, DoneColumn, entry.done); });
    }

    bool installed = true;
    logTiming("start-up: availability check starts");
    steps(116, [&] { installed = m_services.isInstalled(); });
    logTiming("start-up: availability check done");
    if (!installed) {
        // The check has shown its box: the program ends without this window
        // and without its closing step.
        m_closingSuppressed = true;
        return;
    }
    m_startUpCompleted = true;
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The close is never cancelled.
    event->accept();
    if (m_closingSuppressed)
        return;
    ListView1->commitOpenEditor();
    Form_QueryUnload();
    Form_Unload();
}

void Form1::Form_QueryUnload()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.Form_QueryUnload"));
    storeChangedList(steps, 100, 102);
}

// The list is written at every change, in the form the closing step writes,
// so that a program killed or crashed loses nothing. A list that could not
// be built is not written: the stored list is better than an empty or
// partial one. A write that fails is reported once a run, not at every
// later change.
void Form1::storeChangedList(Steps &steps, int buildStep, int writeStep)
{
    // After the end of the program (or a start-up that ended it) nothing
    // more is written.
    if (m_closingSuppressed || keepsStoredList())
        return;
    m_keepStoredList = false;
    QString stored;
    if (!steps(buildStep, [&] { stored = encodeEntryList(entries()); }))
        return;
    try {
        storeListText(stored);
    } catch (const Failure &failure) {
        if (m_listWriteFailureReported)
            return;
        m_listWriteFailureReported = true;
        steps(writeStep, [&] { throw failure; });
    }
}

void Form1::Form_Unload()
{
    m_closingSuppressed = true;
    m_services.endProgram();
}

void Form1::storeList()
{
    if (!keepsStoredList())
        storeListText(encodeEntryList(entries()));
}

// A stored list longer than the window shows stays as it is stored until
// the list changes: writing the part shown would drop the rest.
bool Form1::keepsStoredList() const
{
    return m_keepStoredList && m_undoStack->isClean();
}

// ---------------------------------------------------------------------------
// Header fields

void Form1::dtpDate_Change(QDate date)
{
    saveDeadline(date);
}

void Form1::txtName_Change(const QString &text)
{
    saveCompletedBy(text);
}

void Form1::txtProName_Change(const QString &text)
{
    saveProjectName(text);
}

QString Form1::completedBy() const
{
    return txtName->text();
}

QString Form1::projectName() const
{
    return txtProName->text();
}

QDate Form1::deadline() const
{
    return dtpDate->date();
}

QList<ListEntry> Form1::entries() const
{
    QList<ListEntry> list;
    const int count = entryCount();
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(entry(i));
    return list;
}

int Form1::entryCount() const
{
    return ListView1->topLevelItemCount();
}

ListEntry Form1::entry(int index) const
{
    const QTreeWidgetItem *row = ListView1->topLevelItem(index);
    if (!row)
        throw Failure(QStringLiteral("The list has no entry %1.").arg(index + 1));
    return {row->text(DueByColumn), row->text(ProjectColumn), row->text(NotesColumn), row->text(DoneColumn)};
}

void Form1::setBusyPointer(bool busy)
{
    setCursor(busy ? Qt::WaitCursor : Qt::ArrowCursor);
}

void Form1::setTemplateCommand(std::function<void()> command)
{
    m_templateCommand = std::move(command);
}

// ---------------------------------------------------------------------------
// The list and its current row

QTreeWidgetItem *Form1::appendRow(const QString &dueBy)
{
    QTreeWidgetItem *row = EntryListView::newRow({dueBy, {}, {}, {}});
    ListView1->addTopLevelItem(row);
    keepCurrentRow();
    return row;
}

void Form1::keepCurrentRow()
{
    quorbel::keepCurrentRow(*ListView1);
}

QList<ListEntry> Form1::entriesFrom(int first) const
{
    QList<ListEntry> list;
    for (int row = first; row < entryCount(); ++row)
        list.append(m_rows->rowEntry(row));
    return list;
}

int Form1::currentRow() const
{
    if (m_services.currentRow)
        return m_services.currentRow();
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    return selected.isEmpty() ? -1 : ListView1->indexOfTopLevelItem(selected.constFirst());
}

QTreeWidgetItem *Form1::requireCurrentRow() const
{
    const int row = currentRow();
    QTreeWidgetItem *item = row >= 0 ? ListView1->topLevelItem(row) : nullptr;
    if (!item)
        throw Failure(QStringLiteral("No entry of the list is selected."));
    return item;
}

// ---------------------------------------------------------------------------
// Commands

void Form1::PushButton1_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton1_Click"));
    const int firstNew = entryCount();
    QTreeWidgetItem *row = nullptr;
    steps(100, [&] { row = appendRow(txtDate->text()); });
    steps(102, [&] { setCell(row, ProjectColumn, txtProj->text()); });
    steps(104, [&] { setCell(row, NotesColumn, txtNotes->text()); });
    steps(106, [&] { setCell(row, DoneColumn, Check1->isChecked() ? kDoneMark : QString()); });
    steps(108, [&] { txtDate->clear(); });
    steps(110, [&] { txtProj->clear(); });
    steps(112, [&] { txtNotes->clear(); });
    recordMade(new InsertEntries(*m_rows, firstNew, entriesFrom(firstNew)));
    storeChangedList(steps, 114, 114);
}

void Form1::PushButton2_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton2_Click"));
    if (steps.test(100, [&] { return ListView1->topLevelItemCount() == 0; }))
        return;
    const int countBefore = entryCount();
    const int current = currentRow();
    const ListEntry removed = m_rows->rowEntry(current);
    steps(102, [&] { delete ListView1->takeTopLevelItem(ListView1->indexOfTopLevelItem(requireCurrentRow())); });
    keepCurrentRow();
    if (entryCount() < countBefore)
        recordMade(new RemoveEntries(*m_rows, current, {removed}));
    storeChangedList(steps, 104, 104);
}

void Form1::PushButton3_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton3_Click"));
    steps(100, [&] { messageBox(*m_services.dialogs, kHelpText); });
}

void Form1::PushButton5_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton5_Click"));
    if (steps.test(100, [&] { return ListView1->topLevelItemCount() == 0; }))
        return;
    const int current = currentRow();
    const QString doneBefore = m_rows->rowEntry(current).done;
    if (steps.test(102, [&] { return requireCurrentRow()->text(DoneColumn) == kDoneMark; }))
        steps(104, [&] { requireCurrentRow()->setText(DoneColumn, QString()); });
    else
        steps(106, [&] { requireCurrentRow()->setText(DoneColumn, kDoneMark); });
    if (current >= 0 && current < entryCount())
        recordMade(new SetEntryField(*m_rows, current, EntryField::Done, doneBefore, m_rows->rowEntry(current).done));
    storeChangedList(steps, 108, 108);
}

void Form1::PushButton6_Click()
{
    // A cell still being edited is part of the list the command reads.
    ListView1->commitOpenEditor();
    if (m_templateCommand)
        m_templateCommand();
}

void Form1::PushButton7_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton7_Click"));
    const HeaderValues headerBefore = m_rows->headerValues();
    const int firstNew = entryCount();
    QTreeWidgetItem *row = nullptr;
    steps(100, [&] { dtpDate->setDate(today().addDays(21)); });
    steps(102, [&] { txtName->setText(QStringLiteral("Me")); });
    steps(104, [&] { txtProName->setText(QStringLiteral("Development project")); });
    steps(106, [&] { txtDate->setText(shortDateText(today().addDays(-3))); });
    steps(108, [&] { txtProj->setText(QStringLiteral("Research")); });
    steps(110, [&] { txtNotes->setText(QStringLiteral("Completed in Time")); });
    steps(112, [&] { Check1->setChecked(true); });
    steps(114, [&] { row = appendRow(txtDate->text()); });
    steps(116, [&] { setCell(row, ProjectColumn, txtProj->text()); });
    steps(118, [&] { setCell(row, NotesColumn, txtNotes->text()); });
    steps(120, [&] { setCell(row, DoneColumn, Check1->isChecked() ? kDoneMark : QString()); });
    row = nullptr;
    steps(122, [&] { txtDate->setText(shortDateText(today().addDays(10))); });
    steps(124, [&] { txtProj->setText(QStringLiteral("Draft presenatation")); });
    steps(126, [&] { txtNotes->setText(QStringLiteral("In process")); });
    steps(128, [&] { Check1->setChecked(false); });
    steps(130, [&] { row = appendRow(txtDate->text()); });
    steps(132, [&] { setCell(row, ProjectColumn, txtProj->text()); });
    steps(134, [&] { setCell(row, NotesColumn, txtNotes->text()); });
    steps(136, [&] { setCell(row, DoneColumn, Check1->isChecked() ? kDoneMark : QString()); });
    recordMade(new LoadSample(*m_rows, firstNew, entriesFrom(firstNew), headerBefore, m_rows->headerValues()));
    storeChangedList(steps, 138, 138);
}

} // namespace quorbel

namespace quorbel {

// ---------------------------------------------------------------------------
// Undo, redo, edits in place, moves and the sort

void Form1::recordMade(ListChange *change)
{
    std::unique_ptr<ListChange> made(change);
    if (made->isObsolete())
        return;
    made->setAlreadyMade();
    m_undoStack->push(made.release());
}

bool Form1::makeChange(Steps &steps, int step, ListChange *change)
{
    std::unique_ptr<ListChange> owned(change);
    if (owned->isObsolete())
        return false;
    return steps(step, [&] { m_undoStack->push(owned.release()); });
}

void Form1::mnuUndo_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.mnuUndo_Click"));
    if (!m_undoStack->canUndo())
        return;
    steps(100, [&] { m_undoStack->undo(); });
    storeChangedList(steps, 102, 102);
}

void Form1::mnuRedo_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.mnuRedo_Click"));
    if (!m_undoStack->canRedo())
        return;
    steps(100, [&] { m_undoStack->redo(); });
    storeChangedList(steps, 102, 102);
}

void Form1::mnuEdit_Click()
{
    ListView1->setFocus(Qt::OtherFocusReason);
    ListView1->editCurrentCell();
}

void Form1::moveCurrentRowBy(const QString &location, int offset)
{
    Steps steps(*m_services.dialogs, location);
    const int from = currentRow();
    const int to = from + offset;
    if (from < 0 || from >= entryCount() || to < 0 || to >= entryCount())
        return;
    if (makeChange(steps, 100, new MoveEntry(*m_rows, from, to)))
        storeChangedList(steps, 102, 102);
}

void Form1::mnuMoveUp_Click()
{
    moveCurrentRowBy(QStringLiteral("Form1.mnuMoveUp_Click"), -1);
}

void Form1::mnuMoveDown_Click()
{
    moveCurrentRowBy(QStringLiteral("Form1.mnuMoveDown_Click"), 1);
}

void Form1::mnuSortByDueDate_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.mnuSortByDueDate_Click"));
    if (makeChange(steps, 100, new SortByDueDate(*m_rows)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_AfterLabelEdit(int row, EntryField field, const QString &text)
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.ListView1_AfterLabelEdit"));
    if (row < 0 || row >= entryCount())
        return;
    const QString before = fieldText(m_rows->rowEntry(row), field);
    if (makeChange(steps, 100, new SetEntryField(*m_rows, row, field, before, text)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_OLEDragDrop(int from, int before)
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.ListView1_OLEDragDrop"));
    if (from < 0 || from >= entryCount() || before < 0 || before > entryCount())
        return;
    // The row is taken out first: a place below it is one row higher then.
    const int to = before > from ? before - 1 : before;
    if (makeChange(steps, 100, new MoveEntry(*m_rows, from, to)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_DoneToggle(int row)
{
    if (row == currentRow())
        PushButton5_Click();
}

} // namespace quorbel
