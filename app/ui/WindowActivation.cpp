#include "WindowActivation.h"

#include "SingleInstance.h"

#include <QGuiApplication>
#include <QWindow>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#endif

#include <limits>

namespace quorbel {

std::uint32_t startupIdTime(const QByteArray &startupId)
{
    const qsizetype mark = startupId.lastIndexOf("_TIME");
    if (mark < 0)
        return 0;
    const QByteArray digits = startupId.mid(mark + 5);
    if (digits.isEmpty() || digits.size() > 10)
        return 0;
    quint64 time = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        time = time * 10 + quint64(c - '0');
    }
    return time <= std::numeric_limits<std::uint32_t>::max() ? std::uint32_t(time) : 0;
}

namespace {

#if QT_CONFIG(xcb)

enum Atom { NetStartupId, Utf8String, NetActiveWindow, NetStartupInfoBegin, NetStartupInfo, NetSupported, AtomCount };

// The window manager on `root` says it activates windows on request.
bool activatesOnRequest(xcb_connection_t *connection, xcb_window_t root, xcb_atom_t supported, xcb_atom_t activeWindow)
{
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr),
        &std::free);
    if (!reply || reply->format != 32)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    return std::find(atoms, atoms + count, activeWindow) != atoms + count;
}

// Gives `window` the startup id `startupId` through the X server
// `connection`, asks the window manager to activate it, and ends the launch
// feedback, as the startup-notification and window-manager conventions
// describe. False when the window was not asked for (its root cannot be
// found, or the window manager does not activate windows on request).
bool activateOnX11(xcb_connection_t *connection, xcb_window_t window, const QByteArray &startupId)
{
    static const char *const names[AtomCount] = {"_NET_STARTUP_ID",         "UTF8_STRING",       "_NET_ACTIVE_WINDOW",
                                                 "_NET_STARTUP_INFO_BEGIN", "_NET_STARTUP_INFO", "_NET_SUPPORTED"};
    std::array<xcb_intern_atom_cookie_t, AtomCount> cookies {};
    for (int i = 0; i < AtomCount; ++i)
        cookies[i] = xcb_intern_atom(connection, 0, uint16_t(std::strlen(names[i])), names[i]);
    std::array<xcb_atom_t, AtomCount> atoms {};
    for (int i = 0; i < AtomCount; ++i) {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection, cookies[i], nullptr), &std::free);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr), &std::free);
    if (!tree)
        return false;
    const xcb_window_t root = tree->root;

    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms[NetStartupId], atoms[Utf8String], 8,
                        uint32_t(startupId.size()), startupId.constData());

    const bool asked = activatesOnRequest(connection, root, atoms[NetSupported], atoms[NetActiveWindow]);
    if (asked) {
        // Source 1: a request of the application, at the time of the launch.
        xcb_client_message_event_t activate {};
        activate.response_type = XCB_CLIENT_MESSAGE;
        activate.format = 32;
        activate.window = window;
        activate.type = atoms[NetActiveWindow];
        activate.data.data32[0] = 1;
        activate.data.data32[1] = startupIdTime(startupId);
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char *>(&activate));
    }

    // "remove: ID=…" (the id needs no quoting: it holds no space, quote or
    // backslash), with its closing NUL, in messages of 20 bytes: the first
    // of type _NET_STARTUP_INFO_BEGIN.
    const QByteArray message = QByteArrayLiteral("remove: ID=") + startupId;
    const qsizetype length = message.size() + 1;
    for (qsizetype sent = 0; sent < length; sent += 20) {
        xcb_client_message_event_t part {};
        part.response_type = XCB_CLIENT_MESSAGE;
        part.format = 8;
        part.window = window;
        part.type = sent == 0 ? atoms[NetStartupInfoBegin] : atoms[NetStartupInfo];
        std::memcpy(part.data.data8, message.constData() + sent, size_t(qMin<qsizetype>(20, length - sent)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char *>(&part));
    }
    xcb_flush(connection);
    return asked;
}

#endif

} // namespace

void activateForLaunch(QWindow &window, const LaunchToken &launch)
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        const QByteArray token = !launch.activationToken.isEmpty() ? launch.activationToken : launch.startupId;
        if (!token.isEmpty()) {
            qputenv("XDG_ACTIVATION_TOKEN", token);
            window.requestActivate();
            // Taken by Qt when the compositor offers activation; otherwise
            // taken here.
            qunsetenv("XDG_ACTIVATION_TOKEN");
            return;
        }
    }
#if QT_CONFIG(xcb)
    if (!launch.startupId.isEmpty()) {
        if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            if (activateOnX11(x11->connection(), xcb_window_t(window.winId()), launch.startupId))
                return;
        }
    }
#endif
    window.requestActivate();
}

} // namespace quorbel
