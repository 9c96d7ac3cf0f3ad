#include "Program.h"

#include "Form2.h"
#include "TemplateCommandHost.h"
#include "TemplateFilling.h"

#include "IsInstalled.h"
#include "OfficeSheetExporter.h"
#include "TimingLog.h"
#include "WindowActivation.h"

#include <QApplication>
#include <QWindow>

namespace quorbel {

void closeOpenBoxes()
{
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
}

namespace {

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

} // namespace quorbel
