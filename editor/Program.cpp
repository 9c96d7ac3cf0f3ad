#include "Program.h"

#include "Form2.h"
#include "TemplateCommandHost.h"
#include "TemplateFilling.h"

#include <QApplication>

namespace quorbel {

Program::Program(Form1::Services services)
    : m_mainWindow(std::make_unique<Form1>(std::move(services))), m_host(*m_mainWindow)
{
    m_mainWindow->setTemplateCommand([this] {
        TemplateCommandHost host(*this);
        CreateTemplateWorkbook(host);
    });
}

// The preview window goes first: it refers to the main window through the host.
Program::~Program()
{
    m_previewWindow.reset();
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
