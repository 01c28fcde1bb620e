#include "support/PrivateBus.h"

#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace tagwright::testing {

PrivateBus::PrivateBus() {
    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    daemon_ = ::fork();
    if (daemon_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        // It complains about resource limits it may not raise; the tests do not care.
        if (const int quiet = ::open("/dev/null", O_WRONLY); quiet >= 0)
            ::dup2(quiet, STDERR_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
                 "--print-address=1", static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(out[0]);
    if (line.empty())
        throw std::runtime_error("dbus-daemon did not start");
    ::setenv("DBUS_SESSION_BUS_ADDRESS", line.c_str(), 1);
}

PrivateBus::~PrivateBus() {
    if (daemon_ > 0) {
        ::kill(daemon_, SIGTERM);
        ::waitpid(daemon_, nullptr, 0);
    }
}

} // namespace tagwright::testing
