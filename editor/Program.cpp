#include "Program.h"

#include "Form2.h"
#include "TemplateCommandHost.h"
#include "TemplateFilling.h"

#include "DateText.h"
#include "Failure.h"
#include "FilesLog.h"
#include "IsInstalled.h"
#include "SettingsStore.h"
#include "SignalEvents.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QDateEdit>
#include <QEvent>
#include <QLineEdit>
#include <QFile>
#include <QGuiApplication>
#include <QSessionManager>

#include <csignal>
#include <cstdlib>

namespace quorbel {

namespace {

Form1::Services withSpareCheck(Form1::Services services, SpareOffice &spare)
{
    if (!services.isInstalled)
        services.isInstalled = [&spare] { return IsInstalled(&spare); };
    return services;
}

} // namespace

Program::Program(Form1::Services services)
    : m_mainWindow(std::make_unique<Form1>(withSpareCheck(std::move(services), m_spare))), m_host(*m_mainWindow)
{
    // A check that failed leaves nothing running.
    if (!m_mainWindow->startUpCompleted())
        m_spare.stop();
    m_mainWindow->installEventFilter(this);
    m_mainWindow->setTemplateCommand([this] {
        m_commandRunning = true;
        {
            TemplateCommandHost host(*this);
            CreateTemplateWorkbook(host);
        }
        m_commandRunning = false;
        if (m_ending)
            closeShownWindow();
    });
}

// The preview window goes first: it refers to the main window through the host.
Program::~Program()
{
    m_spare.stop();
    m_previewWindow.reset();
    if (m_dialogsBeforeEnd)
        Dialogs::setCurrent(m_dialogsBeforeEnd);
}

void Program::requestEnd()
{
    if (m_ending)
        return;
    m_ending = true;
    m_dialogsBeforeEnd = &Dialogs::current();
    Dialogs::setCurrent(&m_quietDialogs);
    // A box or the save dialog that shows goes away (its answer is the
    // default, or a cancel).
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
    if (!m_commandRunning)
        closeShownWindow();
}

bool Program::endRequested()
{
    if (!m_ending && m_endRequestPoll)
        m_endRequestPoll();
    return m_ending;
}

void Program::setEndRequestPoll(std::function<void()> poll)
{
    m_endRequestPoll = std::move(poll);
}

void Program::closeShownWindow()
{
    if (m_previewWindow && m_previewWindow->isVisible())
        m_previewWindow->close();
    else
        m_mainWindow->close();
}

void Program::showRunningWindow()
{
    QWidget *shown = m_previewWindow && m_previewWindow->isVisible() ? static_cast<QWidget *>(m_previewWindow.get())
                                                                       : m_mainWindow.get();
    if (!m_mainWindow->startUpCompleted() || m_ending)
        return;
    shown->setWindowState((shown->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

// The main window showing (at start, and back from the preview) keeps an
// office ready.
bool Program::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_mainWindow.get() && event->type() == QEvent::Show && m_mainWindow->startUpCompleted())
        m_spare.keep();
    return QObject::eventFilter(watched, event);
}

Form2 &Program::previewWindow()
{
    if (!m_previewWindow)
        m_previewWindow = std::make_unique<Form2>(m_host);
    return *m_previewWindow;
}

int Program::run(QApplication &app)
{
    // An end asked for before the event loop runs has stored the list
    // already; the loop would not see its exit.
    if (!m_mainWindow->startUpCompleted() || m_ending)
        return 0;
    m_mainWindow->show();
    return app.exec();
}

int runQuorbel(QApplication &app)
{
    return runQuorbel(app, Form1::Services{});
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
        saveSetting(QStringLiteral("txtName"), window.txtName->text());
        saveSetting(QStringLiteral("txtProName"), window.txtProName->text());
        if (!readSetting(QStringLiteral("dtpDate")).isEmpty())
            saveSetting(QStringLiteral("dtpDate"), generalDateText(QDateTime(window.deadline(), QTime(0, 0))));
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

int runQuorbel(QApplication &app, const Form1::Services &services)
{
    SingleInstance instance(SingleInstance::keyFor(settingsFilePath()));
    if (!instance.isFirst()) {
        const bool shown = instance.askFirstToShow();
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
        while (QWidget *modal = QApplication::activeModalWidget()) {
            if (!modal->close())
                break;
        }
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

    Program program(services);
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
