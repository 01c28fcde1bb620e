#pragma once

#include "host/memory/Design.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace tagwright::host::memory {

// A design file that cannot be read or written; the message names the file and, for a bad
// field, the field's path (for example "components[3].pins[0].x").
class DesignFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

Design parseDesign(const std::string& json, const std::string& sourceName);
// Refuses (DesignFileError naming `name` and the field) a design that parseDesign would not
// read back: a number that is not finite, a NUL in a string.
std::string serializeDesign(const Design& design, const std::string& name = "the design");

// 400k components make a file of about 200 MB, which takes some 13 times that in memory
// once loaded; anything larger is refused unread.
inline constexpr std::uintmax_t maxDesignFileBytes = 256 * 1024 * 1024;

// Reads only a regular file of at most maxDesignFileBytes. Loading and saving both remove
// what earlier saves that were cut short left beside the file (see removeStaleTemporaries).
Design loadDesign(const std::filesystem::path& path);
// Replaces the file whole (see replaceFile): a crash or a full disk never leaves a
// half-written design behind, and a failure names its real cause.
void saveDesign(const Design& design, const std::filesystem::path& path);

} // namespace tagwright::host::memory
