#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

class QWidget;

namespace tagwright::window::qt {

// A key-press handler sees the code of each typed character before the field inserts it and
// drops it by setting the code to 0.
using KeyPressHandler = std::function<void(std::int16_t& keyAscii)>;

// Routes every character typed into `field` (and input method commits) through `handler`.
// Keys that type nothing (arrows, Delete, Home, End, Tab) keep their usual behaviour.
void installKeyPress(QWidget* field, KeyPressHandler handler);

} // namespace tagwright::window::qt
