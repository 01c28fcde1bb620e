#include "host/com/MemberIds.h"

namespace tagwright::host::com {

namespace {

std::u16string folded(std::u16string_view member) {
    std::u16string key(member);
    for (char16_t& c : key) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return key;
}

} // namespace

const DISPID* MemberIds::find(std::u16string_view member) const {
    auto it = ids_.find(folded(member));
    return it == ids_.end() ? nullptr : &it->second;
}

void MemberIds::remember(std::u16string_view member, DISPID id) {
    ids_[folded(member)] = id;
}

} // namespace tagwright::host::com
