// Not a test: the picture of the program for the documentation. Serves a design file with the
// COM test server, starts tagwright.exe on it, and saves the window's client area as PNG once
// it has painted (scripts/screenshot-windows). The frame is left out: without a window
// manager, Wine draws a stand-in of its own.
//
//   tagwright-screenshot DESIGN.json OUT.png

#include "EditorProcess.h"
#include "ProgramDriver.h"

#include "host/com/ComApartment.h"
#include "host/memory/DesignFile.h"

#include <windows.h>

#include <wincodec.h>

#include <cstdio>
#include <exception>
#include <filesystem>

using namespace tagwright;

namespace {

template <typename T> struct Released {
    T* p = nullptr;
    ~Released() {
        if (p)
            p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
};

bool savePng(HBITMAP bitmap, const wchar_t* path) {
    Released<IWICImagingFactory> factory;
    Released<IWICBitmap> image;
    Released<IWICStream> stream;
    Released<IWICBitmapEncoder> encoder;
    Released<IWICBitmapFrameEncode> frame;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(factory.put()))) ||
        FAILED(
            factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, image.put())) ||
        FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromFilename(path, GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), nullptr)) || FAILED(frame->Initialize(nullptr)))
        return false;
    UINT width = 0, height = 0;
    image->GetSize(&width, &height);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    return SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           SUCCEEDED(frame->WriteSource(image.p, nullptr)) && SUCCEEDED(frame->Commit()) &&
           SUCCEEDED(encoder->Commit());
}

// The window's client area as the screen shows it.
HBITMAP capture(HWND window) {
    RECT area;
    GetClientRect(window, &area);
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&area), 2);
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: tagwright-screenshot DESIGN.json OUT.png\n", stderr);
        return 2;
    }
    try {
        host::com::ComApartment apartment;
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
        HBITMAP picture = capture(program.window());
        const bool saved = savePng(picture, argv[2]);
        DeleteObject(picture);
        PostMessageW(program.window(), WM_CLOSE, 0, 0);
        program.waitForExit();
        if (!saved) {
            std::fputs("tagwright-screenshot: cannot write the picture\n", stderr);
            return 1;
        }
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tagwright-screenshot: %s\n", failure.what());
        return 1;
    }
}
