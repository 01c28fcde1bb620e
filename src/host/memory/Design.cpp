#include "host/memory/Design.h"

#include <algorithm>

namespace tagwright::host::memory {

void Design::sweepDeletedTexts() {
    if (deletedTexts == 0) {
        return;
    }
    std::erase_if(texts, [](const std::shared_ptr<TextData>& t) { return t->deleted; });
    deletedTexts = 0;
}

Index Design::findComponent(const std::u16string& name) {
    if (componentsByName_.size() != components.size()) {
        componentsByName_.clear();
        for (std::size_t i = components.size(); i-- > 0;) {
            componentsByName_[components[i].name] = static_cast<Index>(i);
        }
    }
    auto found = componentsByName_.find(name);
    return found == componentsByName_.end() ? none : found->second;
}

} // namespace tagwright::host::memory
