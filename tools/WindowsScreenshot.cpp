// Not a test: the picture of the program for the documentation. Serves a design file with the
// COM test server, starts tagwright.exe on it, and saves the window's client area as PNG once
// it has painted (scripts/screenshot-windows). The frame is left out: without a window
// manager, Wine draws a stand-in of its own.
//
//   tagwright-screenshot DESIGN.json OUT.png [PROGRESS.png]
//
// With a third file, a second picture: a run of the window over an editor that takes 15 ms
// over every call, taken while its progress window is up, with that window's frame and title.

#include "EditorProcess.h"
#include "ProgramDriver.h"

#include "host/com/ComApartment.h"
#include "host/com/ComHandles.h"
#include "host/memory/DesignFile.h"
#include "window/win32/Handles.h"
#include "window/win32/ProgressWindow.h"

#include <windows.h>

#include <wincodec.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <thread>

using namespace tagwright;

namespace {

bool savePng(HBITMAP bitmap, const wchar_t* path) {
    using host::com::ComPtr;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmap> image;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(factory.put()))) ||
        FAILED(
            factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, image.put())) ||
        FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromFilename(path, GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), nullptr)) ||
        FAILED(frame->Initialize(nullptr))) {
        return false;
    }
    UINT width = 0, height = 0;
    image->GetSize(&width, &height);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    return SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           SUCCEEDED(frame->WriteSource(image.get(), nullptr)) && SUCCEEDED(frame->Commit()) &&
           SUCCEEDED(encoder->Commit());
}

RECT clientOnScreen(HWND window) {
    RECT area;
    GetClientRect(window, &area);
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

// Saves what the screen shows in `area`.
bool savePng(const RECT& area, const wchar_t* path) {
    using namespace window::win32;
    const int width = area.right - area.left, height = area.bottom - area.top;
    const WindowDc screen(nullptr);
    const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    const UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    {
        const SelectedObject selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY);
    }
    return savePng(bitmap.get(), path);
}

// The window with the progress window of an add-labels run over it.
bool takeProgress(const wchar_t* designPath, const wchar_t* out) {
    using namespace std::chrono_literals;
    test::EditorProcess editor(host::memory::loadDesign(std::filesystem::path(designPath)),
                               {.callDelay = 15000us});
    test::ProgramUnderTest program;
    if (!program.waitForWindow(60000)) {
        return false;
    }
    std::atomic<bool> done = false;
    std::thread clicker([&] {
        program.click(window::ControlId::cmdAddLabel);
        done = true;
    });
    HWND progress = nullptr;
    for (int waited = 0; !done && !progress && waited < 1000; ++waited) {
        progress = FindWindowW(window::win32::progressClassName, L"Tagwright");
        Sleep(10);
    }
    bool saved = false;
    if (progress) {
        Sleep(2500);
        RECT area = clientOnScreen(program.window()), around;
        GetWindowRect(progress, &around);
        UnionRect(&area, &area, &around);
        saved = savePng(area, out);
        PostMessageW(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
    }
    clicker.join();
    PostMessageW(program.window(), WM_CLOSE, 0, 0);
    program.waitForExit();
    return saved;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 4) {
        std::fputs("usage: tagwright-screenshot DESIGN.json OUT.png [PROGRESS.png]\n", stderr);
        return 2;
    }
    try {
        host::com::ComApartment apartment;
        // One test server at a time: the progress picture starts a slow one of its own.
        {
            test::EditorProcess editor(host::memory::loadDesign(std::filesystem::path(argv[1])));
            test::ProgramUnderTest program;
            if (!program.waitForWindow()) {
                std::fputs("tagwright-screenshot: the window did not show\n", stderr);
                return 1;
            }
            // Painted once it answers a message sent after its first paint; a moment more for
            // the display to take it.
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(program.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
            Sleep(500);
            const bool saved = savePng(clientOnScreen(program.window()), argv[2]);
            PostMessageW(program.window(), WM_CLOSE, 0, 0);
            program.waitForExit();
            if (!saved) {
                std::fputs("tagwright-screenshot: cannot write the picture\n", stderr);
                return 1;
            }
        }
        if (argc == 4 && !takeProgress(argv[1], argv[3])) {
            std::fputs("tagwright-screenshot: no picture of the progress window\n", stderr);
            return 1;
        }
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tagwright-screenshot: %s\n", failure.what());
        return 1;
    }
}
