#pragma once

#include "host/CallDelay.h"
#include "host/HostRoles.h"
#include "host/memory/MemoryHost.h"
#include "support/CallRecorder.h"
#include "support/TestDesign.h"
#include "window/frmTagwright.h"
#include "window/win32/Win32Window.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

namespace tagwright::test {

// The native window with the form over an in-memory design, loaded and shown, driven in this
// thread the way the message loop would drive it. The host can wait `delay` at each call, and
// `during` runs at every call, inside the handler, as the run goes.
struct NativeWindow {
    explicit NativeWindow(const std::string& json = smallBoard)
        : NativeWindow(host::memory::parseDesign(json, "test")) {}
    explicit NativeWindow(host::memory::Design board, std::chrono::microseconds delay = {})
        : design(std::make_shared<host::memory::Design>(std::move(board))),
          form(controls, [this, delay] {
              return host::HostApplication(host::recordCalls(
                  host::delayCalls(host::memory::makeApplication(design), delay), log));
          }) {
        controls.connect(form);
        log->beforeCall = [this](const host::RecordedCall&) {
            if (during) {
                during();
            }
        };
    }

    bool loadAndShow() {
        if (!form.Form_Load()) {
            return false;
        }
        controls.show();
        pump();
        return true;
    }

    // Handles every queued message as the program's loop does.
    void pump() const {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                continue;
            }
            controls.dispatch(message);
        }
    }

    // A key pressed where the focus is, handled as the loop does it; `held` are down meanwhile.
    void press(WPARAM key, std::initializer_list<BYTE> held = {}) const {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        for (const BYTE k : held) {
            keys[k] = 0x80;
        }
        SetKeyboardState(keys);
        MSG message{GetFocus(), WM_KEYDOWN, key, 1, 0, {}};
        controls.dispatch(message);
        for (const BYTE k : held) {
            keys[k] = 0;
        }
        SetKeyboardState(keys);
        pump();
    }

    // Types `text` into a field one character at a time.
    void type(HWND field, const std::wstring& text) const {
        for (const wchar_t c : text) {
            PostMessageW(field, WM_CHAR, c, 1);
        }
        pump();
    }

    // A click of the user on a control.
    void click(window::ControlId id) const {
        SendMessageW(controls.control(id), BM_CLICK, 0, 0);
        pump();
    }

    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    std::function<void()> during;
    window::win32::Win32Window controls;
    window::frmTagwright form;
};

inline std::wstring textOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace tagwright::test
