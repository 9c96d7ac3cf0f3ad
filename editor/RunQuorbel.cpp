#include "RunQuorbel.h"

#include "Form1Settings.h"
#include "Program.h"

#include "Failure.h"
#include "FilesLog.h"
#include "SettingsStore.h"
#include "SignalEvents.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSessionManager>

#include <csignal>
#include <cstdlib>
#include <memory>

namespace quorbel {

namespace {

// What is still the program's own when it is ended by exit() from inside a
// library (Qt's X11 connection ends the program so when the display goes
// away): the preview's scratch workbook, and the settings store's journal,
// which is folded into the file as the store's end would (its writes are in
// the journal already, and the next start would read them there). The list
// is stored at every change and the offices end with their own clean-up.
Program *g_runningProgram = nullptr;
SettingsStore *g_runningSettings = nullptr;

void cleanUpAtExit()
{
    if (g_runningProgram && g_runningProgram->previewWindowLoaded()) {
        const QString workbook = g_runningProgram->previewWindow().mExcelFile;
        if (!workbook.isEmpty())
            QFile::remove(workbook);
    }
    if (g_runningSettings)
        g_runningSettings->flush();
}

// The session saves itself (a checkpoint, or the first step of a logout
// that may still be cancelled): the store gets the list and the header
// fields in their stored form, without a box, and the program runs on. The
// header fields are written at every change already; writing them again
// mends a change whose write failed. A deadline never chosen is left unset,
// so that the next start shows its own day, as it would have.
void storeForSession(Form1 &window, SettingsStore &settings)
{
    try {
        window.storeList();
        // Written and waited for: the session may end the program next.
        saveCompletedBy(settings, window.completedBy());
        saveProjectName(settings, window.projectName());
        if (!readStoredDeadline(settings).isEmpty())
            saveDeadline(settings, window.deadline());
    } catch (const Failure &failure) {
        // No box while the session waits for the answer; the list is
        // written again at its next change and when the program ends.
        qWarning("The list could not be stored for the session: %s", failure.what());
    }
}

// The application asked to quit from outside: the session manager's Die
// reaches the program as QEvent::Quit. It ends the program as a signal does
// (the shown window's closing, quiet boxes, a running build stopped at its
// next step), rather than by Qt closing every window in turn.
class QuitRequests final : public QObject {
public:
    explicit QuitRequests(std::function<void()> onQuit) : m_onQuit(std::move(onQuit)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
            m_onQuit();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onQuit;
};

} // namespace

int runQuorbel(QApplication &app, const Form1::Services &given, const LaunchToken &launch,
               const Form2Services &preview)
{
    SingleInstance instance(SingleInstance::keyFor(settingsFilePath()));
    if (!instance.isFirst()) {
        const bool shown = instance.askFirstToShow(launch);
        if (!instance.isFirst()) {
            qCInfo(lcQuorbelFiles) << "another copy runs (it holds the single-instance lock);"
                                   << (shown ? "it was asked to show its window" : "it did not answer");
            return 0;
        }
    }

    // The run's store: it outlives the program's windows, whose last writes
    // it takes, and folds its journal into the file as it ends.
    std::unique_ptr<SettingsStore> ownSettings;
    Form1::Services services = given;
    if (!services.settings) {
        ownSettings = std::make_unique<SettingsStore>(settingsFilePath(), mainWindowSettingLimits());
        services.settings = ownSettings.get();
    }
    SettingsStore &settings = *services.settings;

    // Signals are caught from before the start-up on: one that arrives
    // while the start-up runs (a box of it may be showing) ends the program
    // as soon as the start-up is over.
    SignalEvents unixSignals({SIGTERM, SIGHUP, SIGINT});
    Program *started = nullptr;
    bool endedDuringStartUp = false;
    const auto endRequest = [&] {
        if (started) {
            started->requestEnd();
            return;
        }
        endedDuringStartUp = true;
        closeOpenBoxes();
    };
    // Ends the connections when this function returns.
    QObject connections;
    QObject::connect(&unixSignals, &SignalEvents::received, &connections, endRequest);
    QuitRequests quitRequests(endRequest);
    app.installEventFilter(&quitRequests);
    // A save request of either kind (Qt emits both for a save of type Both;
    // one write serves them) is answered as soon as the handler returns.
    QString savedForKey;
    const auto saveRequest = [&](QSessionManager &manager) {
        if (!started || !started->mainWindow().startUpCompleted() || manager.sessionKey() == savedForKey)
            return;
        savedForKey = manager.sessionKey();
        storeForSession(started->mainWindow(), settings);
    };
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &connections, saveRequest);
    QObject::connect(&app, &QGuiApplication::saveStateRequest, &connections, saveRequest);

    // The program's environment variables, read once.
    Program program(services, Options::fromEnvironment(), preview);
    // A signal that waits from the start-up counts as one of the start-up.
    if (unixSignals.pending())
        unixSignals.deliverPending();
    started = &program;
    // A request that comes while the program object goes (its offices end)
    // finds no program.
    const std::unique_ptr<Program *, void (*)(Program **)> forgetProgram(&started, [](Program **p) { *p = nullptr; });
    QObject::connect(&instance, &SingleInstance::showRequested, &program, &Program::showRunningWindow);
    program.setEndRequestPoll([&unixSignals] {
        if (unixSignals.pending())
            unixSignals.deliverPending();
    });
    if (endedDuringStartUp) {
        if (program.mainWindow().startUpCompleted())
            program.requestEnd();
        return 0;
    }

    static const bool exitHookInstalled = (std::atexit(cleanUpAtExit), true);
    Q_UNUSED(exitHookInstalled);
    g_runningProgram = &program;
    g_runningSettings = &settings;
    const int code = program.run(app);
    g_runningProgram = nullptr;
    g_runningSettings = nullptr;
    return code;
}

} // namespace quorbel
