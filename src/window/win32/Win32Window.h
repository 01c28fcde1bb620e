#pragma once

#include "window/FormControls.h"
#include "window/WindowDescription.h"
#include "window/win32/DialogFont.h"
#include "window/win32/Dpi.h"
#include "window/win32/Handles.h"
#include "window/win32/PageTabs.h"
#include "window/win32/ProgressWindow.h"

#include <windows.h>

#include <array>
#include <memory>

namespace tagwright::window::win32 {

// Other programs find the window by its class name and caption, and each control by its id:
// 100 plus its place in the window description, so the ids never change. None is IDOK or
// IDCANCEL, which the dialog manager sends for Enter and Escape.
inline constexpr wchar_t windowClassName[] = L"TagwrightWindow";
inline constexpr wchar_t windowCaption[] = L"Tagwright ";
constexpr int controlId(ControlId id) {
    return 100 + static_cast<int>(id);
}

// The window as a native Win32 dialog: every control of the window description as a child
// window at its twip position scaled to the monitor's dpi, in tab index order (which is the
// z-order the dialog manager tabs through). It implements the form's widget operations, and
// a control's event raises the form's handler that the description binds to it.
//
// While a run works the window is disabled and its class cursor is the hourglass: what the
// system keeps for the window is the whole state, with no flag of its own beside it.
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
    // One message of the thread's queue, as the loop handles it: the window's own keys, then
    // the dialog manager, then the window procedure.
    void dispatch(MSG& message) const;

    HWND handle() const { return window_.get(); }
    HWND control(ControlId id) const { return GetDlgItem(window_.get(), controlId(id)); }
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
    bool pageAvailable(int page) const override;
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
    // A click on the control `id` raises the handler the description binds to it.
    void onClicked(int id);
    // A key pressed in the window, before the control with the focus gets it; true when the
    // window acted on it.
    bool onKeyDown(HWND target, WPARAM key) const;
    void showPage(int page);
    void updateOptionTabStops();
    // Each list's widest entry measured again in the font of this dpi, and what it sets.
    void fitListsToEntries();
    void setListExtent(ListBox list, int widest);
    void setLayerDropWidth(int widest);
    UniqueMemoryDc measuringDc() const;
    HWND option(int index) const;
    HWND chosenOption() const;
    bool onPage(HWND child) const;
    bool isBusy() const;

    HWND control(ListBox list) const;
    HWND control(CheckBox box) const;
    HWND control(TextBox box) const;

    // Declared before the windows, so they outlive them: the window's messages use them until
    // it is gone, also when a throw while it is built destroys it.
    std::unique_ptr<PageTabs> tabs_;
    std::unique_ptr<DialogFont> font_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    UINT dpi_ = defaultDpi;
    frmTagwright* form_ = nullptr;
    HWND focus_ = nullptr;
    bool ended_ = false;
    // A list box being filled: whether its drawing is held, its entries, how many its
    // storage holds, and the one DC its entries are measured on.
    struct ListFilling {
        bool active = false;
        bool held = false;
        int count = 0;
        int reserved = 0;
        UniqueMemoryDc measuring;
    };
    std::array<ListFilling, 3> filling_{};
    // The width of each list's and of the layer list's widest entry in the font of this dpi,
    // in pixels: what the list scrolls across and the layer list drops down to.
    std::array<int, 3> widest_{};
    int widestLayer_ = 0;
    // A WM_QUIT that came while a run worked, for the loop once it is over.
    bool quitPending_ = false;
    int quitCode_ = 0;
    UniqueWindow owner_;
    // Set as it is created (WM_NCCREATE); given up when it is destroyed.
    UniqueWindow window_;
    // Owned by the window; goes first.
    std::unique_ptr<ProgressWindow> progress_;
};

} // namespace tagwright::window::win32
