#include "MainWindowHost.h"

#include "Form1.h"

namespace quorbel {

MainWindowHost::MainWindowHost(Form1 &mainWindow, std::function<void()> shown)
    : m_mainWindow(mainWindow), m_shown(std::move(shown))
{
}

void MainWindowHost::showMainWindow()
{
    m_mainWindow.show();
    if (m_shown)
        m_shown();
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
