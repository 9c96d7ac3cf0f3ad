#pragma once

#include "Dialogs.h"
#include "EntryList.h"
#include "EntryListModel.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QMenu;
class QPushButton;
class QUndoStack;

namespace quorbel {

class Clock;
class DeadlinePicker;
class EntryListView;
class HeaderFields;
class ListChange;
class SelectAllLineEdit;
class SettingsStore;
class Steps;

// What the main window uses from outside; every member has a default.
struct Form1Services {
    // Today's date (the system clock when null). Not owned.
    const Clock *clock = nullptr;
    // The spreadsheet availability check, last step of the start-up. It
    // shows its own box when it fails. Default: quorbel::IsInstalled.
    std::function<bool()> isInstalled;
    // Ends the whole program (Form_Unload). Default: the event loop ends
    // with exit code 0.
    std::function<void()> endProgram;
    // The folder searched for "HAND-M.CUR" and the skin. Default: the
    // program folder.
    QString programFolder;
    // Which row the list commands act on: the index of the current row, or
    // -1 when there is none. Default: the list's selected row. Replaceable
    // so that the case "rows but none current" can be produced although the
    // list keeps a current row.
    std::function<int()> currentRow;
    // What shows the window's boxes (its reports, "Help", the availability
    // check's). Not owned. Default: boxes printed to standard error.
    Dialogs *dialogs = nullptr;
    // The store of the header fields and the list. Not owned. Default: a
    // store of the window's own on settingsFilePath().
    SettingsStore *settings = nullptr;
};

// The main window: header fields, the entry fields, the to-do list and the
// commands. Creating it runs the start-up sequence (Form_Load).
//
// The list is the window's EntryListModel, shown by its list view, which
// keeps a current (selected) row while the list has rows (the first one
// after start-up). Adding a row leaves the current row where it is.
//
// Every change of the list (the four list commands, an edit in place, a
// move, a sort) is one change (ListChange) pushed to the window's undo
// stack, which makes it; the stack keeps it for the whole run. The list is
// stored once for every change, undo and redo. Undone and redone, a change
// makes the row it touched current.
//
// Its controls keep their designed names as object names (PushButton1,
// txtName, ListView1, mnuList, ...); nothing outside the window holds them.
class Form1 : public QWidget {
    Q_OBJECT

public:
    using Services = Form1Services;

    explicit Form1(Services services = {}, QWidget *parent = nullptr);
    ~Form1() override;

    // False when the availability check failed at start-up: the program is
    // then to end at once, without showing this window.
    bool startUpCompleted() const { return m_startUpCompleted; }

    // --- What the template command reads and sets ---------------------------
    QString completedBy() const;   // "To Be Completed By:"
    QString projectName() const;   // "Project Name:"
    QDate deadline() const;        // "Deadline:"
    const QList<ListEntry> &entries() const;
    int entryCount() const;
    // The entry of row `index` (from 0); throws Failure when there is none.
    ListEntry entry(int index) const;
    // The list itself, as its views see it.
    const EntryListModel &entryList() const { return m_entries; }
    // Busy (hourglass) or default pointer for the whole window.
    void setBusyPointer(bool busy);
    // What "Start Creating Template" runs. Empty: the button does nothing.
    void setTemplateCommand(std::function<void()> command);

    // --- Closing -------------------------------------------------------------
    // Writes the stored form of the whole list to "ToDo" (also when empty),
    // unless the stored list is longer than the window shows and the list
    // is unchanged. Throws Failure when it does not reach the disk.
    void storeList();
    // Ends the whole program, also from elsewhere (the preview window): this
    // window's closing step does not run afterwards, not even when it is
    // closed.
    void Form_Unload();

    // The list's changes, for the whole run.
    QUndoStack *undoStack() const { return m_undoStack; }

    // --- Event handlers --------------------------------------------------------
    void PushButton1_Click(); // Add
    void PushButton2_Click(); // Delete Selected
    void PushButton3_Click(); // Help
    void PushButton5_Click(); // Check Selected As Done
    void PushButton6_Click(); // Start Creating Template
    void PushButton7_Click(); // Load Sample/Example Data
    void mnuUndo_Click();
    void mnuRedo_Click();
    void mnuEdit_Click();          // edits the current cell in place
    void mnuMoveUp_Click();        // the current row one place up
    void mnuMoveDown_Click();      // the current row one place down
    void mnuSortByDueDate_Click(); // oldest first, entries without a date last
    // A cell's text committed in place.
    void ListView1_AfterLabelEdit(int row, quorbel::EntryField field, const QString &text);
    // A row dragged within the list and dropped before row `before`
    // (entryCount(): after the last one).
    void ListView1_OLEDragDrop(int from, int before);
    // Space in any column of the current row, or a double-click on a Done
    // cell: "Check Selected As Done" for that row, which is the current one.
    void ListView1_DoneToggle(int row);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void Form_QueryUnload();
    void storeChangedList(Steps &steps, int buildStep, int writeStep);
    bool keepsStoredList() const;
    void dtpDate_Change(QDate date);
    void txtName_Change(const QString &text);
    void txtProName_Change(const QString &text);

    QDate today() const;
    int currentRow() const;
    // The current row; throws Failure when there is none.
    int requireCurrentRow() const;
    // Makes `change` as step `step`; false when there was nothing to change
    // or the step failed.
    bool makeChange(Steps &steps, int step, ListChange *change);
    void moveCurrentRowBy(const QString &location, int offset);

    // Controls (designed names).
    QPushButton *PushButton1 = nullptr; // "Add"
    QPushButton *PushButton2 = nullptr; // "Delete Selected"
    QPushButton *PushButton3 = nullptr; // "Help"
    QPushButton *PushButton5 = nullptr; // "Check Selected As Done"
    QPushButton *PushButton6 = nullptr; // "Start Creating Template"
    QPushButton *PushButton7 = nullptr; // "Load Sample/Example Data"
    QGroupBox *Frame1 = nullptr;        // "General Options"
    QGroupBox *Frame2 = nullptr;        // "To Do List Entries"
    DeadlinePicker *dtpDate = nullptr;
    SelectAllLineEdit *txtName = nullptr;
    SelectAllLineEdit *txtProName = nullptr;
    SelectAllLineEdit *txtDate = nullptr;
    SelectAllLineEdit *txtProj = nullptr;
    SelectAllLineEdit *txtNotes = nullptr;
    QCheckBox *Check1 = nullptr;
    EntryListView *ListView1 = nullptr;
    // The list's context menu and its items (their keys: ListMenu.h).
    QMenu *mnuList = nullptr;
    QAction *mnuUndo = nullptr;
    QAction *mnuRedo = nullptr;
    QAction *mnuEdit = nullptr;
    QAction *mnuMoveUp = nullptr;
    QAction *mnuMoveDown = nullptr;
    QAction *mnuSortByDueDate = nullptr;
    QAction *mnuDeleteSelected = nullptr; // runs "Delete Selected"

    Services m_services;
    StderrDialogs m_stderrDialogs;
    std::unique_ptr<SettingsStore> m_ownSettings;
    EntryListModel m_entries;
    QUndoStack *m_undoStack = nullptr;
    std::unique_ptr<HeaderFields> m_headerFields;
    std::function<void()> m_templateCommand;
    bool m_startUpCompleted = false;
    bool m_closingSuppressed = false;
    bool m_listWriteFailureReported = false;
    // The stored list held more entries than the window took at start-up.
    bool m_keepStoredList = false;
};

} // namespace quorbel
