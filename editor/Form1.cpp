// The main window: start-up, closing, the header fields, and what the
// template command reads. Its controls: Form1Controls.cpp; the list
// commands: Form1Commands.cpp.

#include "Form1.h"

#include "Clock.h"
#include "DateText.h"
#include "DeadlinePicker.h"
#include "Dialogs.h"
#include "EntryListView.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "FileProcs.h"
#include "Form1Settings.h"
#include "IsInstalled.h"
#include "ListChanges.h"
#include "Offices.h"
#include "SelectAllLineEdit.h"
#include "SettingsStore.h"
#include "TimingLog.h"
#include "Title.h"
#include "WindowLook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QUndoStack>

namespace quorbel {

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
    if (!m_services.settings) {
        m_ownSettings = std::make_unique<SettingsStore>(settingsFilePath(), mainWindowSettingLimits());
        m_services.settings = m_ownSettings.get();
    }

    createControls();
    Form_Load();
    if (m_startUpCompleted)
        centreOnScreen(this);
}

Form1::~Form1()
{
    // A cell editor still open loses the focus while the window goes; what
    // it holds is no change of the list any more. The view goes before the
    // list it shows.
    ListView1->disconnect(this);
    delete ListView1;
    ListView1 = nullptr;
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
    steps(108, [&] { storedDeadline = readStoredDeadline(*m_services.settings); });
    if (steps.test(108, [&] { return storedDeadline.isEmpty(); })) {
        steps(108, [&] { dtpDate->setDate(today()); });
    } else {
        steps(108, [&] { dtpDate->setDate(deadlineFromStoredText(storedDeadline)); });
    }
    steps(110, [&] { txtName->setText(readStoredCompletedBy(*m_services.settings)); });
    steps(112, [&] { txtProName->setText(readStoredProjectName(*m_services.settings)); });

    QString storedList;
    QList<ListEntry> restored;
    steps(114, [&] { storedList = readStoredList(*m_services.settings); });
    steps(114, [&] {
        // Each field with no column is reported in a box of its own, up to
        // a few boxes.
        m_keepStoredList = !decodeStoredList(storedList, m_entries.entryCount(), restored,
                                             [&](const Failure &failure) { steps(114, [&] { throw failure; }); });
    });
    // Restored, not changed: nothing to undo.
    steps(114, [&] { m_entries.insertEntries(m_entries.entryCount(), restored); });

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
        storeListText(*m_services.settings, stored);
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
        storeListText(*m_services.settings, encodeEntryList(entries()));
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
    saveDeadline(*m_services.settings, date);
}

void Form1::txtName_Change(const QString &text)
{
    saveCompletedBy(*m_services.settings, text);
}

void Form1::txtProName_Change(const QString &text)
{
    saveProjectName(*m_services.settings, text);
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

const QList<ListEntry> &Form1::entries() const
{
    return m_entries.entries();
}

int Form1::entryCount() const
{
    return m_entries.entryCount();
}

ListEntry Form1::entry(int index) const
{
    if (!m_entries.hasEntry(index))
        throw Failure(QStringLiteral("The list has no entry %1.").arg(index + 1));
    return m_entries.entry(index);
}

void Form1::setBusyPointer(bool busy)
{
    setCursor(busy ? Qt::WaitCursor : Qt::ArrowCursor);
}

void Form1::setTemplateCommand(std::function<void()> command)
{
    m_templateCommand = std::move(command);
}

} // namespace quorbel
