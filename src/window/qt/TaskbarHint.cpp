#include "window/qt/TaskbarHint.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>

#if defined(TAGWRIGHT_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace tagwright::window::qt {

namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_atom_t> atomList(xcb_connection_t* connection, xcb_window_t window,
                                 xcb_atom_t property) {
    const auto cookie = xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 1024);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM) {
        return {};
    }
    const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return {data, data + xcb_get_property_value_length(reply.get()) / sizeof(xcb_atom_t)};
}

bool contains(const std::vector<xcb_atom_t>& atoms, xcb_atom_t wanted) {
    for (const xcb_atom_t a : atoms) {
        if (a == wanted) {
            return true;
        }
    }
    return false;
}

} // namespace

void keepOffTaskbar(QWidget* window) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip = atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skip == XCB_ATOM_NONE) {
        return;
    }
    // Qt merges its own states into what it finds here when it maps the window.
    if (contains(atomList(connection, id, state), skip)) {
        return;
    }
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(connection);
}

bool isKeptOffTaskbar(QWidget* window) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    return contains(atomList(connection, id, atom(connection, "_NET_WM_STATE")),
                    atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"));
}

bool isWindowManagerClose(QWidget* window, const QByteArray& eventType, void* message) {
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    return client->window == static_cast<xcb_window_t>(window->winId()) && client->format == 32 &&
           client->type == atom(connection, "WM_PROTOCOLS") &&
           client->data.data32[0] == atom(connection, "WM_DELETE_WINDOW");
}

} // namespace tagwright::window::qt

#else

namespace tagwright::window::qt {

void keepOffTaskbar(QWidget*) {}
bool isKeptOffTaskbar(QWidget*) {
    return false;
}
bool isWindowManagerClose(QWidget*, const QByteArray&, void*) {
    return false;
}

} // namespace tagwright::window::qt

#endif
