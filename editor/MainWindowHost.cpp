#include "MainWindowHost.h"

#include "Form1.h"

namespace quorbel {

MainWindowHost::MainWindowHost(Form1 &mainWindow, std::function<void()> show)
    : m_mainWindow(mainWindow), m_show(std::move(show))
{
}

void MainWindowHost::showMainWindow()
{
    if (m_show)
        m_show();
    else
        m_mainWindow.show();
}

void MainWindowHost::storeListBeforeExit()
{
    m_mainWindow.storeList();
}

void MainWindowHost::endProgram()
{
    // Every value is on disk already: each setting is written as it is saved.
    m_mainWindow.Form_Unload();
}

} // namespace quorbel
