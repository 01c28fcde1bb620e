#pragma once

#include "window/win32/Handles.h"

#include <windows.h>

#include <array>

namespace tagwright::window::win32 {

// The tab control of the object lists (SysTabControl32, owner-drawn). It has no disabled tabs
// of its own, so this keeps which pages the user may bring to the front: it learns from the
// user's input which page a change is heading for, so the window can refuse it while it is
// being asked (TCN_SELCHANGING). It draws the tabs: an unavailable page's caption greyed, and
// the focus rectangle, which an owner-drawn tab control leaves to its owner. The program
// brings any page to the front with TCM_SETCURSEL, which asks nothing.
//
// The page controls are the window's own children, lying over the tab control but below it in
// the z-order, which is also the tab order; the tab control therefore leaves out whatever
// visible sibling covers it when it paints.
class PageTabs {
  public:
    static constexpr int pageCount = 3;

    explicit PageTabs(HWND tabs);
    PageTabs(const PageTabs&) = delete;
    PageTabs& operator=(const PageTabs&) = delete;

    HWND handle() const { return tabs_; }
    void setAvailable(int page, bool available);
    bool available(int page) const;
    // For TCN_SELCHANGING: true when the user is heading for an unavailable page.
    bool refusesChange() const;
    // WM_DRAWITEM for one tab.
    void draw(const DRAWITEMSTRUCT& item, HFONT font) const;
    // A brush of the tab control's own face, lined up for drawing into `dc` of the window
    // `on`: what a control lying on a page paints its background with, so that it does not
    // stand out from a page drawn in another colour than the window (as themes draw it).
    HBRUSH faceBrush(HDC dc, HWND on);

  private:
    static LRESULT CALLBACK subclass(HWND tabs, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Sends a message on to the tab control while the user heads for `page`.
    LRESULT headingFor(int page, UINT message, WPARAM wParam, LPARAM lParam);
    // Left or right to the nearest available page; nothing when there is none.
    LRESULT step(int direction);
    // Whether the tab of `page`, drawn in the owner-draw `state`, shows the focus rectangle.
    bool showsFocus(int page, UINT state) const;
    void invalidateFocus() const;
    void excludeCoveredParts(HDC dc) const;
    void dropFace();

    HWND tabs_;
    std::array<bool, pageCount> available_{true, true, true};
    int target_ = -1;
    UniqueBitmap face_;
    // Made of face_; goes first.
    UniqueBrush faceBrush_;
};

} // namespace tagwright::window::win32
