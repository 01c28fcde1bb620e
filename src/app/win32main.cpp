// Tagwright on Windows: the native window attached to the running editor through COM.

#include "host/Attach.h"
#include "host/com/ComApartment.h"
#include "window/frmTagwright.h"
#include "window/win32/Win32Window.h"

#include <windows.h>

#include <exception>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace tagwright;
    try {
        // Made first, so the apartment outlives every host object the form holds.
        host::com::ComApartment apartment;
        window::win32::Win32Window controls;
        window::frmTagwright form(controls, host::attachRunningEditor);
        controls.connect(form);
        if (!form.Form_Load())
            return 0;
        controls.show();
        return controls.run();
    } catch (const std::exception& failure) {
        // Only the window's own set-up can get here; the form reports everything else.
        const std::string what = failure.what();
        MessageBoxW(nullptr, std::wstring(what.begin(), what.end()).c_str(), L"Tagwright", MB_OK);
        return 1;
    }
}
