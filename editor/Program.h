#pragma once

#include "CancellationToken.h"
#include "Dialogs.h"
#include "Form1.h"
#include "Form2.h"
#include "InputPause.h"
#include "MainWindowHost.h"
#include "Offices.h"
#include "Options.h"
#include "ProgressWindow.h"
#include "SingleInstance.h"

#include <QObject>

#include <functional>
#include <memory>

class QApplication;

namespace quorbel {

// The program's windows. Creating it creates the main window, which runs its
// start-up sequence; the preview window is created on its first use (its
// load handling runs then) and kept until the program ends.
//
// The program owns the offices (Offices): the availability check and the
// template command get their spreadsheet instances from it. While the main
// window shows, an office is kept started ahead of need (SpareOffice); the
// availability check's office is the first kept. None runs while the preview window shows, nor after the
// program object is gone.
class Program : public QObject {
public:
    // The boxes and save dialogs show through `services.dialogs` (printed to
    // standard error when null) until the program is ending. The offices
    // follow `options` (read from the environment when the program starts)
    // and wait for pauses of the user's input. The preview window converts
    // and prints with `preview`.
    explicit Program(Form1::Services services = {}, const Options &options = Options::fromEnvironment(),
                     Form2Services preview = {});
    // With offices of the caller's (a benchmark's timed ones).
    Program(Form1::Services services, std::unique_ptr<Offices> offices, Form2Services preview = {});
    ~Program();

    Form1 &mainWindow() { return *m_mainWindow; }
    Form2 &previewWindow();
    bool previewWindowLoaded() const { return m_previewWindow != nullptr; }

    // Shows the main window and runs the event loop; returns at once with
    // exit code 0 when the start-up ended the program (no spreadsheet
    // application), without showing anything.
    int run(QApplication &app);

    Offices &offices() { return *m_offices; }
    // What shows every box of the program's windows and of the command.
    Dialogs &dialogs() { return m_dialogs; }
    SpareOffice &spareOffice() { return m_offices->spare(); }

    // Shows the main window (at start, and back from the preview) and keeps
    // offices ready while it shows.
    void showMainWindow();
    // Shows the preview window (the command's last step), and ends the
    // offices kept ahead of need: the preview never uses one.
    void showPreviewWindow();

    // --- Ending from outside ---------------------------------------------------
    // The system asks the program to end (SIGTERM, SIGHUP, SIGINT, the
    // session's Die): it runs exactly what closing the shown window runs
    // (the main window's closing step, or the preview window's closing),
    // without any box from here on. While "Start Creating Template" runs,
    // the command stops at its next step and the closing runs when it has
    // returned.
    void requestEnd();
    // How the program's end is looked for while no events are processed
    // (the command blocks the event loop): it delivers any waiting request
    // to requestEnd().
    void setEndRequestPoll(std::function<void()> poll);

    // A later start asked for this program: its shown window comes to the
    // front (the preview, when that is what shows), with the token the later
    // start's launcher handed it, which lets the desktop bring it forward.
    void showRunningWindow(const LaunchToken &launch);

    // When a build's progress window shows and how often it draws (tests
    // set their own clock).
    void setProgressTiming(ProgressTiming timing) { m_progressTiming = std::move(timing); }

private:
    void closeShownWindow();
    void runTemplateCommand();

    // The dialogs every window and the command are handed: they forward to
    // the program's own dialogs until the program is ending, and from then
    // on answer every box with its default button and cancel every save
    // dialog, without showing anything.
    class ProgramDialogs final : public Dialogs {
    public:
        ProgramDialogs(Dialogs &shown, const CancellationToken &ending) : m_shown(shown), m_ending(ending) {}
        BoxAnswer showBox(const Box &box) override;
        SaveChoice getSaveFileName(const QString &title, const QStringList &filters) override;

    private:
        Dialogs &m_shown;
        const CancellationToken &m_ending;
    };

    // Cancelled by requestEnd(); the template command gets a child of it,
    // which its progress window's "Cancel" cancels too, and stops at its
    // next step.
    CancellationToken m_ending;
    bool m_commandRunning = false;
    ProgressTiming m_progressTiming;
    // The program's own dialogs when the caller gives none.
    StderrDialogs m_stderrDialogs;
    ProgramDialogs m_dialogs;

    // First: the main window's start-up hands the offices the check's
    // office, and they go last.
    InputPause m_input;
    std::unique_ptr<Offices> m_offices;
    std::unique_ptr<Form1> m_mainWindow;
    MainWindowHost m_host;
    // Converts the workbook for the preview's saves and prints with an
    // office of its own for each conversion, unless the caller gives one.
    std::unique_ptr<SheetExporter> m_exporter;
    Form2Services m_previewServices;
    std::unique_ptr<Form2> m_previewWindow;
};

// Closes the box or the save dialog that shows (its answer is the default,
// or a cancel), and the one under it, until none shows.
void closeOpenBoxes();

} // namespace quorbel
