#include "host/memory/BoardGenerator.h"

#include "host/Text.h"

#include <algorithm>
#include <random>
#include <string>

namespace tagwright::host::memory {

namespace {

std::u16string name(const char* prefix, std::int32_t n) {
    return fromUtf8(prefix + std::to_string(n));
}

} // namespace

Design generateBoard(const BoardShape& shape) {
    std::mt19937 random(shape.seed);
    auto pick = [&](std::int32_t count) {
        return static_cast<Index>(
            std::uniform_int_distribution<std::int32_t>(0, count - 1)(random));
    };

    Design design;
    design.unit = 2;
    design.layers = {u"Top", u"Bottom", u"Silkscreen Top", u"Silkscreen Bottom"};
    for (std::int32_t i = 0; i < shape.netClasses; ++i) {
        design.netClasses.push_back({name("CLASS", i), {}});
    }
    design.nets.reserve(static_cast<std::size_t>(shape.nets));
    for (std::int32_t i = 0; i < shape.nets; ++i) {
        NetData net;
        net.name = name("N", i);
        if (shape.netClasses > 0 && i % 10 != 9) {
            net.netClass = i % shape.netClasses;
        }
        design.nets.push_back(std::move(net));
    }
    design.components.reserve(static_cast<std::size_t>(shape.components));
    std::int32_t pinCount = 0;
    const std::int32_t repeatEvery =
        shape.repeatedNames > 0 ? std::max(shape.components / shape.repeatedNames, 2) : 0;
    for (std::int32_t c = 0; c < shape.components; ++c) {
        ComponentData component;
        bool repeats = repeatEvery > 0 && c % repeatEvery == repeatEvery - 1;
        component.name = name("U", repeats ? c : c + 1);
        component.pins.reserve(static_cast<std::size_t>(shape.pinsPerComponent));
        for (std::int32_t p = 0; p < shape.pinsPerComponent; ++p, ++pinCount) {
            PinData pin;
            pin.name = name("", p + 1);
            pin.number = p + 1;
            pin.x = (c % 100) * 500.0 + p * 50.0;
            pin.y = (c / 100) * 500.0;
            if (shape.nets > 0 && pinCount % 20 != 19) {
                pin.net = pick(shape.nets);
            }
            component.pins.push_back(std::move(pin));
        }
        design.components.push_back(std::move(component));
    }
    design.vias.reserve(static_cast<std::size_t>(shape.vias));
    for (std::int32_t v = 0; v < shape.vias; ++v) {
        ViaData via;
        via.x = (v % 200) * 250.0 + 25.0;
        via.y = (v / 200) * 250.0 + 25.0;
        if (shape.nets > 0 && v % 25 != 24) {
            via.net = pick(shape.nets);
        }
        design.vias.push_back(std::move(via));
    }
    design.texts.reserve(static_cast<std::size_t>(shape.texts));
    for (std::int32_t t = 0; t < shape.texts; ++t) {
        auto text = std::make_shared<TextData>();
        text->text = name("{N", shape.nets > 0 ? t % shape.nets : t) + u"}";
        text->x = (t % 200) * 100.0;
        text->y = (t / 200) * 100.0;
        text->height = 15;
        text->lineWidth = 1;
        design.texts.push_back(std::move(text));
    }
    return design;
}

} // namespace tagwright::host::memory
