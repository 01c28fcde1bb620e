#include "support/DesignCompare.h"

#include "support/Fault.h"

#include "host/Text.h"
#include "host/memory/DesignFile.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <tuple>
#include <utility>
#include <vector>

namespace tagwright::fuzz {

namespace {

using namespace host::memory;

// Numbers to the bit: a -0 saved as 0 is a difference.
bool same(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
template <class T> bool same(const T& a, const T& b) {
    return a == b;
}
template <class T> bool same(const std::vector<T>& a, const std::vector<T>& b);
template <class... T> bool same(const std::tuple<T...>& a, const std::tuple<T...>& b) {
    return [&]<std::size_t... i>(std::index_sequence<i...>) {
        return (same(std::get<i>(a), std::get<i>(b)) && ...);
    }
    (std::index_sequence_for<T...>{});
}

// Every field of each part that the design file holds.
auto fields(const std::u16string& x) {
    return std::tie(x);
}
auto fields(const NetClassData& x) {
    return std::tie(x.name, x.extra);
}
auto fields(const NetData& x) {
    return std::tie(x.name, x.netClass, x.selected, x.extra);
}
auto fields(const PinData& x) {
    return std::tie(x.name, x.number, x.x, x.y, x.net, x.extra);
}
auto fields(const ComponentData& x) {
    return std::tie(x.name, x.selected, x.pins, x.extra);
}
auto fields(const ViaData& x) {
    return std::tie(x.x, x.y, x.net, x.extra);
}
auto fields(const TextData* x) {
    return std::tie(x->text, x->layer, x->x, x->y, x->height, x->lineWidth, x->rotation, x->locked,
                    x->extra);
}

template <class T> bool same(const std::vector<T>& a, const std::vector<T>& b) {
    return std::ranges::equal(a, b,
                              [](const T& x, const T& y) { return same(fields(x), fields(y)); });
}

// The first member of two lists that differs, or their counts, in words; empty when alike.
template <class List>
std::string differenceIn(const std::string& what, const List& a, const List& b) {
    if (a.size() != b.size()) {
        return what + " count differs: " + std::to_string(a.size()) + " / " +
               std::to_string(b.size());
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!same(fields(a[i]), fields(b[i]))) {
            return what + "[" + std::to_string(i) + "] differs";
        }
    }
    return {};
}

std::vector<const TextData*> liveTexts(const Design& design) {
    std::vector<const TextData*> live;
    for (const auto& text : design.texts) {
        if (!text->deleted) {
            live.push_back(text.get());
        }
    }
    return live;
}

// Empty when the two designs hold the same content (live texts only, numbers to the bit);
// otherwise the first difference, in words.
std::string differenceBetween(const Design& a, const Design& b) {
    if (a.unit != b.unit || a.extra != b.extra) {
        return "unit or extra differs";
    }
    for (const std::string& difference :
         std::initializer_list<std::string>{differenceIn("layers", a.layers, b.layers),
                                            differenceIn("netClasses", a.netClasses, b.netClasses),
                                            differenceIn("nets", a.nets, b.nets),
                                            differenceIn("components", a.components, b.components),
                                            differenceIn("vias", a.vias, b.vias),
                                            differenceIn("texts", liveTexts(a), liveTexts(b))}) {
        if (!difference.empty()) {
            return difference;
        }
    }
    return {};
}

} // namespace

void checkSavesAndReloads(const Design& design) {
    const std::string saved = serializeDesign(design);
    Design reloaded;
    try {
        reloaded = parseDesign(saved, "saved");
    } catch (const DesignFileError& error) {
        fault(std::string("a saved design does not load: ") + error.what());
    }
    if (const std::string difference = differenceBetween(design, reloaded); !difference.empty()) {
        fault("a saved design reloads different: " + difference);
    }
    if (serializeDesign(reloaded) != saved) {
        fault("a reloaded design saves different text");
    }
}

} // namespace tagwright::fuzz
