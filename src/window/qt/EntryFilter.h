#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

class QWidget;

namespace tagwright::window {

// A key-press handler sees the code of each typed character before the field inserts it and
// drops it by setting the code to 0.
using KeyPressHandler = std::function<void(std::int16_t& keyAscii)>;

// Typed characters for the size and offset fields: digits, "-", ".", Backspace, Ctrl+A.
bool isSizeOrOffsetKey(std::int16_t keyAscii);
// The same without "-": a negative rotation cannot be typed.
bool isRotationKey(std::int16_t keyAscii);

// Routes every character typed into `field` (and input method commits) through `handler`.
// Keys that type nothing (arrows, Delete, Home, End, Tab) keep their usual behaviour.
void installKeyPress(QWidget* field, KeyPressHandler handler);

} // namespace tagwright::window
