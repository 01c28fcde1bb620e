#include "host/memory/ComponentList.h"

namespace tagwright::host::memory {

Index ComponentList::find(const std::u16string& name) const {
    if (!indexed_) {
        byName_.clear();
        byName_.reserve(items_.size());
        for (std::size_t i = 0; i < items_.size(); ++i) {
            byName_.try_emplace(items_[i].name, static_cast<Index>(i)); // the first one wins
        }
        indexed_ = true;
    }
    auto found = byName_.find(name);
    return found == byName_.end() ? none : found->second;
}

} // namespace tagwright::host::memory
