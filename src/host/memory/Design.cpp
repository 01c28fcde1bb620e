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

} // namespace tagwright::host::memory
