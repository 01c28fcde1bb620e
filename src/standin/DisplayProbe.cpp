#include "standin/DisplayProbe.h"

#include <cstdlib>
#include <string_view>

#ifdef TAGWRIGHT_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace tagwright::standin {

namespace {

// A named X display may be gone, or never have been there: only connecting tells.
bool xDisplayOpens() {
#ifdef TAGWRIGHT_HAVE_XCB
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened;
#else
    return true;
#endif
}

} // namespace

bool displayAvailable() {
    // A platform chosen by name is trusted, unless it is X, which can be tried first.
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform) {
        return !std::string_view(platform).starts_with("xcb") || xDisplayOpens();
    }
    if (std::getenv("WAYLAND_DISPLAY")) {
        return true;
    }
    return std::getenv("DISPLAY") && xDisplayOpens();
}

} // namespace tagwright::standin
