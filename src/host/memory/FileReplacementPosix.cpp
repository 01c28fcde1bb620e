// The POSIX way to replace a file durably: write a fresh file beside it, flush it to the
// disk, rename it over the old one, and flush the folder that records the rename. Without
// the two flushes a power cut can leave an empty or half-written design behind the rename.
#include "host/memory/FileReplacement.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagwright::host::memory {

namespace {

[[noreturn]] void fail(int error, const std::string& step) {
    throw std::system_error(error, std::generic_category(), step);
}

// The file a chain of symbolic links ends at; replacing the link itself would cut it off from
// its target and leave a new file with default permissions in its place.
std::filesystem::path followLinks(std::filesystem::path path) {
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
            return path;
        }
        std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) {
            fail(error.value(), "cannot follow the link " + path.string());
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    fail(ELOOP, "cannot follow the links to " + path.string());
}

// Closes on every path out, so a failure never leaks the descriptor.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Closing can report a write error of its own (on network file systems).
    int close() { return ::close(std::exchange(fd_, -1)); }

  private:
    int fd_;
};

// Temporaries are named ".NAME.PID.COUNTER.tmp", COUNTER in hex.
std::string uniqueSuffix() {
    static std::atomic<unsigned long long> counter{std::random_device{}()};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, ".%d.%llx", static_cast<int>(::getpid()), counter++);
    return buffer;
}

// Opens a new file beside `target` under a name no one else uses, readable and writable as
// any new file (the umask applies).
std::pair<int, std::filesystem::path> createBeside(const std::filesystem::path& target) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temporary =
            target.parent_path() / ("." + target.filename().string() + uniqueSuffix() + ".tmp");
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return {fd, temporary};
        }
        if (errno != EEXIST) {
            fail(errno, "cannot create a file in " + target.parent_path().string());
        }
    }
    fail(EEXIST, "cannot create a file in " + target.parent_path().string());
}

void writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno, "cannot write");
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
}

void syncFolder(const std::filesystem::path& folder) {
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot sync a folder, or refuse to open it for reading; the rename
    // is then as durable as they make it.
    if (fd.get() < 0) {
        return;
    }
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP) {
        fail(errno, "replaced, but cannot flush the folder " + folder.string());
    }
}

// The process that made `name` as a temporary of the file whose temporaries begin with
// `prefix`, or 0 when `name` is no such temporary.
pid_t writerOf(std::string_view name, std::string_view prefix) {
    constexpr std::string_view suffix = ".tmp";
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix)) {
        return 0;
    }
    std::string_view middle = name.substr(prefix.size());
    middle.remove_suffix(suffix.size());
    auto dot = middle.find('.');
    if (dot == middle.npos || dot + 1 == middle.size() ||
        middle.find_first_not_of("0123456789abcdef", dot + 1) != middle.npos) {
        return 0;
    }
    pid_t pid = 0;
    auto [end, error] = std::from_chars(middle.data(), middle.data() + dot, pid);
    return error == std::errc() && end == middle.data() + dot && pid > 0 ? pid : 0;
}

} // namespace

void removeStaleTemporaries(const std::filesystem::path& path) noexcept {
    try {
        std::filesystem::path target = followLinks(path);
        std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
        const std::string prefix = "." + target.filename().string() + ".";
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error)) {
            const pid_t writer = writerOf(entry->path().filename().string(), prefix);
            if (writer == 0 || writer == ::getpid() || ::kill(writer, 0) == 0 || errno != ESRCH) {
                continue;
            }
            struct stat info {};
            if (::lstat(entry->path().c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                ::unlink(entry->path().c_str());
            }
        }
    } catch (...) {
        // A folder that cannot be read keeps its temporaries; the design itself is unharmed.
    }
}

void replaceFile(const std::filesystem::path& path, std::string_view content) {
    std::filesystem::path target = followLinks(path);
    if (target.parent_path().empty()) {
        target = "." / target;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    auto [fd, temporary] = createBeside(target);
    Descriptor file(fd);
    try {
        if (existed) {
            // Owner first: changing it can clear the mode's special bits. Only the owner's
            // own group or root may change it; otherwise the new file stays the saver's.
            [[maybe_unused]] int owned = ::fchown(file.get(), old.st_uid, old.st_gid);
            if (::fchmod(file.get(), old.st_mode & 07777) != 0) {
                fail(errno, "cannot keep the permissions");
            }
        }
        writeAll(file.get(), content);
        if (::fsync(file.get()) != 0) {
            fail(errno, "cannot flush to the disk");
        }
        if (file.close() != 0) {
            fail(errno, "cannot write");
        }
        if (::rename(temporary.c_str(), target.c_str()) != 0) {
            fail(errno, "cannot be replaced");
        }
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    syncFolder(target.parent_path());
}

} // namespace tagwright::host::memory
