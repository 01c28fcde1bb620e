#include "host/memory/DesignFile.h"

#include "host/Text.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <unordered_map>
#include <utility>

namespace tagwright::host::memory {

namespace {

using nlohmann::json;

// Reads one JSON object field by field, so every refusal can name the exact field, and
// gathers the fields it was not asked for, which are written back unchanged.
class FieldReader {
  public:
    FieldReader(const json& object, std::string path, const std::string& file)
        : object_(object), path_(std::move(path)), file_(file) {
        if (!object_.is_object()) {
            fail(path_.empty() ? "the design" : path_, "must be an object");
        }
    }

    const json* find(const char* key) {
        known_.push_back(key);
        auto it = object_.find(key);
        return it == object_.end() ? nullptr : &*it;
    }

    std::u16string text(const char* key, std::u16string fallback = {}) {
        const json* v = find(key);
        if (!v) {
            return fallback;
        }
        if (!v->is_string()) {
            fail(field(key), "must be a string");
        }
        return fromUtf8(v->get_ref<const std::string&>());
    }

    double number(const char* key, double fallback = 0) {
        const json* v = find(key);
        if (!v) {
            return fallback;
        }
        if (!v->is_number()) {
            fail(field(key), "must be a number");
        }
        return v->get<double>();
    }

    std::int32_t integer(const char* key, std::int32_t fallback) {
        const json* v = find(key);
        if (!v) {
            return fallback;
        }
        if (!v->is_number_integer() ||
            v->get<std::int64_t>() < std::numeric_limits<std::int32_t>::min() ||
            v->get<std::int64_t>() > std::numeric_limits<std::int32_t>::max()) {
            fail(field(key), "must be a whole number that fits in 32 bits");
        }
        return static_cast<std::int32_t>(v->get<std::int64_t>());
    }

    bool flag(const char* key) {
        const json* v = find(key);
        if (!v) {
            return false;
        }
        if (!v->is_boolean()) {
            fail(field(key), "must be true or false");
        }
        return v->get<bool>();
    }

    // A name that must match an entry of an earlier array (the first entry of that name).
    Index reference(const char* key, const std::unordered_map<std::u16string, Index>& byName,
                    const char* arrayName) {
        const json* v = find(key);
        if (!v) {
            return none;
        }
        if (!v->is_string()) {
            fail(field(key), "must be a string");
        }
        auto found = byName.find(fromUtf8(v->get_ref<const std::string&>()));
        if (found == byName.end()) {
            fail(field(key), std::string("names no entry of ") + arrayName);
        }
        return found->second;
    }

    const json& array(const char* key) {
        static const json empty = json::array();
        const json* v = find(key);
        if (!v) {
            return empty;
        }
        if (!v->is_array()) {
            fail(field(key), "must be an array");
        }
        return *v;
    }

    json rest() const {
        json extra;
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (std::find(known_.begin(), known_.end(), it.key()) == known_.end()) {
                extra[it.key()] = it.value();
            }
        }
        return extra;
    }

    std::string field(const char* key) const { return path_.empty() ? key : path_ + "." + key; }

    [[noreturn]] void fail(const std::string& field, const std::string& problem) const {
        throw DesignFileError(file_ + ": " + field + " " + problem);
    }

  private:
    const json& object_;
    std::string path_;
    const std::string& file_;
    std::vector<std::string> known_;
};

std::string element(const std::string& array, std::size_t i) {
    return array + "[" + std::to_string(i) + "]";
}

void putExtra(nlohmann::ordered_json& out, const json& extra) {
    if (extra.is_object()) {
        for (auto it = extra.begin(); it != extra.end(); ++it) {
            out[it.key()] = it.value();
        }
    }
}

} // namespace

namespace {

// Reads a design while the JSON is being parsed: the elements of the three large arrays
// (components, vias, texts) are turned into the design as soon as each is complete and then
// dropped, so a 100k-pin file never exists as a whole document tree in memory. Elements that
// arrive before what they refer to (components before nets) are kept and read at the end.
class DesignReader {
  public:
    explicit DesignReader(const std::string& file) : file_(file) {}

    Design read(const std::string& text) {
        json root;
        try {
            root = json::parse(text, [this](int depth, json::parse_event_t event, json& parsed) {
                return onEvent(depth, event, parsed);
            });
        } catch (const json::parse_error& e) {
            throw DesignFileError(file_ + ": not valid JSON (" + e.what() + ")");
        }
        FieldReader top(root, "", file_);
        design_.unit = top.integer("unit", 2);
        for (int section = Layers; section < SectionCount; ++section) {
            const json& array = top.array(keys[section]);
            if (!done_[section]) {
                readSection(static_cast<Section>(section), array);
            }
        }
        design_.extra = top.rest();
        return std::move(design_);
    }

