#pragma once

#include <oaidl.h>

#include <map>
#include <string>
#include <string_view>

namespace tagwright::host::com {

// Member ids by name. Automation matches names in any case, so they are kept folded.
class MemberIds {
  public:
    const DISPID* find(std::u16string_view member) const;
    void remember(std::u16string_view member, DISPID id);

  private:
    std::map<std::u16string, DISPID> ids_;
};

} // namespace tagwright::host::com
