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
    // Nothing is left to write: the header fields were written at each
    // change and the list by storeListBeforeExit(), each into the settings
    // store's journal (in the file system, not yet synced); the store folds
    // the journal into the file, synced to the disk, when it ends with the
    // program.
    m_mainWindow.Form_Unload();
}

} // namespace quorbel
