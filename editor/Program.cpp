#include "Program.h"

#include "Form1Settings.h"
#include "Form2.h"
#include "TemplateCommandHost.h"
#include "TemplateFilling.h"

#include "DateText.h"
#include "Failure.h"
#include "FilesLog.h"
#include "IsInstalled.h"
#include "OfficeSheetExporter.h"
#include "SettingsStore.h"
#include "SignalEvents.h"
#include "SingleInstance.h"
#include "TimingLog.h"
#include "WindowActivation.h"

#include <QApplication>
#include <QDateEdit>
#include <QEvent>
#include <QLineEdit>
#include <QFile>
#include <QGuiApplication>
#include <QSessionManager>
#include <QWindow>

#include <csignal>
#include <cstdlib>

namespace quorbel {

namespace {

// Closes the box or the save dialog that shows (its answer is the default,
// or a cancel).
void closeOpenBoxes()
{
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
}

// The main window shows its boxes with `dialogs`. The availability check,
// unless the caller has its own, checks `offices`: its office stays as the
// first kept ahead of need.
Form1::Services mainWindowServices(Form1::Services services, Offices &offices, Dialogs &dialogs)
{
    services.dialogs = &dialogs;
    if (!services.isInstalled) {
        // The check's office starts first and comes up while the main
        // window is made and the settings are read; the check waits for it.
        offices.spare().launchFirst();
        services.isInstalled = [&offices, &dialogs] { return IsInstalled(offices, dialogs); };
    }
    return services;
}

} // namespace

Program::Program(Form1::Services services, const Options &options, Form2Services preview)
    : Program(std::move(services), std::make_unique<Offices>(options, &m_input), preview)
{
}

// The main window's start-up runs the availability check with the offices;
// "Start Creating Template" runs the command with them; the preview's
// "< Back" shows the main window again through the host.
Program::Program(Form1::Services services, std::unique_ptr<Offices> offices, Form2Services preview)
    : m_dialogs(services.dialogs ? *services.dialogs : m_stderrDialogs, m_ending),
      m_offices(std::move(offices)),
      m_mainWindow(std::make_unique<Form1>(mainWindowServices(std::move(services), *m_offices, m_dialogs))),
      m_host(*m_mainWindow, [this] { showMainWindow(); }),
      m_previewServices(preview)
{
    if (!m_previewServices.exporter) {
        m_exporter = std::make_unique<OfficeSheetExporter>(*m_offices);
        m_previewServices.exporter = m_exporter.get();
    }
    // A check that failed leaves nothing running.
    if (!m_mainWindow->startUpCompleted())
        m_offices->stopKeeping();
    m_mainWindow->setTemplateCommand([this] { runTemplateCommand(); });
}

// The preview window goes first: it refers to the main window through the host.
Program::~Program()
{
    m_offices->stopKeeping();
    m_previewWindow.reset();
}

BoxAnswer Program::ProgramDialogs::showBox(const Box &box)
{
    return m_ending.cancelledAlready() ? box.defaultButton : m_shown.showBox(box);
}

SaveChoice Program::ProgramDialogs::getSaveFileName(const QString &title, const QStringList &filters)
{
    if (m_ending.cancelledAlready())
        return {QString(), filters.value(0)};
    return m_shown.getSaveFileName(title, filters);
}

// A long build lets the event loop run for its progress window, whose
// modality keeps the main window from input; a click that reaches the
// button all the same while a build runs does nothing. The offices kept
// ahead of need neither start nor warm up while it runs.
void Program::runTemplateCommand()
{
    if (m_commandRunning)
        return;
    m_commandRunning = true;
    m_offices->spare().hold(true);
    {
        // Stopped by the program's end and by the progress window's "Cancel".
        CancellationToken build = m_ending.child();
        TemplateCommandHost host(*this, build, m_progressTiming);
        build.setPoll([&host] { host.keepResponsive(); });
        CreateTemplateWorkbook(host, *m_offices, build);
        build.setPoll({});
    }
    m_commandRunning = false;
    if (m_ending.cancelledAlready()) {
        closeShownWindow();
        return;
    }
    m_offices->spare().hold(false);
}

// No office waits while the preview shows: it never uses one.
void Program::showPreviewWindow()
{
    m_offices->stopKeeping();
    previewWindow().show();
}

void Program::showMainWindow()
{
    m_mainWindow->show();
    if (m_mainWindow->startUpCompleted())
        m_offices->keepAhead();
}

void Program::requestEnd()
{
    if (m_ending.cancelledAlready())
        return;
    // From here on every box is answered without showing.
    m_ending.cancel();
    closeOpenBoxes();
    if (!m_commandRunning)
        closeShownWindow();
}

void Program::setEndRequestPoll(std::function<void()> poll)
{
    m_ending.setPoll(std::move(poll));
}

void Program::closeShownWindow()
{
    if (m_previewWindow && m_previewWindow->isVisible())
        m_previewWindow->close();
    else
        m_mainWindow->close();
}

void Program::showRunningWindow(const LaunchToken &launch)
{
    QWidget *shown = m_previewWindow && m_previewWindow->isVisible() ? static_cast<QWidget *>(m_previewWindow.get())
                                                                       : m_mainWindow.get();
    if (!m_mainWindow->startUpCompleted() || m_ending.cancelledAlready())
        return;
    // Activated once, with the later start's launch token: a request
    // without it (as setting Qt::WindowActive makes) may be refused by a
    // desktop that prevents focus stealing.
    shown->setWindowState(shown->windowState() & ~Qt::WindowMinimized);
    shown->show();
    shown->raise();
    if (QWindow *window = shown->windowHandle())
        activateForLaunch(*window, launch);
    else
        shown->activateWindow();
}

Form2 &Program::previewWindow()
{
    if (!m_previewWindow)
        m_previewWindow = std::make_unique<Form2>(m_host, m_dialogs, m_previewServices);
    return *m_previewWindow;
}

int Program::run(QApplication &app)
{
    // An end asked for before the event loop runs has stored the list
    // already; the loop would not see its exit.
    if (!m_mainWindow->startUpCompleted() || m_ending.cancelledAlready())
        return 0;
    showMainWindow();
    logTiming("main window shown");
    return app.exec();
}

namespace {

// What is still the program's own when it is ended by exit() from inside a
// library (Qt's X11 connection ends the program so when the display goes
// away): the preview's scratch workbook. The list is stored at every change
// and the offices end with their own clean-up.
Program *g_runningProgram = nullptr;

void removeScratchWorkbookAtExit()
{
    if (g_runningProgram && g_runningProgram->previewWindowLoaded()) {
        const QString workbook = g_runningProgram->previewWindow().mExcelFile;
        if (!workbook.isEmpty())
            QFile::remove(workbook);
    }
}

// The session saves itself (a checkpoint, or the first step of a logout
// that may still be cancelled): the store gets the list and the header
// fields in their stored form, without a box, and the program runs on. The
// header fields are written at every change already; writing them again
// mends a change whose write failed. A deadline never chosen is left unset,
// so that the next start shows its own day, as it would have.
void storeForSession(Form1 &window)
{
    try {
        window.storeList();
        // Written and waited for: the session may end the program next.
        saveSetting(kCompletedByKey, window.txtName->text());
        saveSetting(kProjectNameKey, window.txtProName->text());
        if (!readStoredDeadline().isEmpty())
            saveSetting(kDeadlineKey, generalDateText(QDateTime(window.deadline(), QTime(0, 0))));
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

int runQuorbel(QApplication &app, const Form1::Services &services, const LaunchToken &launch,
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
        storeForSession(started->mainWindow());
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

    static const bool exitHookInstalled = (std::atexit(removeScratchWorkbookAtExit), true);
    Q_UNUSED(exitHookInstalled);
    g_runningProgram = &program;
    const int code = program.run(app);
    g_runningProgram = nullptr;
    return code;
}

} // namespace quorbel
