#pragma once

#include <QByteArray>

#include <cstdint>

class QWindow;

namespace quorbel {

struct LaunchToken;

// Asks the desktop to bring `window` (shown) to the front and give it the
// keyboard, for a later start whose launcher handed it `launch`. Desktops
// that prevent focus stealing let a window come forward only with such a
// token:
// - Wayland: the activation token (else the startup id, where some
//   launchers put it) goes to Qt's xdg-activation support, which reads
//   XDG_ACTIVATION_TOKEN from the environment when the window asks to be
//   activated; the variable is taken out again afterwards, so that no
//   program started later inherits it.
// - X11: the window gets the startup id as its _NET_STARTUP_ID, the window
//   manager is asked to activate it at the time the id carries (the user's
//   action that launched the later start), and the launch feedback of the
//   later start (which shows no window of its own) is ended.
// Without a token, without a window manager that activates windows on
// request, or elsewhere, the window asks to be activated as any window does.
void activateForLaunch(QWindow &window, const LaunchToken &launch);

// The X server time a startup id carries in its "_TIME" suffix (the time of
// the user's action that launched the program); 0 (the current time) when
// it carries none.
std::uint32_t startupIdTime(const QByteArray &startupId);

} // namespace quorbel
