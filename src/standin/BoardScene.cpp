#include "standin/BoardScene.h"

#include "maintenance/RemoveLabels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tagwright::standin {

using host::memory::Design;
using host::memory::Index;
using host::memory::none;
using host::memory::TextData;

namespace {

// About four points a cell keeps a query near the cost of what it returns; the cap keeps a
// board of a few huge spread-out parts from a grid larger than the board.
constexpr double itemsPerCell = 4;
constexpr std::int32_t maxCellsPerSide = 1024;
// No glyph of the faces a text may be shown in is wider than its height.
constexpr double glyphWidth = 1.0;

} // namespace

void Box::include(double x, double y) {
    if (empty()) {
        *this = {x, y, x, y};
        return;
    }
    left = std::min(left, x);
    right = std::max(right, x);
    bottom = std::min(bottom, y);
    top = std::max(top, y);
}

void Box::include(const Box& other) {
    if (!other.empty()) {
        include(other.left, other.bottom);
        include(other.right, other.top);
    }
}

double BoardScene::turnOf(const TextData& text) {
    return std::fmod(text.rotation, 360.0);
}

Box BoardScene::textBox(const TextData& text) {
    const double h = std::abs(text.height);
    const double w =
        glyphWidth * h * static_cast<double>(std::max<std::size_t>(1, text.text.size()));
    const double angle = turnOf(text) * std::numbers::pi / 180;
    const double c = std::cos(angle), s = std::sin(angle);
    Box box;
    // From the baseline's start; descenders reach a quarter of the height below it.
    for (const auto& [u, v] : {std::pair{0.0, -0.25 * h}, {w, -0.25 * h}, {0.0, h}, {w, h}}) {
        const double x = text.x + u * c - v * s, y = text.y + u * s + v * c;
        if (!std::isfinite(x) || !std::isfinite(y)) {
            return {};
        }
        box.include(x, y);
    }
    return box;
}

BoardScene::BoardScene(std::shared_ptr<Design> design) : design_(std::move(design)) {
    const Design& d = *design_;
    std::vector<double> spacings;
    for (std::size_t c = 0; c < d.components.size(); ++c) {
        const auto& pins = d.components[c].pins;
        for (std::size_t p = 0; p < pins.size(); ++p) {
            pins_.push_back(
                {pins[p].x, pins[p].y, static_cast<Index>(c), static_cast<Index>(p), pins[p].net});
            bounds_.include(pins[p].x, pins[p].y);
            if (p > 0) {
                const double gap = std::hypot(pins[p].x - pins[p - 1].x, pins[p].y - pins[p - 1].y);
                if (gap > 0) {
                    spacings.push_back(gap);
                }
            }
        }
    }
    for (const auto& via : d.vias) {
        bounds_.include(via.x, via.y);
    }
    if (!spacings.empty()) {
        auto middle = spacings.begin() + static_cast<std::ptrdiff_t>(spacings.size() / 2);
        std::nth_element(spacings.begin(), middle, spacings.end());
        padSize_ = 0.5 * *middle;
    } else if (!bounds_.empty() && std::max(bounds_.width(), bounds_.height()) > 0) {
        padSize_ = std::max(bounds_.width(), bounds_.height()) / 100;
    }
    for (std::size_t c = 0; c < d.components.size(); ++c) {
        Box box;
        for (const auto& pin : d.components[c].pins) {
            box.include(pin.x, pin.y);
        }
        if (!box.empty()) {
            components_.push_back({box.grown(padSize_), static_cast<Index>(c)});
        }
    }
    for (const auto& text : d.texts) {
        if (!text->deleted) {
            bounds_.include(textBox(*text));
        }
    }
    if (bounds_.empty()) {
        bounds_ = {0, 0, 0, 0};
    }
    bounds_ = bounds_.grown(padSize_);

    // Cells about square, as many as the points need.
    grid_.area = bounds_;
    // A board that spans more than a double holds (points near both ends of its range) is
    // gridded as if it spanned the largest one: cells stay finite, and what lies past them
    // is filed in the edge cells.
    const auto extent = [](double e) {
        return std::clamp(e, 1e-9, std::numeric_limits<double>::max());
    };
    const double width = extent(bounds_.width()), height = extent(bounds_.height());
    const double cells =
        std::max(1.0, static_cast<double>(pins_.size() + d.vias.size()) / itemsPerCell);
    const double side = std::sqrt(width / cells * height);
    const auto cellsAcross = [&](double e) {
        const double n = std::ceil(e / side);
        return n >= 1 ? static_cast<std::int32_t>(std::min(n, double{maxCellsPerSide})) : 1;
    };
    grid_.columns = cellsAcross(width);
    grid_.rows = cellsAcross(height);
    grid_.cellWidth = width / grid_.columns;
    grid_.cellHeight = height / grid_.rows;

    fileStatic(
        pins_.size(),
        [&](std::size_t i) {
            return Box{pins_[i].x, pins_[i].y, pins_[i].x, pins_[i].y};
        },
        pinStarts_, pinItems_);
    fileStatic(
        d.vias.size(),
        [&](std::size_t i) {
            return Box{d.vias[i].x, d.vias[i].y, d.vias[i].x, d.vias[i].y};
        },
        viaStarts_, viaItems_);
    fileStatic(
        components_.size(), [&](std::size_t i) { return components_[i].box; }, componentStarts_,
        componentItems_);
    seenComponents_.assign(components_.size(), 0);

    textCells_.resize(static_cast<std::size_t>(grid_.columns) *
                      static_cast<std::size_t>(grid_.rows));
    for (const auto& text : d.texts) {
        if (!text->deleted) {
            textAdded(text);
        }
    }
}

