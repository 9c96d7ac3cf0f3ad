#pragma once

namespace quorbel {

// What the preview window asks of the rest of the program.
class Form2Host {
public:
    virtual ~Form2Host() = default;
    // "< Back": show the main window again (not modal).
    virtual void showMainWindow() = 0;
    // Closing the preview ends the program; the list is stored first, as the
    // main window's closing would.
    virtual void storeListBeforeExit() = 0;
    // Ends the whole program at once; no other window's closing handling runs.
    virtual void endProgram() = 0;
};

} // namespace quorbel
