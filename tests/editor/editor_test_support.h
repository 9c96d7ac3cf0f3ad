#pragma once

// Helpers shared by the main window's tests.

#include "Clock.h"
#include "Controls.h"
#include <QDateEdit>
#include "EntryListView.h"
#include "Form1.h"
#include "Form1Settings.h"
#include "Form2Host.h"
#include "SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QString>

#include <memory>

namespace quorbel::test {

// The tests that run the program in a child process of their own: the
// variables that name the child's mode and its settings folder.
inline const char *const kChildMode = "QUORBEL_TEST_CHILD";
inline const char *const kChildSettings = "QUORBEL_TEST_SETTINGS";

// The shown or hidden top-level window of that kind, or none.
template <typename Window>
Window *findWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *form = dynamic_cast<Window *>(widget))
            return form;
    }
    return nullptr;
}

// The main window's controls, found by their designed names.
struct Form1Controls {
    explicit Form1Controls(const Form1 &window)
        : PushButton1(control<QPushButton>(window, "PushButton1")),
          PushButton2(control<QPushButton>(window, "PushButton2")),
          PushButton3(control<QPushButton>(window, "PushButton3")),
          PushButton5(control<QPushButton>(window, "PushButton5")),
          PushButton6(control<QPushButton>(window, "PushButton6")),
          PushButton7(control<QPushButton>(window, "PushButton7")),
          Frame1(control<QGroupBox>(window, "Frame1")),
          Frame2(control<QGroupBox>(window, "Frame2")),
          dtpDate(control<QDateEdit>(window, "dtpDate")),
          txtName(control<QLineEdit>(window, "txtName")),
          txtProName(control<QLineEdit>(window, "txtProName")),
          txtDate(control<QLineEdit>(window, "txtDate")),
          txtProj(control<QLineEdit>(window, "txtProj")),
          txtNotes(control<QLineEdit>(window, "txtNotes")),
          Check1(control<QCheckBox>(window, "Check1")),
          ListView1(control<EntryListView>(window, "ListView1")),
          mnuList(control<QMenu>(window, "mnuList")),
          mnuUndo(control<QAction>(window, "mnuUndo")),
          mnuRedo(control<QAction>(window, "mnuRedo")),
          mnuEdit(control<QAction>(window, "mnuEdit")),
          mnuMoveUp(control<QAction>(window, "mnuMoveUp")),
          mnuMoveDown(control<QAction>(window, "mnuMoveDown")),
          mnuSortByDueDate(control<QAction>(window, "mnuSortByDueDate")),
          mnuDeleteSelected(control<QAction>(window, "mnuDeleteSelected"))
    {
    }

    QPushButton *PushButton1;
    QPushButton *PushButton2;
    QPushButton *PushButton3;
    QPushButton *PushButton5;
    QPushButton *PushButton6;
    QPushButton *PushButton7;
    QGroupBox *Frame1;
    QGroupBox *Frame2;
    QDateEdit *dtpDate;
    QLineEdit *txtName;
    QLineEdit *txtProName;
    QLineEdit *txtDate;
    QLineEdit *txtProj;
    QLineEdit *txtNotes;
    QCheckBox *Check1;
    EntryListView *ListView1;
    QMenu *mnuList;
    QAction *mnuUndo;
    QAction *mnuRedo;
    QAction *mnuEdit;
    QAction *mnuMoveUp;
    QAction *mnuMoveDown;
    QAction *mnuSortByDueDate;
    QAction *mnuDeleteSelected;
};

inline Form1Controls ui(const Form1 &window)
{
    return Form1Controls(window);
}

// Makes the cell of `row` in `field` the list's current cell, its row
// selected.
inline void makeCurrent(const Form1 &window, int row, EntryField field = EntryField::DueBy)
{
    ui(window).ListView1->setCurrentCell(row, field);
}

// The rows the list has selected, in order.
inline QList<int> selectedRows(const EntryListView &list)
{
    QList<int> rows;
    for (const QModelIndex &index : list.selectionModel()->selectedRows())
        rows << index.row();
    return rows;
}

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDate date) : m_date(date) {}
    QDate today() const override { return m_date; }
    void setToday(QDate date) { m_date = date; }

private:
    QDate m_date;
};

// A preview window's host that does nothing: for tests of the window alone.
class QuietHost final : public Form2Host {
public:
    void showMainWindow() override {}
    void storeListBeforeExit() override {}
    void endProgram() override {}
};

// Folds what every store of the process left in the journal into the INI
// file: a reader of the file alone then sees every write made so far (a key
// typed into a header field is folded while the window goes on).
inline void foldStoredWrites()
{
    SettingsStore(settingsFilePath()).flush();
}

// A fresh QSettings on the program's store, independent of the program's own
// objects, once the writes made so far are in the file.
inline QString storedValue(const QString &key)
{
    foldStoredWrites();
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marvesk"));
    settings.beginGroup(QStringLiteral("Quorbel"));
    return settings.value(key).toString();
}

inline bool hasStoredValue(const QString &key)
{
    foldStoredWrites();
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marvesk"));
    settings.beginGroup(QStringLiteral("Quorbel"));
    return settings.contains(key);
}

inline void storeValue(const QString &key, const QString &value)
{
    foldStoredWrites();
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marvesk"));
    settings.beginGroup(QStringLiteral("Quorbel"));
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
}

inline void clearStore()
{
    foldStoredWrites();
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marvesk"));
    settings.clear();
    settings.sync();
}

// The store file's raw text, read past every QSettings cache.
inline QString storeFileText()
{
    foldStoredWrites();
    QFile file(QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marvesk")).fileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// What a test window gets: a fixed clock, an availability check that counts
// its calls, an end of program that only counts, the test's dialogs and a
// settings store of the test's own (on the program's file), made at first
// use.
struct WindowFixture {
    FixedClock clock{QDate(2026, 3, 10)};
    int availabilityChecks = 0;
    bool available = true;
    int programEnds = 0;
    QString programFolder; // empty: the program folder
    Dialogs *dialogs = nullptr; // the test's, from freshStart()
    std::unique_ptr<SettingsStore> store;

    SettingsStore &settings()
    {
        if (!store)
            store = std::make_unique<SettingsStore>(settingsFilePath(), mainWindowSettingLimits());
        return *store;
    }

    Form1::Services services()
    {
        Form1::Services s;
        s.settings = &settings();
        s.clock = &clock;
        s.isInstalled = [this] {
            ++availabilityChecks;
            return available;
        };
        s.endProgram = [this] { ++programEnds; };
        s.programFolder = programFolder;
        s.dialogs = dialogs;
        return s;
    }

    std::unique_ptr<Form1> makeWindow() { return std::make_unique<Form1>(services()); }

    // Every test starts from the C locale, an empty store, no boxes shown and
    // a fresh fixture that hands `scripted` to its windows.
    template<typename Scripted>
    void freshStart(Scripted &scripted)
    {
        QLocale::setDefault(QLocale::c());
        *this = {}; // the last test's store ends first
        clearStore();
        scripted.clear();
        dialogs = &scripted;
    }
};

} // namespace quorbel::test
