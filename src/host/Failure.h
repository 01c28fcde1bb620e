#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace tagwright::host {

// One run-time failure: the host's own number and description for host errors, or one of the
// numbers below for the program's own. Handlers catch it at their top and report both parts.
class Failure : public std::runtime_error {
  public:
    static constexpr std::int32_t Overflow = 6;
    static constexpr std::int32_t SubscriptOutOfRange = 9;
    static constexpr std::int32_t TypeMismatch = 13;
    static constexpr std::int32_t ObjectNotSet = 91;
    static constexpr std::int32_t MemberNotSupported = 438;
    static constexpr std::int32_t EditorUnavailable = 462;

    Failure(std::int32_t number, std::u16string description);

    std::int32_t number() const { return number_; }
    const std::u16string& description() const { return description_; }

    static Failure overflow();
    static Failure subscriptOutOfRange();
    static Failure typeMismatch();
    static Failure objectNotSet();
    static Failure memberNotSupported(std::u16string_view member);
    // The editor kept refusing calls for as long as the link waits, typically because a dialog
    // of its own is open. Worth telling apart: closing that dialog is all the user has to do.
    static Failure editorBusy(std::int32_t number);
    // The editor took a call and did not answer within `waited`, or the user stopped waiting.
    // The link is then dead: every later call through it fails the same way at once.
    static Failure editorNotAnswering(std::chrono::milliseconds waited);
    // The editor has gone (ended, crashed, or its link broke); `detail` says how, if known.
    static Failure editorGone(std::u16string_view detail);

    bool isEditorBusy() const { return editorBusy_; }

    // The COM status a failure came from, where there was one. Its number alone does not keep
    // it (two statuses give 438), and a user's trace needs the exact status.
    std::optional<std::int32_t> hresult() const { return hresult_; }
    void setHresult(std::int32_t hresult) { hresult_ = hresult; }

  private:
    std::int32_t number_;
    std::u16string description_;
    bool editorBusy_ = false;
    std::optional<std::int32_t> hresult_;
};

} // namespace tagwright::host
