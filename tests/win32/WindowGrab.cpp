// Saves a picture of a top-level window, frame included, as PNG: what scripts/screenshot-windows
// shows of the program under Wine.
//
//   tagwright-window-grab CAPTION OUT.png [SECONDS]
//
// Waits up to SECONDS (10) for a window with that caption to show, lets it paint, and copies
// its rectangle from the screen.

#include <windows.h>

#include <wincodec.h>

#include <cstdio>
#include <cwchar>
#include <string>

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

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: tagwright-window-grab CAPTION OUT.png [SECONDS]\n", stderr);
        return 2;
    }
    const int seconds = argc > 3 ? _wtoi(argv[3]) : 10;
    HWND window = nullptr;
    for (int tries = 0; tries < seconds * 20 && !(window && IsWindowVisible(window)); ++tries) {
        Sleep(50);
        window = FindWindowW(nullptr, argv[1]);
    }
    if (!window || !IsWindowVisible(window)) {
        std::fputs("tagwright-window-grab: the window did not show\n", stderr);
        return 1;
    }
    // Painting is done once the window answers a message sent after its first paint.
    Sleep(500);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    Sleep(200);

    RECT area;
    GetWindowRect(window, &area);
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool saved = savePng(bitmap, argv[2]);
    DeleteObject(bitmap);
    CoUninitialize();
    if (!saved) {
        std::fputs("tagwright-window-grab: cannot write the picture\n", stderr);
        return 1;
    }
    return 0;
}