  private:
    enum Section { Layers, Classes, Nets, Components, Vias, Texts, SectionCount, Other };
    static constexpr const char* keys[SectionCount] = {"layers",     "netClasses", "nets",
                                                       "components", "vias",       "texts"};

    bool ready(Section section) const {
        switch (section) {
        case Nets:
            return done_[Classes];
        case Components:
        case Vias:
            return done_[Nets];
        default:
            return true;
        }
    }

    bool onEvent(int depth, json::parse_event_t event, json& parsed) {
        using Event = json::parse_event_t;
        if (depth == 1 && event == Event::key) {
            current_ = Other;
            for (int section = Layers; section < SectionCount; ++section) {
                if (parsed == keys[section]) {
                    current_ = static_cast<Section>(section);
                }
            }
            // A streamed section is read as it goes by, so a second one would add to the
            // first where the file means it to replace it; either reading is a guess.
            if (current_ != Other && std::exchange(seen_[current_], true)) {
                throw DesignFileError(file_ + ": " + keys[current_] + " appears twice");
            }
        } else if (depth == 1 && event == Event::array_start) {
            streaming_ = current_ >= Components && current_ < SectionCount && ready(current_);
            streamed_ = 0;
        } else if (depth == 1 && event == Event::array_end && current_ < SectionCount) {
            if (streaming_) {
                done_[current_] = true;
            } else if (current_ < Components && ready(current_)) {
                readSection(current_, parsed);
                done_[current_] = true;
            }
            streaming_ = false;
        } else if (depth == 2 && streaming_ &&
                   (event == Event::object_end || event == Event::array_end ||
                    event == Event::value)) {
            readElement(current_, parsed, streamed_++);
            return false; // read: the document tree need not keep it
        }
        return true;
    }

    void readSection(Section section, const json& array) {
        for (std::size_t i = 0; i < array.size(); ++i) {
            readElement(section, array[i], i);
        }
    }

    void readElement(Section section, const json& value, std::size_t i) {
        std::string path = element(keys[section], i);
        switch (section) {
        case Layers:
            if (!value.is_string()) {
                throw DesignFileError(file_ + ": " + path + " must be a string");
            }
            design_.layers.push_back(fromUtf8(value.get_ref<const std::string&>()));
            break;
        case Classes: {
            NetClassData netClass;
            if (value.is_string()) {
                netClass.name = fromUtf8(value.get_ref<const std::string&>());
            } else {
                FieldReader r(value, path, file_);
                netClass.name = r.text("name");
                netClass.extra = r.rest();
            }
            classByName_.emplace(netClass.name, static_cast<Index>(i));
            design_.netClasses.push_back(std::move(netClass));
            break;
        }
        case Nets: {
            FieldReader r(value, path, file_);
            NetData net;
            net.name = r.text("name");
            net.netClass = r.reference("netClass", classByName_, "netClasses");
            net.selected = r.flag("selected");
            net.extra = r.rest();
            netByName_.emplace(net.name, static_cast<Index>(i));
            design_.nets.push_back(std::move(net));
            break;
        }
        case Components: {
            FieldReader r(value, path, file_);
            ComponentData component;
            component.name = r.text("name");
            component.selected = r.flag("selected");
            const json& pins = r.array("pins");
            component.pins.reserve(pins.size());
            for (std::size_t k = 0; k < pins.size(); ++k) {
                FieldReader p(pins[k], element(path + ".pins", k), file_);
                PinData pin;
                pin.name = p.text("name");
                pin.number = p.integer("number", 0);
                pin.x = p.number("x");
                pin.y = p.number("y");
                pin.net = p.reference("net", netByName_, "nets");
                pin.extra = p.rest();
                component.pins.push_back(std::move(pin));
            }
            component.extra = r.rest();
            design_.components.push_back(std::move(component));
            break;
        }
        case Vias: {
            FieldReader r(value, path, file_);
            ViaData via;
            via.x = r.number("x");
            via.y = r.number("y");
            via.net = r.reference("net", netByName_, "nets");
            via.extra = r.rest();
            design_.vias.push_back(std::move(via));
            break;
        }
        case Texts: {
            FieldReader r(value, path, file_);
            auto t = std::make_shared<TextData>();
            t->text = r.text("text");
            t->layer = r.integer("layer", 1);
            t->x = r.number("x");
            t->y = r.number("y");
            t->height = r.number("height");
            t->lineWidth = r.number("lineWidth");
            t->rotation = r.number("rotation");
            t->locked = r.flag("locked");
            t->extra = r.rest();
            design_.texts.push_back(std::move(t));
            break;
        }
        default:
            break;
        }
    }

