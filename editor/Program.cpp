#include "Program.h"

#include "Form2.h"
#include "TemplateCommandHost.h"
#include "TemplateFilling.h"

#include "IsInstalled.h"

#include <QApplication>
#include <QEvent>

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
        TemplateCommandHost host(*this);
        CreateTemplateWorkbook(host);
    });
}

// The preview window goes first: it refers to the main window through the host.
Program::~Program()
{
    m_spare.stop();
    m_previewWindow.reset();
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
    if (!m_mainWindow->startUpCompleted())
        return 0;
    m_mainWindow->show();
    return app.exec();
}

int runQuorbel(QApplication &app)
{
    return runQuorbel(app, Form1::Services{});
}

int runQuorbel(QApplication &app, const Form1::Services &services)
{
    Program program(services);
    return program.run(app);
}

} // namespace quorbel
