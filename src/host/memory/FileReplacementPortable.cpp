// Standard C++ offers no way to flush a file to the disk, so where there is no POSIX this
// replacement is atomic (a fresh file renamed over the old one) but not durable.
#include "host/memory/FileReplacement.h"

#include <atomic>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace tagwright::host::memory {

void replaceFile(const std::filesystem::path& path, std::string_view content) {
    static std::atomic<unsigned long long> counter{std::random_device{}()};
    std::filesystem::path target = path;
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
        target = std::filesystem::canonical(target);
    }
    std::string suffix = ".";
    suffix += std::to_string(counter++);
    suffix += ".tmp";
    std::filesystem::path temporary = target;
    temporary += suffix;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            std::filesystem::remove(temporary, error);
            throw std::system_error(std::make_error_code(std::errc::io_error), "cannot write");
        }
    }
    auto permissions = std::filesystem::status(target, error).permissions();
    if (!error) {
        std::filesystem::permissions(temporary, permissions, error);
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw std::system_error(error, "cannot be replaced");
    }
}

// These temporaries carry no process id (standard C++ knows none), so a stale one cannot be
// told from a save in progress in another process; they are left for the user.
void removeStaleTemporaries(const std::filesystem::path&) noexcept {}

} // namespace tagwright::host::memory
