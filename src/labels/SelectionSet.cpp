#include "labels/SelectionSet.h"

namespace tagwright::labels {

SelectionSet SelectionSet::chosenIn(const std::vector<run::ListEntry>& list) {
    SelectionSet set;
    for (const auto& entry : list) {
        if (entry.selected) {
            set.names_.insert(entry.text);
        }
    }
    return set;
}

void ComponentMask::rebuild(const std::vector<run::ListEntry>& components, bool onlySelected) {
    flags_.assign(components.size(), true);
    if (onlySelected) {
        for (std::size_t i = 0; i < components.size(); ++i) {
            flags_[i] = components[i].selected;
        }
    }
}

} // namespace tagwright::labels
