#include "support/DesignCompare.h"

#include "support/Fault.h"

#include "host/Text.h"
#include "host/memory/DesignFile.h"

#include <bit>
#include <cstdint>
#include <vector>

namespace tagwright::fuzz {

namespace {

using namespace host::memory;

// Collects the first difference; later comparisons are skipped once one is found.
class Comparison {
  public:
    template <class T> void same(const std::string& what, const T& a, const T& b) {
        if (difference_.empty() && !(a == b)) {
            difference_ = what + " differs";
        }
    }
    void same(const std::string& what, double a, double b) {
        if (difference_.empty() &&
            std::bit_cast<std::uint64_t>(a) != std::bit_cast<std::uint64_t>(b)) {
            difference_ = what + " differs: " + std::to_string(a) + " / " + std::to_string(b);
        }
    }
    void same(const std::string& what, const std::u16string& a, const std::u16string& b) {
        if (difference_.empty() && a != b) {
            difference_ =
                what + " differs: \"" + host::toUtf8(a) + "\" / \"" + host::toUtf8(b) + "\"";
        }
    }
    void sameCount(const std::string& what, std::size_t a, std::size_t b) {
        if (difference_.empty() && a != b) {
            difference_ = what + " count differs: " + std::to_string(a) + " / " + std::to_string(b);
        }
    }
    bool ok() const { return difference_.empty(); }
    std::string result() const { return difference_; }

  private:
    std::string difference_;
};

std::vector<const TextData*> liveTexts(const Design& design) {
    std::vector<const TextData*> live;
    for (const auto& text : design.texts) {
        if (!text->deleted) {
            live.push_back(text.get());
        }
    }
    return live;
}

std::string at(const char* array, std::size_t i) {
    return std::string(array) + "[" + std::to_string(i) + "]";
}

} // namespace

std::string differenceBetween(const Design& a, const Design& b) {
    Comparison c;
    c.same("unit", a.unit, b.unit);
    c.same("extra", a.extra, b.extra);
    c.sameCount("layers", a.layers.size(), b.layers.size());
    for (std::size_t i = 0; c.ok() && i < a.layers.size(); ++i) {
        c.same(at("layers", i), a.layers[i], b.layers[i]);
    }
    c.sameCount("netClasses", a.netClasses.size(), b.netClasses.size());
    for (std::size_t i = 0; c.ok() && i < a.netClasses.size(); ++i) {
        c.same(at("netClasses", i) + ".name", a.netClasses[i].name, b.netClasses[i].name);
        c.same(at("netClasses", i) + ".extra", a.netClasses[i].extra, b.netClasses[i].extra);
    }
    c.sameCount("nets", a.nets.size(), b.nets.size());
    for (std::size_t i = 0; c.ok() && i < a.nets.size(); ++i) {
        const NetData &x = a.nets[i], &y = b.nets[i];
        const std::string path = at("nets", i);
        c.same(path + ".name", x.name, y.name);
        c.same(path + ".netClass", x.netClass, y.netClass);
        c.same(path + ".selected", x.selected, y.selected);
        c.same(path + ".extra", x.extra, y.extra);
    }
    c.sameCount("components", a.components.size(), b.components.size());
    for (std::size_t i = 0; c.ok() && i < a.components.size(); ++i) {
        const ComponentData &x = a.components[i], &y = b.components[i];
        const std::string path = at("components", i);
        c.same(path + ".name", x.name, y.name);
        c.same(path + ".selected", x.selected, y.selected);
        c.same(path + ".extra", x.extra, y.extra);
        c.sameCount(path + ".pins", x.pins.size(), y.pins.size());
        for (std::size_t k = 0; c.ok() && k < x.pins.size(); ++k) {
            const PinData &p = x.pins[k], &q = y.pins[k];
            const std::string pin = path + "." + at("pins", k);
            c.same(pin + ".name", p.name, q.name);
            c.same(pin + ".number", p.number, q.number);
            c.same(pin + ".x", p.x, q.x);
            c.same(pin + ".y", p.y, q.y);
            c.same(pin + ".net", p.net, q.net);
            c.same(pin + ".extra", p.extra, q.extra);
        }
    }
    c.sameCount("vias", a.vias.size(), b.vias.size());
    for (std::size_t i = 0; c.ok() && i < a.vias.size(); ++i) {
        const ViaData &x = a.vias[i], &y = b.vias[i];
        c.same(at("vias", i) + ".x", x.x, y.x);
        c.same(at("vias", i) + ".y", x.y, y.y);
        c.same(at("vias", i) + ".net", x.net, y.net);
        c.same(at("vias", i) + ".extra", x.extra, y.extra);
    }
    const auto textsA = liveTexts(a), textsB = liveTexts(b);
    c.sameCount("texts", textsA.size(), textsB.size());
    for (std::size_t i = 0; c.ok() && i < textsA.size(); ++i) {
        const TextData &x = *textsA[i], &y = *textsB[i];
        const std::string path = at("texts", i);
        c.same(path + ".text", x.text, y.text);
        c.same(path + ".layer", x.layer, y.layer);
        c.same(path + ".x", x.x, y.x);
        c.same(path + ".y", x.y, y.y);
        c.same(path + ".height", x.height, y.height);
        c.same(path + ".lineWidth", x.lineWidth, y.lineWidth);
        c.same(path + ".rotation", x.rotation, y.rotation);
        c.same(path + ".locked", x.locked, y.locked);
        c.same(path + ".extra", x.extra, y.extra);
    }
    return c.result();
}

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
