#include "host/com/DispatchKind.h"

namespace tagwright::host::com {

std::shared_ptr<DispatchKind> DispatchKind::child(std::u16string_view member) {
    auto it = children_.find(member);
    if (it == children_.end()) {
        it = children_.emplace(std::u16string(member), std::make_shared<DispatchKind>()).first;
    }
    return it->second;
}

} // namespace tagwright::host::com
