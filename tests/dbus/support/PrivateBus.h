#pragma once

#include <sys/types.h>

namespace tagwright::testing {

// A session bus of this test process's own, so tests that claim the editor's well-known name
// can run side by side. Sets DBUS_SESSION_BUS_ADDRESS, so it must exist before QtDBus is used.
class PrivateBus {
  public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

  private:
    pid_t daemon_ = -1;
};

} // namespace tagwright::testing
