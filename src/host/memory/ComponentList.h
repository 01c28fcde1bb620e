#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tagwright::host::memory {

// Positions into the design's arrays; -1 means "none" (no net, no class).
using Index = std::int32_t;
constexpr Index none = -1;

struct PinData {
    std::u16string name;
    std::int32_t number = 0;
    double x = 0, y = 0;
    Index net = none;
    nlohmann::json extra; // fields of the design file this program does not know, kept as read
};

struct ComponentData {
    std::u16string name;
    bool selected = false;
    std::vector<PinData> pins;
    nlohmann::json extra;
};

// The design's components with a lookup by name. Every labelled component is looked up by
// name, so a linear search would make large runs quadratic; the index is built on the first
// lookup after any change, and every way of changing the list (any non-const access) drops
// it, so it is never stale and never rebuilt while the components stay as they are. A
// reference taken for writing must not be kept across a lookup.
class ComponentList {
  public:
    using iterator = std::vector<ComponentData>::iterator;
    using const_iterator = std::vector<ComponentData>::const_iterator;

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const ComponentData& operator[](std::size_t i) const { return items_[i]; }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

    ComponentData& operator[](std::size_t i) {
        changed();
        return items_[i];
    }
    iterator begin() {
        changed();
        return items_.begin();
    }
    iterator end() {
        changed();
        return items_.end();
    }
    void push_back(ComponentData component) {
        changed();
        items_.push_back(std::move(component));
    }
    void pop_back() {
        changed();
        items_.pop_back();
    }
    void clear() {
        changed();
        items_.clear();
    }
    void reserve(std::size_t n) { items_.reserve(n); }
    // Leaves the names as they are, and so the index.
    void setSelected(std::size_t i, bool selected) { items_[i].selected = selected; }

    // Position of the first component of that name, or none.
    Index find(const std::u16string& name) const;

  private:
    void changed() { indexed_ = false; }

    std::vector<ComponentData> items_;
    mutable std::unordered_map<std::u16string, Index> byName_;
    mutable bool indexed_ = false;
};

} // namespace tagwright::host::memory
