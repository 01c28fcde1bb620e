#pragma once

#include "host/HostObject.h"

#include <functional>

namespace tagwright::standin {

// The editor's application object as the stand-in serves it: the in-memory application plus
// the two methods a real editor offers its scripts for ending a session, "Save" and "Quit".
class StandinApplication : public host::HostObject {
  public:
    StandinApplication(host::ObjectRef application, std::function<void()> save,
                       std::function<void()> quit);

    host::Value invoke(std::u16string_view member, host::CallKind kind,
                       std::span<const host::Value> args) override;
    std::unique_ptr<host::HostEnumerator> enumerate() override;

    // The editor opened another design: clients that attach from now on get it.
    void setApplication(host::ObjectRef application) { application_ = std::move(application); }

  private:
    host::ObjectRef application_;
    std::function<void()> save_;
    std::function<void()> quit_;
};

} // namespace tagwright::standin
