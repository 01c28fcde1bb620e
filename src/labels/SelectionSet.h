#pragma once

#include "run/LabelRequest.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace tagwright::labels {

// The names chosen in one list. Membership is by the whole name as listed: no part, prefix or
// other spelling of a chosen name is in the set.
class SelectionSet {
  public:
    SelectionSet() = default;
    static SelectionSet chosenIn(const std::vector<run::ListEntry>& list);

    bool contains(const std::u16string& name) const { return names_.count(name) != 0; }
    std::size_t size() const { return names_.size(); }

  private:
    std::unordered_set<std::u16string> names_;
};

// One flag per entry of the component list: whether that entry's pins are labelled.
class ComponentMask {
  public:
    void rebuild(const std::vector<run::ListEntry>& components, bool onlySelected);
    bool operator[](std::size_t position) const { return flags_.at(position); }
    std::size_t size() const { return flags_.size(); }

  private:
    std::vector<bool> flags_;
};

} // namespace tagwright::labels