void BoardScene::Grid::span(const Box& box, std::int32_t& c0, std::int32_t& r0, std::int32_t& c1,
                            std::int32_t& r1) const {
    // Whatever lies outside the grid is filed in its edge cells, and found there; so is what
    // lies at no finite place at all, which no query finds since it intersects nothing.
    const auto cell = [](double offset, double size, std::int32_t count) {
        const double at = std::floor(offset / size);
        if (!(at >= 0)) {
            return std::int32_t{0};
        }
        return at < count - 1 ? static_cast<std::int32_t>(at) : count - 1;
    };
    c0 = cell(box.left - area.left, cellWidth, columns);
    c1 = cell(box.right - area.left, cellWidth, columns);
    r0 = cell(box.bottom - area.bottom, cellHeight, rows);
    r1 = cell(box.top - area.bottom, cellHeight, rows);
}

template <class BoxOf>
void BoardScene::fileStatic(std::size_t count, const BoxOf& boxOf,
                            std::vector<std::uint32_t>& starts,
                            std::vector<std::uint32_t>& items) const {
    const auto cellCount =
        static_cast<std::size_t>(grid_.columns) * static_cast<std::size_t>(grid_.rows);
    starts.assign(cellCount + 1, 0);
    const auto eachCell = [&](std::size_t i, const auto& visit) {
        std::int32_t c0, r0, c1, r1;
        grid_.span(boxOf(i), c0, r0, c1, r1);
        for (std::int32_t r = r0; r <= r1; ++r) {
            for (std::int32_t c = c0; c <= c1; ++c) {
                visit(static_cast<std::size_t>(r) * static_cast<std::size_t>(grid_.columns) +
                      static_cast<std::size_t>(c));
            }
        }
    };
    for (std::size_t i = 0; i < count; ++i) {
        eachCell(i, [&](std::size_t cell) { ++starts[cell + 1]; });
    }
    for (std::size_t cell = 0; cell < cellCount; ++cell) {
        starts[cell + 1] += starts[cell];
    }
    items.resize(starts[cellCount]);
    std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
    for (std::size_t i = 0; i < count; ++i) {
        eachCell(i, [&](std::size_t cell) { items[next[cell]++] = static_cast<std::uint32_t>(i); });
    }
}

void BoardScene::fileText(std::uint32_t index) {
    const Box box = textBox(*texts_[index]);
    if (box.empty()) {
        return;
    }
    std::int32_t c0, r0, c1, r1;
    grid_.span(box, c0, r0, c1, r1);
    for (std::int32_t r = r0; r <= r1; ++r) {
        for (std::int32_t c = c0; c <= c1; ++c) {
            textCells_[static_cast<std::size_t>(r) * static_cast<std::size_t>(grid_.columns) +
                       static_cast<std::size_t>(c)]
                .push_back(index);
        }
    }
}

void BoardScene::textAdded(std::shared_ptr<TextData> text) {
    if (maintenance::isMarkedLabel(text->text)) {
        ++labels_;
    }
    texts_.push_back(std::move(text));
    seenTexts_.push_back(0);
    fileText(static_cast<std::uint32_t>(texts_.size() - 1));
}

