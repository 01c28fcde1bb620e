#pragma once

#include "host/memory/Design.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tagwright::standin {

// An axis-aligned box in the design's coordinates; y points up.
struct Box {
    double left = 0, bottom = 0, right = -1, top = -1;

    // A box with an edge at no finite place (NaN fails both tests) is empty too.
    bool empty() const { return !(left <= right && bottom <= top); }
    double width() const { return right - left; }
    double height() const { return top - bottom; }
    void include(double x, double y);
    void include(const Box& other);
    bool intersects(const Box& other) const {
        return !empty() && !other.empty() && left <= other.right && other.left <= right &&
               bottom <= other.top && other.bottom <= top;
    }
    Box grown(double margin) const {
        return {left - margin, bottom - margin, right + margin, top + margin};
    }
};

// Where everything of a design lies, so that a view draws only what is in sight. Pins, vias
// and components never move in this editor and are filed once; texts come and go while a
// client works, and are filed as they arrive.
class BoardScene {
  public:
    explicit BoardScene(std::shared_ptr<host::memory::Design> design);

    struct Pin {
        double x, y;
        host::memory::Index component, pin, net;
    };
    struct Component {
        Box box; // around its pins, one pad wide
        host::memory::Index index;
    };

    const host::memory::Design& design() const { return *design_; }
    const std::vector<Pin>& pins() const { return pins_; }
    const std::vector<Component>& components() const { return components_; }
    const std::vector<std::shared_ptr<host::memory::TextData>>& texts() const { return texts_; }

    // Pads and via rings have no size in the design file: one size, from the spacing of
    // the pins, keeps them apart on any unit.
    double padSize() const { return padSize_; }
    // Everything on the board, texts included: what "fit" shows.
    Box bounds() const { return bounds_; }
    // An estimate of the box a text covers, wide enough for its characters and rotation;
    // empty for a text too large for any finite box, which is then kept but never shown.
    static Box textBox(const host::memory::TextData& text);
    // The text's rotation within one turn: a rotation of 6e307 degrees is still a direction,
    // though the radians it makes are not finite.
    static double turnOf(const host::memory::TextData& text);

    // What lies in `area` (or may: boxes are filed by the cells they touch), each once.
    struct InView {
        std::vector<std::uint32_t> pins, vias, components, texts;
    };
    void query(const Box& area, InView& found) const;

    void textAdded(std::shared_ptr<host::memory::TextData> text);
    void textDeleted(const host::memory::TextData& text);

    // Selected components and the pins and vias of selected nets, as the editor shows them.
    bool isSelected(const Pin& pin) const;
    bool isViaSelected(std::size_t via) const;
    Box selectionBounds() const;

    struct Counts {
        std::size_t components = 0, pins = 0, vias = 0, texts = 0, labels = 0;
    };
    Counts counts() const;

  private:
    // A uniform grid of cells; static items are stored per cell in one array, texts in a
    // vector per cell since they arrive one by one.
    struct Grid {
        Box area;
        std::int32_t columns = 1, rows = 1;
        double cellWidth = 1, cellHeight = 1;
        void span(const Box& box, std::int32_t& c0, std::int32_t& r0, std::int32_t& c1,
                  std::int32_t& r1) const;
    };
    template <class BoxOf>
    void fileStatic(std::size_t count, const BoxOf& boxOf, std::vector<std::uint32_t>& starts,
                    std::vector<std::uint32_t>& items) const;
    void fileText(std::uint32_t index);
    void refileTexts();

    std::shared_ptr<host::memory::Design> design_;
    std::vector<Pin> pins_;
    std::vector<Component> components_;
    std::vector<std::shared_ptr<host::memory::TextData>> texts_;
    double padSize_ = 1;
    Box bounds_;
    Grid grid_;
    std::vector<std::uint32_t> pinStarts_, pinItems_, viaStarts_, viaItems_, componentStarts_,
        componentItems_;
    std::vector<std::vector<std::uint32_t>> textCells_;
    std::size_t deletedTexts_ = 0, labels_ = 0;
    // Marks what a query already found, so that boxes filed in several cells come once.
    mutable std::vector<std::uint32_t> seenComponents_, seenTexts_;
    mutable std::uint32_t queryStamp_ = 0;
};

} // namespace tagwright::standin
