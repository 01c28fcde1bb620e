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

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace tagwright;
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
