#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tagwright::run {

enum LabelType : std::int16_t { NetNameLabel = 0, PinNumberLabel = 1, NetClassLabel = 2 };

struct ListEntry {
    std::u16string text;
    bool selected = false;
};

// What the window hands a label run, read from it once per click: nothing in the window can
// change while a handler runs, so one reading gives the same answers as reading at each test.
struct LabelRequest {
    std::int16_t labelType = PinNumberLabel;
    std::u16string offsetX, offsetY, fontHeight, fontWidth, rotation;
    bool selectedComponents = false; // chkSelectedComp
    bool selectedNets = false;       // chkSelectedNets
    bool selectedNetClasses = false; // chkSelectedNetClasses
    bool unusedPins = false;         // chkUnUsedPins
    bool vias = false;               // chkVias
    std::vector<ListEntry> components, nets, netClasses;
    std::int32_t layerIndex = 0; // selected entry of cboLabelLayer, -1 when none
};

} // namespace tagwright::run
