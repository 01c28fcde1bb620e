// Opening with O_NONBLOCK lets a pipe that took the design file's place between the check and
// the open be seen for what it is instead of waiting for a writer.
#include "host/memory/FileReading.h"

#include "host/memory/DesignFile.h"

#include <cerrno>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagwright::host::memory {

namespace {

[[noreturn]] void refuse(const std::filesystem::path& path, const std::string& problem) {
    throw DesignFileError(path.string() + ": " + problem);
}

std::string cause(int error) {
    return std::generic_category().message(error);
}

void check(const std::filesystem::path& path, const struct stat& info, std::uintmax_t limit) {
    if (!S_ISREG(info.st_mode)) {
        refuse(path, "is not a regular file");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        refuse(path, "is " + std::to_string(info.st_size) + " bytes, more than the " +
                         std::to_string(limit) + " a design file may have");
    }
}

} // namespace

std::string readRegularFile(const std::filesystem::path& path, std::uintmax_t limit) {
    struct stat info {};
    // Decided before opening: opening a device can already act on it.
    if (::stat(path.c_str(), &info) != 0) {
        refuse(path, "cannot be opened for reading: " + cause(errno));
    }
    check(path, info, limit);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        refuse(path, "cannot be opened for reading: " + cause(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0) {
        refuse(path, "cannot be read: " + cause(errno));
    }
    check(path, info, limit);

    // What the file held when it was opened; a file that grows meanwhile is read up to there.
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t got = ::read(fd, content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            refuse(path, "cannot be read: " + cause(errno));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    content.resize(done);
    return content;
}

} // namespace tagwright::host::memory
