#pragma once

#include "Form2Host.h"

#include <functional>

namespace quorbel {

class Form1;

// What the preview window asks of the main window and of the program.
class MainWindowHost final : public Form2Host {
public:
    // `show`, when given, is how the program shows the main window again
    // (it keeps offices ahead of need while the window shows); without it
    // the window only shows.
    explicit MainWindowHost(Form1 &mainWindow, std::function<void()> show = {});

    // "< Back": the main window shows again, as it was.
    void showMainWindow() override;
    // The same store as the main window's closing: the whole list under
    // "ToDo". Failures go to the caller's report.
    void storeListBeforeExit() override;
    // Ends the program; the main window's closing step does not run on
    // this path.
    void endProgram() override;

private:
    Form1 &m_mainWindow;
    std::function<void()> m_show;
};

} // namespace quorbel
