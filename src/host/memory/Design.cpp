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

std::shared_ptr<const Design::TextList> Design::textSnapshot() {
    sweepDeletedTexts();
    // Comparing the pointers costs far less than the copy it saves, and unlike a change
    // counter it cannot miss a change made straight to the vector.
    if (!textSnapshot_ || *textSnapshot_ != texts) {
        textSnapshot_ = std::make_shared<const TextList>(texts);
    }
    return textSnapshot_;
}

std::shared_ptr<Design> separateCopy(const Design& design) {
    auto copy = std::make_shared<Design>(design);
    for (auto& text : copy->texts) {
        text = std::make_shared<TextData>(*text);
    }
    return copy;
}

} // namespace tagwright::host::memory
