#pragma once

#include <filesystem>
#include <string_view>

namespace tagwright::host::memory {

// Replaces the file at `path` by `content` so that, whatever happens meanwhile (a crash, a
// full disk, a power cut), the path afterwards holds either the old content or the new, whole.
// A symbolic link is written through: the file it ends at is replaced and the link stays.
// The file keeps its permissions. Throws std::system_error naming the step and the cause.
void replaceFile(const std::filesystem::path& path, std::string_view content);

// Removes the temporaries replaceFile left beside `path` in processes that ended before they
// could rename or remove them (killed, or cut off by a power loss); those of processes that
// still run may be saves in progress and stay. Does what it can and never fails.
void removeStaleTemporaries(const std::filesystem::path& path) noexcept;

} // namespace tagwright::host::memory
