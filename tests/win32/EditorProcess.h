#pragma once

#include "host/memory/Design.h"
#include "standin-com/ActiveObjectRegistration.h"

#include <windows.h>

#include <chrono>
#include <string>

namespace tagwright::test {

// How the served editor behaves towards the program.
struct EditorBehaviour {
    // Every call waits that long in the server, as a busy editor would.
    std::chrono::microseconds callDelay{0};
    // As host::com::ServerOptions: takes the call after this many and never answers it
    // (never when negative); rejects the first this many calls (all when negative).
    long long hangAfter = -1;
    int rejectedCalls = 0;
};

// The COM test server (tagwright-com-server.exe, beside this program) serving a copy of a design
// under the editor's own ProgID, which is where tagwright.exe looks. Only for a throwaway
// registry, such as the test Wine prefix: while it runs, that ProgID names the test server.
class EditorProcess {
  public:
    // Returns once the server is registered and answering.
    explicit EditorProcess(const host::memory::Design& design, EditorBehaviour behaviour = {});
    ~EditorProcess();
    EditorProcess(const EditorProcess&) = delete;
    EditorProcess& operator=(const EditorProcess&) = delete;

    // Asks the server to quit and hands back the design as it saved it.
    host::memory::Design finish();
    // Ends the server at once, as a crashing editor would.
    void kill();

  private:
    // Held here too, so a killed server does not leave the ProgID behind.
    host::com::ProgIdRegistration progId_;
    std::wstring designPath_, savePath_;
    PROCESS_INFORMATION process_{};
};

} // namespace tagwright::test
