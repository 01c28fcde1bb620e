#pragma once

#include "host/com/server/ActiveObjectRegistration.h"
#include "host/memory/Design.h"

#include <windows.h>

#include <string>

namespace tagwright::host::com {

// The server program (tagwright-com-server.exe, found beside this program) serving a copy of
// a design as the running editor, for clients that must call across processes.
class ServerProcess {
  public:
    // Returns once the server is registered and answering.
    explicit ServerProcess(const memory::Design& design);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Asks the server to quit and hands back the design as it held it by then.
    memory::Design finish();
    // Ends the server at once, as a crashing editor would.
    void kill();

  private:
    // Held here as well, so a killed server does not leave its ProgID behind in the registry.
    ProgIdRegistration progId_;
    std::wstring designPath_, savePath_;
    PROCESS_INFORMATION process_{};
};

} // namespace tagwright::host::com