    const std::string& file_;
    Design design_;
    std::unordered_map<std::u16string, Index> classByName_, netByName_;
    bool done_[SectionCount] = {};
    bool seen_[SectionCount] = {};
    Section current_ = Other;
    bool streaming_ = false;
    std::size_t streamed_ = 0;
};

} // namespace

Design parseDesign(const std::string& text, const std::string& file) {
    return DesignReader(file).read(text);
}

std::string serializeDesign(const Design& design) {
    using ordered = nlohmann::ordered_json;
    ordered root;
    root["unit"] = design.unit;
    auto strings = [](const auto& items, auto name) {
        ordered out = ordered::array();
        for (const auto& item : items) {
            out.push_back(toUtf8(name(item)));
        }
        return out;
    };
    root["layers"] = strings(design.layers, [](const std::u16string& s) { return s; });
    ordered classes = ordered::array();
    for (const auto& c : design.netClasses) {
        if (c.extra.is_object() && !c.extra.empty()) {
            ordered entry;
            entry["name"] = toUtf8(c.name);
            putExtra(entry, c.extra);
            classes.push_back(std::move(entry));
        } else {
            classes.push_back(toUtf8(c.name));
        }
    }
    root["netClasses"] = std::move(classes);

    ordered nets = ordered::array();
    for (const auto& n : design.nets) {
        ordered entry;
        entry["name"] = toUtf8(n.name);
        if (n.netClass != none) {
            entry["netClass"] = toUtf8(design.netClasses[n.netClass].name);
        }
        if (n.selected) {
            entry["selected"] = true;
        }
        putExtra(entry, n.extra);
        nets.push_back(std::move(entry));
    }
    root["nets"] = std::move(nets);

    auto netName = [&](Index net, ordered& entry) {
        if (net != none) {
            entry["net"] = toUtf8(design.nets[net].name);
        }
    };
    ordered components = ordered::array();
    for (const auto& c : design.components) {
        ordered entry;
        entry["name"] = toUtf8(c.name);
        entry["selected"] = c.selected;
        ordered pins = ordered::array();
        for (const auto& p : c.pins) {
            ordered pin;
            pin["name"] = toUtf8(p.name);
            pin["number"] = p.number;
            pin["x"] = p.x;
            pin["y"] = p.y;
            netName(p.net, pin);
            putExtra(pin, p.extra);
            pins.push_back(std::move(pin));
        }
        entry["pins"] = std::move(pins);
        putExtra(entry, c.extra);
        components.push_back(std::move(entry));
    }
    root["components"] = std::move(components);

    ordered vias = ordered::array();
    for (const auto& v : design.vias) {
        ordered via;
        via["x"] = v.x;
        via["y"] = v.y;
        netName(v.net, via);
        putExtra(via, v.extra);
        vias.push_back(std::move(via));
    }
    root["vias"] = std::move(vias);

    ordered texts = ordered::array();
    for (const auto& t : design.texts) {
        if (t->deleted) {
            continue;
        }
        ordered text;
        text["text"] = toUtf8(t->text);
        text["layer"] = t->layer;
        text["x"] = t->x;
        text["y"] = t->y;
        text["height"] = t->height;
        text["lineWidth"] = t->lineWidth;
        text["rotation"] = t->rotation;
        text["locked"] = t->locked;
        putExtra(text, t->extra);
        texts.push_back(std::move(text));
    }
    root["texts"] = std::move(texts);
    putExtra(root, design.extra);
    return root.dump(2) + "\n";
}

Design loadDesign(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw DesignFileError(path.string() + ": cannot be opened for reading");
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        throw DesignFileError(path.string() + ": cannot be read");
    }
    return parseDesign(content.str(), path.string());
}

void saveDesign(const Design& design, const std::filesystem::path& path) {
    std::string text = serializeDesign(design);
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw DesignFileError(path.string() + ": cannot be written");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw DesignFileError(path.string() + ": cannot be replaced (" + error.message() + ")");
    }
}

} // namespace tagwright::host::memory
