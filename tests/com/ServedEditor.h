#pragma once

#include "host/CallRecorder.h"
#include "host/HostRoles.h"
#include "host/com/server/ActiveObjectRegistration.h"
#include "host/memory/Design.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace tagwright::test {

// A design served as the running editor, for a client in this process to attach to.
class ServedEditor {
  public:
    virtual ~ServedEditor() = default;
    // Ends serving and hands back the design as the editor holds it by then.
    virtual host::memory::Design finish() = 0;
};

// Served from this process: calls arrive directly, and `log` sees them as the server got them.
class InProcessEditor : public ServedEditor {
  public:
    explicit InProcessEditor(host::memory::Design design);
    host::memory::Design finish() override;

    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();

  private:
    std::optional<host::com::ActiveObjectRegistration> registration_;
};

// Served by the server program, so every call crosses processes through the system's proxies.
class EditorProcess : public ServedEditor {
  public:
    explicit EditorProcess(const host::memory::Design& design);
    ~EditorProcess() override;
    host::memory::Design finish() override;
    // Ends the server at once, as a crashing editor would.
    void kill();

  private:
    std::wstring designPath_, savePath_;
    PROCESS_INFORMATION process_{};
};

} // namespace tagwright::test
