// The main window's list commands: each change of the list is a ListChange
// pushed to the window's undo stack, which makes it, and the list is stored
// once for it.

#include "Form1.h"

#include "DateText.h"
#include "DeadlinePicker.h"
#include "Dialogs.h"
#include "EntryListView.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "ListChanges.h"
#include "SelectAllLineEdit.h"

#include <QCheckBox>
#include <QUndoStack>

#include <memory>

namespace quorbel {
namespace {

const QString kHelpText = QStringLiteral("Questions? Please contact Team Marvesk at https://www.marvesk.com/contact");

} // namespace

// ---------------------------------------------------------------------------
// The current row and the entry fields

int Form1::currentRow() const
{
    if (m_services.currentRow)
        return m_services.currentRow();
    return ListView1->currentRow();
}

int Form1::requireCurrentRow() const
{
    const int row = currentRow();
    if (!m_entries.hasEntry(row))
        throw Failure(QStringLiteral("No entry of the list is selected."));
    return row;
}

bool Form1::makeChange(Steps &steps, int step, ListChange *change)
{
    std::unique_ptr<ListChange> owned(change);
    if (owned->isObsolete())
        return false;
    return steps(step, [&] { m_undoStack->push(owned.release()); });
}

// ---------------------------------------------------------------------------
// The buttons

// Each field of the new entry is a step of its own; the entry goes to the
// end of the list with the last of them, before the fields are cleared.
void Form1::PushButton1_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton1_Click"));
    ListEntry added;
    steps(100, [&] { added.dueBy = txtDate->text(); });
    steps(102, [&] { added.project = txtProj->text(); });
    steps(104, [&] { added.notes = txtNotes->text(); });
    steps(106, [&] { added.done = Check1->isChecked() ? kDoneMark : QString(); });
    const bool made = makeChange(steps, 106, new InsertEntries(m_entries, entryCount(), {added}));
    steps(108, [&] { txtDate->clear(); });
    steps(110, [&] { txtProj->clear(); });
    steps(112, [&] { txtNotes->clear(); });
    if (made)
        storeChangedList(steps, 114, 114);
}

void Form1::PushButton2_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton2_Click"));
    if (steps.test(100, [&] { return entryCount() == 0; }))
        return;
    bool made = false;
    steps(102, [&] {
        const int row = requireCurrentRow();
        made = makeChange(steps, 102, new RemoveEntries(m_entries, row, {m_entries.entry(row)}));
    });
    if (made)
        storeChangedList(steps, 104, 104);
}

void Form1::PushButton3_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton3_Click"));
    steps(100, [&] { messageBox(*m_services.dialogs, kHelpText); });
}

// Despite its caption it switches the mark both ways.
void Form1::PushButton5_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton5_Click"));
    if (steps.test(100, [&] { return entryCount() == 0; }))
        return;
    const auto setDone = [&](int step, const QString &mark) {
        bool made = false;
        steps(step, [&] {
            const int row = requireCurrentRow();
            const QString before = m_entries.entry(row).done;
            made = makeChange(steps, step, new SetEntryField(m_entries, row, EntryField::Done, before, mark));
        });
        return made;
    };
    bool made = false;
    if (steps.test(102, [&] { return m_entries.entry(requireCurrentRow()).done == kDoneMark; }))
        made = setDone(104, QString());
    else
        made = setDone(106, kDoneMark);
    if (made)
        storeChangedList(steps, 108, 108);
}

void Form1::PushButton6_Click()
{
    // A cell still being edited is part of the list the command reads.
    ListView1->commitOpenEditor();
    if (m_templateCommand)
        m_templateCommand();
}

// The header fields and the entry fields are set as the steps go; the two
// entries and the header fields' change are one change of the list.
void Form1::PushButton7_Click()
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.PushButton7_Click"));
    const HeaderValues headerBefore = m_headerFields->headerValues();
    QList<ListEntry> sample(2);
    steps(100, [&] { dtpDate->setDate(today().addDays(21)); });
    steps(102, [&] { txtName->setText(QStringLiteral("Me")); });
    steps(104, [&] { txtProName->setText(QStringLiteral("Development project")); });
    steps(106, [&] { txtDate->setText(shortDateText(today().addDays(-3))); });
    steps(108, [&] { txtProj->setText(QStringLiteral("Research")); });
    steps(110, [&] { txtNotes->setText(QStringLiteral("Completed in Time")); });
    steps(112, [&] { Check1->setChecked(true); });
    steps(114, [&] { sample[0].dueBy = txtDate->text(); });
    steps(116, [&] { sample[0].project = txtProj->text(); });
    steps(118, [&] { sample[0].notes = txtNotes->text(); });
    steps(120, [&] { sample[0].done = Check1->isChecked() ? kDoneMark : QString(); });
    steps(122, [&] { txtDate->setText(shortDateText(today().addDays(10))); });
    steps(124, [&] { txtProj->setText(QStringLiteral("Draft presenatation")); });
    steps(126, [&] { txtNotes->setText(QStringLiteral("In process")); });
    steps(128, [&] { Check1->setChecked(false); });
    steps(130, [&] { sample[1].dueBy = txtDate->text(); });
    steps(132, [&] { sample[1].project = txtProj->text(); });
    steps(134, [&] { sample[1].notes = txtNotes->text(); });
    steps(136, [&] { sample[1].done = Check1->isChecked() ? kDoneMark : QString(); });
    if (makeChange(steps, 136, new LoadSample(m_entries, *m_headerFields, entryCount(), sample, headerBefore,
                                              m_headerFields->headerValues())))
        storeChangedList(steps, 138, 138);
}

// ---------------------------------------------------------------------------
// Undo, redo, edits in place, moves and the sort

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
    if (!m_entries.hasEntry(from) || !m_entries.hasEntry(to))
        return;
    if (makeChange(steps, 100, new MoveEntry(m_entries, from, to)))
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
    if (makeChange(steps, 100, new SortByDueDate(m_entries)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_AfterLabelEdit(int row, EntryField field, const QString &text)
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.ListView1_AfterLabelEdit"));
    if (!m_entries.hasEntry(row))
        return;
    const QString before = fieldText(m_entries.entry(row), field);
    if (makeChange(steps, 100, new SetEntryField(m_entries, row, field, before, text)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_OLEDragDrop(int from, int before)
{
    Steps steps(*m_services.dialogs, QStringLiteral("Form1.ListView1_OLEDragDrop"));
    if (!m_entries.hasEntry(from) || before < 0 || before > entryCount())
        return;
    // The row is taken out first: a place below it is one row higher then.
    const int to = before > from ? before - 1 : before;
    if (makeChange(steps, 100, new MoveEntry(m_entries, from, to)))
        storeChangedList(steps, 102, 102);
}

void Form1::ListView1_DoneToggle(int row)
{
    if (row == currentRow())
        PushButton5_Click();
}

} // namespace quorbel
