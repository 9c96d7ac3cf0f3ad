#pragma once

class QAbstractButton;

namespace quorbel {

// Return and Enter press a push button that has the keyboard focus, as
// Space does; no other button is the window's default.
void pressOnReturn(QAbstractButton *button);

} // namespace quorbel
