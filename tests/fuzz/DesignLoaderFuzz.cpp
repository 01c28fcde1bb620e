// Design files as users hand them over, damaged or hostile: the loader either refuses the file,
// naming it and, where known, the field, or reads exactly what the file says; and the design it
// reads saves and reloads unchanged.
#include "host/Text.h"
#include "host/memory/DesignFile.h"
#include "support/DesignCompare.h"
#include "support/Fault.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

using namespace tagwright;
using host::memory::Design;
using nlohmann::json;

namespace {

const std::string fileName = "board.json";

// The file's name first, then what is wrong: with a field's path wherever the field is known,
// which only the loader can tell. Short, however long the token it stopped at: a message box
// takes seconds to lay out a message of a megabyte.
void checkRefusal(const std::string& message) {
    const std::string prefix = fileName + ": ";
    if (message.rfind(prefix, 0) != 0 || message.size() <= prefix.size()) {
        fuzz::fault("a refusal that does not name the file: " + message.substr(0, 200));
    }
    if (message.size() > 4096) {
        fuzz::fault("a refusal of " + std::to_string(message.size()) +
                    " bytes: " + message.substr(0, 200));
    }
}

// The array at `key` (none: an empty one), which holds as many members as the design does.
const json& list(const json& object, const char* key, std::size_t read) {
    static const json none = json::array();
    auto found = object.find(key);
    const json& array = found == object.end() ? none : *found;
    if (array.size() != read) {
        fuzz::fault(std::string(key) + ": the file has " + std::to_string(array.size()) +
                    ", the design " + std::to_string(read));
    }
    return array;
}

std::string name(const json& object, const char* key) {
    auto found = object.find(key);
    return found == object.end() ? std::string() : found->get<std::string>();
}

std::u16string netName(const Design& design, std::int32_t net) {
    return net < 0 ? u"" : design.nets[static_cast<std::size_t>(net)].name;
}

void same(const char* what, const std::string& inFile, const std::u16string& read) {
    if (host::fromUtf8(inFile) != read) {
        fuzz::fault(std::string(what) + ": the file says \"" + inFile + "\", the design \"" +
                    host::toUtf8(read) + "\"");
    }
}

void flag(const char* what, const json& object, const char* key, bool read) {
    auto found = object.find(key);
    if ((found != object.end() && found->get<bool>()) != read) {
        fuzz::fault(std::string(what) + " read wrong");
    }
}

void number(const char* what, const json& object, const char* key, double read) {
    auto found = object.find(key);
    const double inFile = found == object.end() ? 0 : found->get<double>();
    if (inFile != read) {
        fuzz::fault(std::string(what) + ": the file says " + std::to_string(inFile) +
                    ", the design " + std::to_string(read));
    }
}

// Exact, whatever width the JSON library stored the number in.
void integer(const char* what, const json& object, const char* key, std::int64_t read,
             std::int64_t fallback) {
    auto found = object.find(key);
    bool same = false;
    if (found == object.end()) {
        same = read == fallback;
    } else if (found->is_number_unsigned()) {
        same = read >= 0 && found->get<std::uint64_t>() == static_cast<std::uint64_t>(read);
    } else {
        same = found->get<std::int64_t>() == read;
    }
    if (!same) {
        fuzz::fault(std::string(what) + ": the file says " +
                    (found == object.end() ? "nothing" : found->dump()) + ", the design " +
                    std::to_string(read));
    }
}

// The file read a second, plainer way (the whole tree, no streaming), so that what the loader
// made of it can be held against what it says.
void checkAgainstFile(const Design& design, const std::string& text) {
    json root;
    // An object with fewer members than keys had a key twice, and kept only its last.
    std::vector<std::size_t> keys;
    bool repeated = false;
    try {
        root = json::parse(text, [&](int, json::parse_event_t event, json& parsed) {
            if (event == json::parse_event_t::object_start) {
                keys.push_back(0);
            } else if (event == json::parse_event_t::key) {
                ++keys.back();
            } else if (event == json::parse_event_t::object_end) {
                repeated = repeated || parsed.size() != keys.back();
                keys.pop_back();
            }
            return true;
        });
    } catch (const json::exception& error) {
        fuzz::fault(std::string("accepted a file JSON refuses: ") + error.what());
    }
    if (repeated) {
        fuzz::fault("accepted a file that repeats a key");
    }
    // JSON stops at a NUL byte outside a string (inside one it refuses it).
    if (text.find('\0') != std::string::npos) {
        fuzz::fault("accepted a file whose design ends at a NUL byte before the file does");
    }
    integer("unit", root, "unit", design.unit, 2);
    const json& layers = list(root, "layers", design.layers.size());
    for (std::size_t i = 0; i < layers.size(); ++i) {
        same("layers", layers[i].get<std::string>(), design.layers[i]);
    }
    const json& classes = list(root, "netClasses", design.netClasses.size());
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const json& c = classes[i];
        same("netClasses[].name", c.is_string() ? c.get<std::string>() : name(c, "name"),
             design.netClasses[i].name);
    }
    const json& nets = list(root, "nets", design.nets.size());
    for (std::size_t i = 0; i < nets.size(); ++i) {
        const auto& net = design.nets[i];
        same("nets[].name", name(nets[i], "name"), net.name);
        same("nets[].netClass", name(nets[i], "netClass"),
             net.netClass < 0 ? u"" : design.netClasses[net.netClass].name);
        flag("nets[].selected", nets[i], "selected", net.selected);
    }
    const json& components = list(root, "components", design.components.size());
    for (std::size_t i = 0; i < components.size(); ++i) {
        const json& c = components[i];
        const auto& component = design.components[i];
        same("components[].name", name(c, "name"), component.name);
        flag("components[].selected", c, "selected", component.selected);
        const json& pins = list(c, "pins", component.pins.size());
        for (std::size_t k = 0; k < pins.size(); ++k) {
            const auto& pin = component.pins[k];
            same("pins[].name", name(pins[k], "name"), pin.name);
            integer("pins[].number", pins[k], "number", pin.number, 0);
            number("pins[].x", pins[k], "x", pin.x);
            number("pins[].y", pins[k], "y", pin.y);
            same("pins[].net", name(pins[k], "net"), netName(design, pin.net));
        }
    }
    const json& vias = list(root, "vias", design.vias.size());
    for (std::size_t i = 0; i < vias.size(); ++i) {
        number("vias[].x", vias[i], "x", design.vias[i].x);
        number("vias[].y", vias[i], "y", design.vias[i].y);
        same("vias[].net", name(vias[i], "net"), netName(design, design.vias[i].net));
    }
    const json& texts = list(root, "texts", design.texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const json& t = texts[i];
        const auto& text = *design.texts[i];
        same("texts[].text", name(t, "text"), text.text);
        integer("texts[].layer", t, "layer", text.layer, 1);
        number("texts[].x", t, "x", text.x);
        number("texts[].y", t, "y", text.y);
        number("texts[].height", t, "height", text.height);
        number("texts[].lineWidth", t, "lineWidth", text.lineWidth);
        number("texts[].rotation", t, "rotation", text.rotation);
        flag("texts[].locked", t, "locked", text.locked);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Design design;
    try {
        design = host::memory::parseDesign(text, fileName);
    } catch (const host::memory::DesignFileError& error) {
        checkRefusal(error.what());
        return 0;
    }
    checkAgainstFile(design, text);
    fuzz::checkSavesAndReloads(design);
    return 0;
}
