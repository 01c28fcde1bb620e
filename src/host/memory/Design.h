#pragma once

#include "host/memory/ComponentList.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tagwright::host::memory {

struct NetClassData {
    std::u16string name;
    nlohmann::json extra;
};

struct NetData {
    std::u16string name;
    Index netClass = none;
    bool selected = false;
    nlohmann::json extra;
};

struct ViaData {
    double x = 0, y = 0;
    Index net = none;
    nlohmann::json extra;
};

struct TextData {
    std::u16string text;
    std::int32_t layer = 1;
    double x = 0, y = 0, height = 0, lineWidth = 0, rotation = 0;
    bool locked = false;
    bool deleted = false;
    nlohmann::json extra;
};

// One change made to a design through the host interface.
struct DesignChange {
    enum class Kind { TextAdded, TextDeleted, SelectionChanged, SelectionShown };
    Kind kind;
    std::u16string words;           // what happened, for a verbose editor
    std::shared_ptr<TextData> text; // the text added or deleted; empty otherwise
};

// A whole design as the in-memory editor holds it. Texts are deleted by marking them, so a
// pass that deletes thousands of labels never moves the rest; the marks are swept out before
// the texts are walked or counted again.
struct Design {
    std::int32_t unit = 2;
    std::vector<std::u16string> layers;
    std::vector<NetClassData> netClasses;
    std::vector<NetData> nets;
    ComponentList components;
    std::vector<ViaData> vias;
    std::vector<std::shared_ptr<TextData>> texts;
    nlohmann::json extra;

    // What the editor's view was asked to do; tests and the stand-in look at it.
    std::size_t showSelectionCalls = 0;
    // Told of every change made through the host interface, and of every ShowSelection.
    std::function<void(const DesignChange&)> onChange;
    // Counts the changes a save would write, so an editor can tell whether its file is behind.
    std::uint64_t revision = 0;
    // An editor that opened another design closes this one: clients that still hold its
    // objects must not go on changing a design nobody will save.
    bool closed = false;

    std::size_t deletedTexts = 0;
    void sweepDeletedTexts();
    std::size_t liveTextCount() const { return texts.size() - deletedTexts; }

    using TextList = std::vector<std::shared_ptr<TextData>>;
    // The texts as they are now, for a walk to visit whatever changes meanwhile. Walks that
    // start while the texts stay the same share one copy: a client may hold many walks open,
    // and a copy each would grow the editor by the size of the design per walk.
    std::shared_ptr<const TextList> textSnapshot();

  private:
    std::shared_ptr<const TextList> textSnapshot_;
};

// A plain copy shares the text records, so a label deleted or moved in one would be in both;
// this copy holds texts of its own.
std::shared_ptr<Design> separateCopy(const Design& design);

} // namespace tagwright::host::memory
