#include "host/com/DispatchContext.h"

#include <cstring>

namespace tagwright::host::com {

bool DispatchContext::GuidLess::operator()(const GUID& a, const GUID& b) const {
    return std::memcmp(&a, &b, sizeof(GUID)) < 0;
}

std::shared_ptr<MemberIds> DispatchContext::idsOfType(ITypeInfo& info) {
    for (const auto& [held, ids] : descriptions_) {
        if (held.get() == &info) {
            return ids;
        }
    }
    TYPEATTR* attributes = nullptr;
    HRESULT hr = wait_.run([&] { return info.GetTypeAttr(&attributes); });
    if (FAILED(hr) || !attributes) {
        return nullptr;
    }
    GUID type = attributes->guid;
    info.ReleaseTypeAttr(attributes);
    if (IsEqualGUID(type, GUID_NULL)) {
        return nullptr;
    }
    auto& ids = byType_[type];
    if (!ids) {
        ids = std::make_shared<MemberIds>();
    }
    if (descriptions_.size() < heldDescriptions) {
        descriptions_.emplace_back(ComPtr<ITypeInfo>::share(&info), ids);
    }
    return ids;
}

} // namespace tagwright::host::com
