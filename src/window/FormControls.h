#pragma once

#include "window/ProgressControls.h"

#include <cstdint>
#include <string>

namespace tagwright::window {

// The controls the form reads or changes, by their names in the window description. Controls
// that the behaviour never touches (frames, captions, buttons) have no id: a front end builds
// them from the description and only raises their events.
enum class ListBox { lstCompList, lstNetList, lstNetClassList };
enum class CheckBox {
    chkSelectedComp,
    chkUnUsedPins,
    chkVias,
    chkSelectedNets,
    chkSelectedNetClasses
};
enum class TextBox { txtLabelOffsetX, txtLabelOffsetY, txtLabelFontH, txtLabelFontW };

// Pages of tabObjList, by index.
inline constexpr int componentsPage = 0;
inline constexpr int netsPage = 1;
inline constexpr int netClassesPage = 2;

// Everything the form's behaviour asks of a toolkit: the widget operations of the window
// description, and what long runs need (ProgressControls), and nothing more. Each front end (Qt on
// Linux, Win32 on Windows) implements it over its own widgets and raises the form's handlers for
// the events; tests implement it in memory. Indexes are 0-based. Text is UTF-16, as the editor
// delivers it.
//
// Setting state from code never raises an event: the form runs its own handler where a
// choice from code must behave like a click.
class FormControls : public ProgressControls {
  public:
    // List boxes: unsorted, extended multiple selection.
    virtual void listClear(ListBox list) = 0;
    virtual void listAppend(ListBox list, const std::u16string& text) = 0;
    virtual int listCount(ListBox list) const = 0;
    virtual std::u16string listText(ListBox list, int index) const = 0;
    virtual bool listSelected(ListBox list, int index) const = 0;
    // Bracket the appends that fill a list from the editor, which may be thousands: a toolkit
    // may hold the list's drawing and grow its storage ahead meanwhile. Every begin is ended,
    // however the fill ends.
    virtual void listFillBegin(ListBox) {}
    virtual void listFillEnd(ListBox) {}

    // cboLabelLayer, a drop-down list. The picked index is -1 when nothing is picked.
    virtual void layerClear() = 0;
    virtual void layerAppend(const std::u16string& text) = 0;
    virtual int layerCount() const = 0;
    virtual int layerIndex() const = 0;
    virtual void setLayerIndex(int index) = 0;

    // cboLabelRotation, an editable combo box with fixed items: picking an item puts its
    // text into the field.
    virtual std::u16string rotationText() const = 0;
    virtual void setRotationIndex(int index) = 0;

    virtual bool checked(CheckBox box) const = 0;
    virtual void setEnabled(CheckBox box, bool enabled) = 0;

    virtual std::u16string text(TextBox box) const = 0;

    // optLabelType: makes `index` the chosen option (clearing the others); the only option
    // that takes focus, so the Tab cycle enters the group there.
    virtual void chooseOption(int index) = 0;
    virtual std::u16string optionCaption(int index) const = 0;
    // Puts the keyboard focus on the chosen option: the window's first Tab stop.
    virtual void focusChosenOption() = 0;

    // tabObjList. Bringing a page to the front from code works also for an unavailable page;
    // an unavailable page only refuses the user.
    virtual int currentPage() const = 0;
    virtual void setCurrentPage(int page) = 0;
    virtual void setPageAvailable(int page, bool available) = 0;
    virtual bool pageAvailable(int page) const = 0;

    // Ends the program: closes the window and leaves the event loop (or, before the window
    // was shown, makes the start-up return without showing it).
    virtual void endProgram() = 0;
};

} // namespace tagwright::window
