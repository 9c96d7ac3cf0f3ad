#pragma once

#include "Form1.h"
#include "MainWindowHost.h"
#include "SpareOffice.h"

#include <QObject>

#include <memory>

class QApplication;

namespace quorbel {

class Form2;

// The program's windows. Creating it creates the main window, which runs its
// start-up sequence; the preview window is created on its first use (its
// load handling runs then) and kept until the program ends.
//
// While the main window shows, one spreadsheet office is kept started ahead
// of need (SpareOffice); the availability check's office becomes the first.
// None runs while the preview window shows, nor after the program object
// is gone.
class Program : public QObject {
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

    SpareOffice &spareOffice() { return m_spare; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // First: the main window's start-up hands it the check's office, and
    // it goes last.
    SpareOffice m_spare;
    std::unique_ptr<Form1> m_mainWindow;
    MainWindowHost m_host;
    std::unique_ptr<Form2> m_previewWindow;
};

// The whole program, as main() runs it.
int runQuorbel(QApplication &app);
int runQuorbel(QApplication &app, const Form1::Services &services);

} // namespace quorbel
