#pragma once

#include "window/FormControls.h"
#include "window/win32/ControlIds.h"
#include "window/win32/DialogFont.h"
#include "window/win32/Dpi.h"
#include "window/win32/PageTabs.h"
#include "window/win32/ProgressWindow.h"

#include <windows.h>

#include <array>
#include <memory>

namespace tagwright::window {
class frmTagwright;
}

namespace tagwright::window::win32 {

// The window as a native Win32 dialog: every control of the window description as a child
// window at its twip position scaled to the monitor's dpi, in tab index order (which is the
// z-order the dialog manager tabs through). It implements the form's widget operations and
// hands the controls' events to the form's handlers.
//
// Created hidden, without a taskbar button (an owner window that is never shown keeps it
// off the taskbar). The program's one thread runs it.
class Win32Window final : public FormControls {
  public:
    Win32Window();
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // The form whose handlers the events run; until then events do nothing.
    void connect(frmTagwright& form) { form_ = &form; }
    // Shows and activates the window; the focus goes where the form put it.
    void show();
    // Runs the message loop until the program ends.
    int run();

    HWND handle() const { return window_; }
    HWND control(ControlId id) const { return GetDlgItem(window_, id); }
    UINT dpi() const { return dpi_; }
    bool ended() const { return ended_; }
    const DialogFont& font() const { return *font_; }

    void listClear(ListBox list) override;
    void listAppend(ListBox list, const std::u16string& text) override;
    void listFillBegin(ListBox list) override;
    void listFillEnd(ListBox list) override;
    int listCount(ListBox list) const override;
    std::u16string listText(ListBox list, int index) const override;
    bool listSelected(ListBox list, int index) const override;
    void layerClear() override;
    void layerAppend(const std::u16string& text) override;
    int layerCount() const override;
    int layerIndex() const override;
    void setLayerIndex(int index) override;
    std::u16string rotationText() const override;
    void setRotationIndex(int index) override;
    bool checked(CheckBox box) const override;
    void setEnabled(CheckBox box, bool enabled) override;
    std::u16string text(TextBox box) const override;
    void chooseOption(int index) override;
    std::u16string optionCaption(int index) const override;
    void focusChosenOption() override;
    int currentPage() const override;
    void setCurrentPage(int page) override;
    void setPageAvailable(int page, bool available) override;
    void showMessage(const std::u16string& text, const std::u16string& title) override;
    void setBusy(bool busy) override;
    void endProgram() override;
    void blockInput(bool blocked) override;
    void processEvents() override;
    void showProgress(bool cancellable) override;
    void setProgress(const std::u16string& text, int value, int maximum) override;
    void closeProgress() override;

    // The progress window while a run shows one.
    const ProgressWindow* progressWindow() const { return progress_.get(); }

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    // Places every control, sizes the window and makes its fonts and icons for `dpi`.
    void applyDpi(UINT dpi);
    void onCommand(int id, int code);
    void showPage(int page);
    void updateOptionTabStops();
    HWND chosenOption() const;
    bool onPage(HWND child) const;

    HWND control(ListBox list) const;
    HWND control(CheckBox box) const;
    HWND control(TextBox box) const;

    HWND owner_ = nullptr;
    HWND window_ = nullptr;
    std::unique_ptr<PageTabs> tabs_;
    std::unique_ptr<DialogFont> font_;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    UINT dpi_ = defaultDpi;
    frmTagwright* form_ = nullptr;
    HWND focus_ = nullptr;
    bool busy_ = false;
    bool ended_ = false;
    std::unique_ptr<ProgressWindow> progress_;
    bool inputBlocked_ = false;
    // A list box being filled: whether its drawing is held, its entries, and how many its
    // storage holds.
    struct ListFilling {
        bool active = false;
        bool held = false;
        int count = 0;
        int reserved = 0;
    };
    std::array<ListFilling, 3> filling_{};
    // A WM_QUIT that came while a run worked, for the loop once it is over.
    bool quitPending_ = false;
    int quitCode_ = 0;
};

} // namespace tagwright::window::win32
