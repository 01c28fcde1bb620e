#pragma once

#include "host/HostRoles.h"
#include "host/memory/Design.h"
#include "standin-com/ActiveObjectRegistration.h"
#include "standin-com/ServerProcess.h"
#include "support/CallRecorder.h"

#include <memory>
#include <optional>

namespace tagwright::test {

// The served test editor, attached the way the program attaches to the real one.
host::HostApplication attachTestEditor();

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
    explicit InProcessEditor(host::memory::Design design, host::com::ServingOptions options = {});
    host::memory::Design finish() override;

    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();

  private:
    std::optional<host::com::ActiveObjectRegistration> registration_;
};

// Served by the server program, so every call crosses processes through the system's proxies.
class EditorProcess : public ServedEditor {
  public:
    explicit EditorProcess(const host::memory::Design& design,
                           const host::com::ServerOptions& options = {})
        : process_(design, options) {}
    host::memory::Design finish() override { return process_.finish(); }
    void kill() { process_.kill(); }

  private:
    host::com::ServerProcess process_;
};

} // namespace tagwright::test