void BoardScene::textDeleted(const TextData& text) {
    if (maintenance::isMarkedLabel(text.text)) {
        --labels_;
    }
    // A removal pass deletes thousands one by one: the files are swept only once the dead
    // outnumber the living, which keeps each deletion cheap.
    if (++deletedTexts_ > texts_.size() / 2) {
        refileTexts();
    }
}

void BoardScene::refileTexts() {
    std::erase_if(texts_, [](const auto& text) { return text->deleted; });
    deletedTexts_ = 0;
    seenTexts_.assign(texts_.size(), 0);
    for (auto& cell : textCells_) {
        cell.clear();
    }
    for (std::size_t i = 0; i < texts_.size(); ++i) {
        fileText(static_cast<std::uint32_t>(i));
    }
}

void BoardScene::query(const Box& area, InView& found) const {
    found.pins.clear();
    found.vias.clear();
    found.components.clear();
    found.texts.clear();
    if (area.empty()) {
        return;
    }
    if (++queryStamp_ == 0) {
        std::fill(seenComponents_.begin(), seenComponents_.end(), 0);
        std::fill(seenTexts_.begin(), seenTexts_.end(), 0);
        queryStamp_ = 1;
    }
    std::int32_t c0, r0, c1, r1;
    grid_.span(area, c0, r0, c1, r1);
    const auto& vias = design_->vias;
    for (std::int32_t r = r0; r <= r1; ++r) {
        for (std::int32_t c = c0; c <= c1; ++c) {
            const std::size_t cell =
                static_cast<std::size_t>(r) * static_cast<std::size_t>(grid_.columns) +
                static_cast<std::size_t>(c);
            for (std::uint32_t k = pinStarts_[cell]; k < pinStarts_[cell + 1]; ++k) {
                const Pin& pin = pins_[pinItems_[k]];
                if (area.intersects({pin.x, pin.y, pin.x, pin.y})) {
                    found.pins.push_back(pinItems_[k]);
                }
            }
            for (std::uint32_t k = viaStarts_[cell]; k < viaStarts_[cell + 1]; ++k) {
                const auto& via = vias[viaItems_[k]];
                if (area.intersects({via.x, via.y, via.x, via.y})) {
                    found.vias.push_back(viaItems_[k]);
                }
            }
            for (std::uint32_t k = componentStarts_[cell]; k < componentStarts_[cell + 1]; ++k) {
                const std::uint32_t i = componentItems_[k];
                if (seenComponents_[i] != queryStamp_ && area.intersects(components_[i].box)) {
                    seenComponents_[i] = queryStamp_;
                    found.components.push_back(i);
                }
            }
            for (std::uint32_t i : textCells_[cell]) {
                const TextData& text = *texts_[i];
                if (seenTexts_[i] != queryStamp_ && !text.deleted &&
                    area.intersects(textBox(text))) {
                    seenTexts_[i] = queryStamp_;
                    found.texts.push_back(i);
                }
            }
        }
    }
    // Drawn in the design's order, as the editor stacks them.
    std::sort(found.texts.begin(), found.texts.end());
}

bool BoardScene::isSelected(const Pin& pin) const {
    const Design& d = *design_;
    return d.components[static_cast<std::size_t>(pin.component)].selected ||
           (pin.net != none && d.nets[static_cast<std::size_t>(pin.net)].selected);
}

bool BoardScene::isViaSelected(std::size_t via) const {
    const Index net = design_->vias[via].net;
    return net != none && design_->nets[static_cast<std::size_t>(net)].selected;
}

Box BoardScene::selectionBounds() const {
    Box box;
    for (const Pin& pin : pins_) {
        if (isSelected(pin)) {
            box.include(pin.x, pin.y);
        }
    }
    for (std::size_t v = 0; v < design_->vias.size(); ++v) {
        if (isViaSelected(v)) {
            box.include(design_->vias[v].x, design_->vias[v].y);
        }
    }
    return box.empty() ? box : box.grown(padSize_);
}

BoardScene::Counts BoardScene::counts() const {
    return {design_->components.size(), pins_.size(), design_->vias.size(),
            texts_.size() - deletedTexts_, labels_};
}

} // namespace tagwright::standin
