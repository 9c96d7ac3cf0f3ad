#pragma once

#include "Form1.h"
#include "MainWindowHost.h"

#include <memory>

class QApplication;

namespace quorbel {

class Form2;

// The program's windows. Creating it creates the main window, which runs its
// start-up sequence; the preview window is created on its first use (its
// load handling runs then) and kept until the program ends.
class Program {
public:
    explicit Program(Form1::Services services = {});
    ~Program();

    Form1 &mainWindow() { return *m_mainWindow; }
    Form2 &previewWindow();
    bool previewWindowLoaded() const { return m_previewWindow != nullptr; }

    // Shows the main window and runs the event loop; returns at once with
    // exit code 0 when the start-up ended the program (no spreadsheet
    // application), without showing anything.
    int run(QApplication &app);

private:
    std::unique_ptr<Form1> m_mainWindow;
    MainWindowHost m_host;
    std::unique_ptr<Form2> m_previewWindow;
};

// The whole program, as main() runs it.
int runQuorbel(QApplication &app);
int runQuorbel(QApplication &app, const Form1::Services &services);

} // namespace quorbel
