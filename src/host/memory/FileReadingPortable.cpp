// Standard C++ cannot open a file without blocking on a pipe, so where there is no POSIX the
// check before opening is the only one.
#include "host/memory/FileReading.h"

#include "host/memory/DesignFile.h"

#include <fstream>
#include <string>
#include <system_error>

namespace tagwright::host::memory {

std::string readRegularFile(const std::filesystem::path& path, std::uintmax_t limit) {
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (error) {
        throw DesignFileError(path.string() + ": cannot be opened for reading: " + error.message());
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw DesignFileError(path.string() + ": is not a regular file");
    }
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        throw DesignFileError(path.string() + ": cannot be read: " + error.message());
    }
    if (size > limit) {
        throw DesignFileError(path.string() + ": is " + std::to_string(size) +
                              " bytes, more than the " + std::to_string(limit) +
                              " a design file may have");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw DesignFileError(path.string() + ": cannot be opened for reading");
    }
    std::string content(static_cast<std::size_t>(size), '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (in.bad()) {
        throw DesignFileError(path.string() + ": cannot be read");
    }
    content.resize(static_cast<std::size_t>(in.gcount()));
    return content;
}

} // namespace tagwright::host::memory
