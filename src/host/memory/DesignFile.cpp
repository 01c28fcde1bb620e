#include "host/memory/DesignFile.h"

#include "host/Text.h"
#include "host/memory/FileReading.h"
#include "host/memory/FileReplacement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tagwright::host::memory {

namespace {

using nlohmann::json;

// Every string of a design may reach a client over the bus, where a NUL would cut it short
// and make two different names one.
std::u16string readText(const json& value, const std::string& field, const std::string& file) {
    if (!value.is_string()) {
        throw DesignFileError(file + ": " + field + " must be a string");
    }
    const auto& text = value.get_ref<const std::string&>();
    if (text.find('\0') != std::string::npos) {
        throw DesignFileError(file + ": " + field + " must not contain a NUL character");
    }
    return fromUtf8(text);
}

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
        return readText(*v, field(key), file_);
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
        // Numbers beyond the signed 64-bit range arrive unsigned; reading those as signed
        // would wrap them into range.
        constexpr auto low = std::numeric_limits<std::int32_t>::min();
        constexpr auto high = std::numeric_limits<std::int32_t>::max();
        bool fits = v->is_number_unsigned()
                        ? v->get<std::uint64_t>() <= static_cast<std::uint64_t>(high)
                        : v->is_number_integer() && v->get<std::int64_t>() >= low &&
                              v->get<std::int64_t>() <= high;
        if (!fits) {
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

// Far deeper than any design needs; copying and writing back unknown fields recurses once
// per level, so a file nested without end would otherwise overflow the stack.
constexpr std::size_t maxNesting = 128;

// A piece of the file for a message: a refusal that quoted a whole token could run to
// megabytes, more than any message box can lay out in reasonable time.
std::string excerpt(std::string_view text) {
    constexpr std::size_t characters = 40;
    std::string out;
    std::size_t seen = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // Counting only the first byte of each UTF-8 sequence cuts between characters.
        if ((byte & 0xC0) != 0x80 && seen++ == characters) {
            return out + "\u2026";
        }
        // A control character would end or garble the message where it is shown (a NUL ends
        // it in every C string it passes through), so it is written as JSON writes it.
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

// The parser's message with the piece of the file it quotes ('...') cut short.
std::string withShortQuote(std::string_view what) {
    auto open = what.find('\'');
    auto close = what.rfind('\'');
    if (open == what.npos || close == open) {
        return std::string(what);
    }
    return std::string(what.substr(0, open + 1)) +
           excerpt(what.substr(open + 1, close - open - 1)) + std::string(what.substr(close));
}

// Walks the text as the JSON parser reads it, but hands over each run of blanks between
// tokens as one space, which JSON reads the same. The parser quotes in a refusal everything
// it read since the last token, each control character escaped to eight bytes, through
// printf: a file of a few megabytes of blank lines took seconds of that to refuse.
class SqueezedBlanks {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = char;

    SqueezedBlanks(const char* at, const char* end) : at_(at), end_(end) {}

    char operator*() const { return !inString_ && isBlank(*at_) ? ' ' : *at_; }

    SqueezedBlanks& operator++() {
        const char c = *at_++;
        if (inString_) {
            if (escaped_) {
                escaped_ = false;
            } else if (c == '\\') {
                escaped_ = true;
            } else if (c == '"') {
                inString_ = false;
            }
        } else if (c == '"') {
            inString_ = true;
        } else if (isBlank(c)) {
            while (at_ != end_ && isBlank(*at_)) {
                ++at_;
            }
        }
        return *this;
    }
    SqueezedBlanks operator++(int) {
        SqueezedBlanks before = *this;
        ++*this;
        return before;
    }

    bool operator==(const SqueezedBlanks& other) const { return at_ == other.at_; }

    const char* at() const { return at_; }

  private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    const char* at_;
    const char* end_;
    bool inString_ = false;
    bool escaped_ = false;
};

// Where the parser is in the document, as a field path ("components[3].pins[0].x"), so that
// a failure inside the parser itself (a number too large for a double) can name its field.
class ParsePosition {
  public:
    // False for a key its object already has.
    bool onEvent(int depth, json::parse_event_t event, const json& parsed) {
        using Event = json::parse_event_t;
        auto level = static_cast<std::size_t>(depth);
        switch (event) {
        case Event::object_start:
        case Event::array_start:
            levels_.resize(level + 1);
            levels_[level] = {event == Event::array_start, {}, 0, {}};
            break;
        case Event::key: {
            Level& object = levels_[level - 1];
            object.key = parsed.get_ref<const std::string&>();
            if (!object.keys.insert(object.key).second) {
                return false;
            }
            break;
        }
        case Event::value:
            completed(level);
            break;
        case Event::object_end:
        case Event::array_end:
            levels_.resize(level);
            completed(level);
            break;
        }
        return true;
    }

    std::size_t depth() const { return levels_.size(); }

    // The first `levels` steps of the path; a deeper path ends in "...".
    std::string path(std::size_t levels = 16) const {
        std::string out;
        for (const auto& level : levels_) {
            if (levels-- == 0) {
                return out + "...";
            }
            if (level.isArray) {
                out += element("", level.count);
            } else if (!level.key.empty()) {
                out += out.empty() ? "" : ".";
                out += excerpt(level.key);
            }
        }
        return out;
    }

  private:
    void completed(std::size_t level) {
        if (level > 0 && level <= levels_.size()) {
            Level& parent = levels_[level - 1];
            if (parent.isArray) {
                ++parent.count;
            } else {
                parent.key.clear(); // between members, the path ends at the object
            }
        }
    }

    struct Level {
        bool isArray = false;
        std::string key;                      // the key of an object whose value is being read
        std::size_t count = 0;                // elements of an array completed so far
        std::unordered_set<std::string> keys; // of an object, so far
    };
    std::vector<Level> levels_;
};

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
        const SqueezedBlanks begin(text.data(), text.data() + text.size());
        const SqueezedBlanks end(text.data() + text.size(), text.data() + text.size());
        try {
            root =
                json::parse(begin, end, [this](int depth, json::parse_event_t event, json& parsed) {
                    return onEvent(depth, event, parsed);
                });
        } catch (const json::parse_error& e) {
            // The parser counts the bytes it was handed, not those of the file.
            SqueezedBlanks last = begin;
            for (std::size_t i = 1; i < e.byte && last != end; ++i) {
                ++last;
            }
            throw DesignFileError(syntaxError(e.what(), last.at() - text.data()));
        } catch (const json::out_of_range& e) {
            // The one failure the parser has for well-formed JSON: a number beyond a double.
            std::string field = position_.path();
            throw DesignFileError(file_ + ": " + (field.empty() ? "a number" : field) +
                                  " must be a number within the range of a double (" +
                                  withShortQuote(e.what()) + ")");
        } catch (const json::exception& e) {
            throw DesignFileError(file_ + ": not valid JSON (" + withShortQuote(e.what()) + ")");
        }
        // The parser takes a NUL byte for the end of the text: whatever follows would go
        // unread, and a design cut short would pass for whole.
        if (auto nul = text.find('\0'); nul != text.npos) {
            throw DesignFileError(file_ + ": not valid JSON at byte " + std::to_string(nul) +
                                  ": a NUL byte where the file should end");
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
    // The parser's own words, with the byte offset in place of its line and column, and
    // without the bulk of what it last read.
    std::string syntaxError(std::string_view what, std::ptrdiff_t offset) const {
        auto start = what.find(": ");
        std::string_view reason = start == what.npos ? what : what.substr(start + 2);
        std::string out = file_ + ": not valid JSON at byte " + std::to_string(offset);
        if (std::string field = position_.path(); !field.empty()) {
            out += ", in " + field;
        }
        constexpr std::string_view lastRead = "; last read: '";
        auto token = reason.find(lastRead);
        if (token == reason.npos) {
            return out + ": " + std::string(reason);
        }
        std::string_view rest = reason.substr(token + lastRead.size());
        auto close = rest.ends_with('\'') ? rest.size() - 1 : rest.rfind("'; expected ");
        if (close == rest.npos) {
            close = rest.size();
        }
        return out + ": " + std::string(reason.substr(0, token + lastRead.size())) +
               excerpt(rest.substr(0, close)) + std::string(rest.substr(close));
    }

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
        // The parser keeps the last of a repeated key; and a streamed section is read as it
        // goes by, so a second one would add to the first. Either reading is a guess at what
        // the file means.
        if (!position_.onEvent(depth, event, parsed)) {
            throw DesignFileError(file_ + ": " + position_.path() + " appears twice");
        }
        if (position_.depth() > maxNesting) {
            throw DesignFileError(file_ + ": " + position_.path(4) + " nests deeper than " +
                                  std::to_string(maxNesting) + " levels");
        }
        if (depth == 1 && event == Event::key) {
            current_ = Other;
            for (int section = Layers; section < SectionCount; ++section) {
                if (parsed == keys[section]) {
                    current_ = static_cast<Section>(section);
                }
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
            design_.layers.push_back(readText(value, path, file_));
            break;
        case Classes: {
            NetClassData netClass;
            if (value.is_string()) {
                netClass.name = readText(value, path, file_);
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
    ParsePosition position_;
    Design design_;
    std::unordered_map<std::u16string, Index> classByName_, netByName_;
    bool done_[SectionCount] = {};
    Section current_ = Other;
    bool streaming_ = false;
    std::size_t streamed_ = 0;
};

} // namespace

Design parseDesign(const std::string& text, const std::string& file) {
    return DesignReader(file).read(text);
}

namespace {

// Writes only what the reader accepts: a value it would refuse stops the save instead, so a
// saved design can always be read again. Field names are made only for a refusal.
class DesignWriter {
  public:
    explicit DesignWriter(const std::string& file) : file_(file) {}

    std::string write(const Design& design) {
        using ordered = nlohmann::ordered_json;
        ordered root;
        root["unit"] = design.unit;
        ordered layers = ordered::array();
        for (std::size_t i = 0; i < design.layers.size(); ++i) {
            layers.push_back(text(design.layers[i], [&] { return element("layers", i); }));
        }
        root["layers"] = std::move(layers);

        ordered classes = ordered::array();
        for (std::size_t i = 0; i < design.netClasses.size(); ++i) {
            const auto& c = design.netClasses[i];
            std::string name = text(c.name, [&] { return element("netClasses", i); });
            if (c.extra.is_object() && !c.extra.empty()) {
                ordered entry;
                entry["name"] = std::move(name);
                putExtra(entry, c.extra);
                classes.push_back(std::move(entry));
            } else {
                classes.push_back(std::move(name));
            }
        }
        root["netClasses"] = std::move(classes);

        ordered nets = ordered::array();
        for (std::size_t i = 0; i < design.nets.size(); ++i) {
            const auto& n = design.nets[i];
            ordered entry;
            entry["name"] = text(n.name, [&] { return element("nets", i) + ".name"; });
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
        for (std::size_t i = 0; i < design.components.size(); ++i) {
            const auto& c = design.components[i];
            auto at = [&](const char* key) { return element("components", i) + "." + key; };
            ordered entry;
            entry["name"] = text(c.name, [&] { return at("name"); });
            entry["selected"] = c.selected;
            ordered pins = ordered::array();
            for (std::size_t k = 0; k < c.pins.size(); ++k) {
                const auto& p = c.pins[k];
                auto pinAt = [&](const char* key) { return element(at("pins"), k) + "." + key; };
                ordered pin;
                pin["name"] = text(p.name, [&] { return pinAt("name"); });
                pin["number"] = p.number;
                pin["x"] = number(p.x, [&] { return pinAt("x"); });
                pin["y"] = number(p.y, [&] { return pinAt("y"); });
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
        for (std::size_t i = 0; i < design.vias.size(); ++i) {
            const auto& v = design.vias[i];
            ordered via;
            via["x"] = number(v.x, [&] { return element("vias", i) + ".x"; });
            via["y"] = number(v.y, [&] { return element("vias", i) + ".y"; });
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
            std::size_t i = texts.size();
            auto at = [&](const char* key) { return element("texts", i) + "." + key; };
            ordered text;
            text["text"] = this->text(t->text, [&] { return at("text"); });
            text["layer"] = t->layer;
            text["x"] = number(t->x, [&] { return at("x"); });
            text["y"] = number(t->y, [&] { return at("y"); });
            text["height"] = number(t->height, [&] { return at("height"); });
            text["lineWidth"] = number(t->lineWidth, [&] { return at("lineWidth"); });
            text["rotation"] = number(t->rotation, [&] { return at("rotation"); });
            text["locked"] = t->locked;
            putExtra(text, t->extra);
            texts.push_back(std::move(text));
        }
        root["texts"] = std::move(texts);
        putExtra(root, design.extra);
        return root.dump(2) + "\n";
    }

  private:
    template <class Field> std::string text(const std::u16string& value, const Field& field) {
        if (value.find(u'\0') != std::u16string::npos) {
            refuse(field(), "contains a NUL character");
        }
        return toUtf8(value);
    }
    // JSON has no infinity or NaN; such a value would be written as null and never read back.
    template <class Field> double number(double value, const Field& field) {
        if (!std::isfinite(value)) {
            refuse(field(), "is not a finite number");
        }
        return value;
    }
    [[noreturn]] void refuse(const std::string& field, const char* problem) const {
        throw DesignFileError(file_ + ": " + field + " " + problem + "; nothing was written");
    }

    const std::string& file_;
};

} // namespace

std::string serializeDesign(const Design& design, const std::string& name) {
    return DesignWriter(name).write(design);
}

Design loadDesign(const std::filesystem::path& path) {
    std::string text = readRegularFile(path, maxDesignFileBytes);
    removeStaleTemporaries(path);
    return parseDesign(text, path.string());
}

void saveDesign(const Design& design, const std::filesystem::path& path) {
    std::string text = serializeDesign(design, path.string());
    removeStaleTemporaries(path);
    try {
        replaceFile(path, text);
    } catch (const std::system_error& error) {
        throw DesignFileError(path.string() + ": " + error.what());
    }
}

} // namespace tagwright::host::memory
