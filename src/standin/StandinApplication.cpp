#include "standin/StandinApplication.h"

#include "host/Failure.h"

namespace tagwright::standin {

StandinApplication::StandinApplication(host::ObjectRef application, std::function<void()> save,
                                       std::function<void()> quit)
    : application_(std::move(application)), save_(std::move(save)), quit_(std::move(quit)) {}

host::Value StandinApplication::invoke(std::u16string_view member, host::CallKind kind,
                                       std::span<const host::Value> args) {
    const bool asMethod = kind == host::CallKind::Method || kind == host::CallKind::Get;
    if (asMethod && (member == u"Save" || member == u"Quit")) {
        if (!args.empty()) {
            throw host::Failure::wrongArgumentCount(member);
        }
        (member == u"Save" ? save_ : quit_)();
        return {};
    }
    return application_->invoke(member, kind, args);
}

std::unique_ptr<host::HostEnumerator> StandinApplication::enumerate() {
    return application_->enumerate();
}

} // namespace tagwright::standin
