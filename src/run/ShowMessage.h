#pragma once

#include <functional>
#include <string>

namespace tagwright::run {

inline constexpr char16_t applicationTitle[] = u"Tagwright";

// Shows one modal message (OK only, no icon) and returns once the user has dismissed it.
using ShowMessage = std::function<void(const std::u16string& text, const std::u16string& title)>;

} // namespace tagwright::run
