// Tagwright on Windows: the native window attached to the running editor through COM.

#include "app/CommandLine.h"
#include "host/Attach.h"
#include "host/com/ComApartment.h"
#include "window/frmTagwright.h"
#include "window/win32/Handles.h"
#include "window/win32/Win32Window.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

namespace {

// The arguments after the program's name, split the way every Windows program splits them:
// a shortcut's target with "--trace" reaches here as typed.
std::vector<std::filesystem::path> commandLineArguments() {
    int count = 0;
    const tagwright::window::win32::UniqueLocal<wchar_t*> split(
        CommandLineToArgvW(GetCommandLineW(), &count));
    if (!split) {
        return {};
    }
    return std::vector<std::filesystem::path>(split.get() + std::min(count, 1),
                                              split.get() + count);
}

// Per logon session, as the desktop a user sees is.
constexpr wchar_t runningCopyName[] = L"Local\\Tagwright.Window";

// True when another copy of the program runs in this session: two copies labelling the same
// design at once only confuse. Its window is brought to the front, unless it has not shown
// yet; it then comes up in front anyway. Otherwise this process is now the running copy: the
// mutex stays with it until it ends.
bool anotherCopyRuns() {
    const HANDLE runningCopy = CreateMutexW(nullptr, FALSE, runningCopyName);
    const DWORD error = GetLastError();
    // An elevated copy's mutex cannot be opened from here, but it is there all the same.
    if (runningCopy ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED) {
        return false;
    }
    const HWND running = FindWindowW(tagwright::window::win32::windowClassName,
                                     tagwright::window::win32::windowCaption);
    if (running && IsWindowVisible(running)) {
        if (IsIconic(running)) {
            ShowWindow(running, SW_RESTORE);
        }
        // This process was just started by the user, so it may hand the foreground on; a
        // message box over the window stays in front of it.
        SetForegroundWindow(GetLastActivePopup(running));
    }
    return true;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace tagwright;
    if (anotherCopyRuns()) {
        return 0;
    }
    try {
        // Made first, so the apartment outlives every host object the form holds.
        host::com::ComApartment apartment;
        window::win32::Win32Window controls;
        auto attach = app::editorAttach(app::parseCommandLine(commandLineArguments()),
                                        host::attachRunningEditor, [](const std::u16string& text) {
                                            const std::wstring shown(text.begin(), text.end());
                                            MessageBoxW(nullptr, shown.c_str(), L"Tagwright",
                                                        MB_OK | MB_ICONWARNING);
                                        });
        window::frmTagwright form(controls, attach);
        controls.connect(form);
        if (!form.Form_Load()) {
            return 0;
        }
        controls.show();
        return controls.run();
    } catch (const std::exception& failure) {
        // Only the window's own set-up can get here; the form reports everything else.
        const std::string what = failure.what();
        MessageBoxW(nullptr, std::wstring(what.begin(), what.end()).c_str(), L"Tagwright", MB_OK);
        return 1;
    }
}
