#pragma once

// What the X server holds of the program's windows, for the tests that run on a real X server.

#include <cstdlib>
#include <cstring>
#include <memory>

#include <QByteArray>
#include <QGuiApplication>
#include <QList>
#include <QWidget>

#include <xcb/xcb.h>

namespace tarvisk::test {

inline xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

inline xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

/// The value of `window`'s property `name` of type `type` (empty when it has none, or not on X11).
inline QByteArray windowProperty(xcb_window_t window, const char* name, const char* type) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return {};
    }
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, atom(connection, name), atom(connection, type), 0, 4096);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply) {
        return {};
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

/// The windows the window manager stacks, bottom to top (_NET_CLIENT_LIST_STACKING of the root window).
inline QList<xcb_window_t> stackedWindows() {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return {};
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const QByteArray value = windowProperty(root, "_NET_CLIENT_LIST_STACKING", "WINDOW");
    QList<xcb_window_t> windows;
    for (qsizetype at = 0; at + 4 <= value.size(); at += 4) {
        xcb_window_t window = 0;
        std::memcpy(&window, value.constData() + at, 4);
        windows.append(window);
    }
    return windows;
}

} // namespace tarvisk::test
