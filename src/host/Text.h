#pragma once

#include <string>
#include <string_view>

namespace tagwright::host {

// The editor delivers text as UTF-16 code units; files, terminals and exception messages want
// UTF-8. Unpaired surrogates become U+FFFD on the way out so a bad name never breaks a file.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

} // namespace tagwright::host
