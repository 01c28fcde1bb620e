#pragma once

#include "host/memory/Design.h"

#include <windows.h>

#include <string>

namespace tagwright::host::com {

// How the server program is to behave (see ServerMain.cpp).
struct ServerOptions {
    // Empty: reached by the test-only ProgID alone, which is in no registry.
    std::u16string progId;
    bool typeInfo = true;
    bool typedReturns = true;
    bool deferredFillIn = false;
    // Takes the call after this many and never answers it; negative: answers every call.
    long long hangAfter = -1;
    // Counts the calls it serves, by kind: statsLine() after finish().
    bool stats = false;
    // Rejects the first this many calls, as an editor busy with a dialog does; all if negative.
    int rejectedCalls = 0;
};

// The server program (tagwright-com-server.exe, found beside this program) serving a copy of
// a design as the running editor, for clients that must call across processes. It lives in a
// job that ends it when this process ends, however this process ends, so a test that dies
// leaves no server behind in the running object table.
class ServerProcess {
  public:
    // Returns once the server is registered and answering; call it from a thread in a COM
    // apartment, which answers the server's calls meanwhile. Throws when the server does not
    // start, and when another test server is running.
    explicit ServerProcess(const memory::Design& design, const ServerOptions& options = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Asks the server to quit and hands back the design as it held it by then.
    memory::Design finish();
    // Ends the server at once, as a crashing editor would.
    void kill();

    DWORD processId() const { return process_.dwProcessId; }
    HANDLE process() const { return process_.hProcess; }
    // What the server wrote on standard error as it ended, with `stats`: the calls it served.
    const std::string& statsLine() const { return statsLine_; }

  private:
    std::wstring designPath_, savePath_, errorPath_;
    std::string statsLine_;
    HANDLE job_ = nullptr;
    PROCESS_INFORMATION process_{};
};

} // namespace tagwright::host::com
