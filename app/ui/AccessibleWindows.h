#pragma once

namespace quorbel {

// Screen readers hear a plain top-level widget (a QWidget itself made a
// window, as both of the program's windows are) as an application window
// (QAccessible::Window, "frame" over AT-SPI) rather than as a generic
// client area. Installs the accessible interface factory that says so; a
// second call does nothing.
void installAccessibleWindows();

} // namespace quorbel
