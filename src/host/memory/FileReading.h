#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tagwright::host::memory {

// The whole content of the regular file at `path` (a link to one will do). Refuses, with a
// DesignFileError naming the file, anything else: a device such as /dev/zero would be read
// without end, and a pipe would wait for a writer for ever. A file of more than `limit`
// bytes is refused before it is read.
std::string readRegularFile(const std::filesystem::path& path, std::uintmax_t limit);

} // namespace tagwright::host::memory
