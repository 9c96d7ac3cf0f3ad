#include "MainWindowHost.h"

#include "Form1.h"

namespace quorbel {

MainWindowHost::MainWindowHost(Form1 &mainWindow)
    : m_mainWindow(mainWindow)
{
}

void MainWindowHost::showMainWindow()
{
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
