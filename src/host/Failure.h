#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace tagwright::host {

// One run-time failure: the host's own number and description for host errors, or one of the
// numbers below for the program's own. Handlers catch it at their top and report both parts.
// The numbers and their texts are the scripting runtime's, which the editor's users know from
// their own macros; they are written here and nowhere else.
class Failure : public std::runtime_error {
  public:
    static constexpr std::int32_t InvalidProcedureCall = 5;
    static constexpr std::int32_t Overflow = 6;
    static constexpr std::int32_t OutOfMemory = 7;
    static constexpr std::int32_t SubscriptOutOfRange = 9;
    static constexpr std::int32_t TypeMismatch = 13;
    static constexpr std::int32_t InternalError = 51;
    static constexpr std::int32_t FileAccessError = 75;
    static constexpr std::int32_t ObjectNotSet = 91;
    static constexpr std::int32_t InvalidPropertyValue = 380;
    static constexpr std::int32_t ObjectRequired = 424;
    static constexpr std::int32_t CannotCreateObject = 429;
    static constexpr std::int32_t MemberNotSupported = 438;
    static constexpr std::int32_t AutomationError = 440;
    static constexpr std::int32_t WrongArgumentCount = 450;
    static constexpr std::int32_t EditorUnavailable = 462;

    Failure(std::int32_t number, std::u16string description);

    std::int32_t number() const { return number_; }
    const std::u16string& description() const { return description_; }

    static Failure overflow();
    static Failure subscriptOutOfRange();
    static Failure typeMismatch();
    static Failure objectNotSet();
    static Failure memberNotSupported(std::u16string_view member);
    // A call on `member` with more or fewer arguments than it takes.
    static Failure wrongArgumentCount(std::u16string_view member);
    // The link refused a call as malformed before it reached the editor; `detail` says why.
    static Failure invalidProcedureCall(std::u16string_view detail);
    // Something went wrong between the program and the editor that has no number of its own;
    // `detail` says what, if known.
    static Failure automationError(std::u16string_view detail);
    // An error the editor raises itself, in its own words, as an automation server does.
    static Failure editorError(std::u16string description);
    // No editor could be reached to attach to; `detail` says what the link was told.
    static Failure cannotCreateObject(std::u16string_view detail);
    // A property given a value it cannot take, such as the first entry of an empty list.
    static Failure invalidPropertyValue();
    // A file could not be read or written; `detail` names it and says why.
    static Failure fileAccessError(std::u16string_view detail);
    static Failure outOfMemory();
    // Anything thrown inside the program that is not a failure of its own; `detail` is the
    // exception's message, where it had one.
    static Failure internalError();
    static Failure internalError(std::u16string_view detail);
    // The editor kept refusing calls for as long as the link waits, typically because a dialog
    // of its own is open. Worth telling apart: closing that dialog is all the user has to do.
    static Failure editorBusy(std::int32_t number);
    // The editor took a call and did not answer within `waited`, or the user stopped waiting.
    // The link is then dead: every later call through it fails the same way at once.
    static Failure editorNotAnswering(std::chrono::milliseconds waited);
    // The editor has gone (ended, crashed, or its link broke); `detail` says how, if known.
    static Failure editorGone(std::u16string_view detail);

    // What the scripting runtime says for `number` when whoever raised it gave no description:
    // its own text for the errors an automation call raises (naming `member` where that text
    // does), and a general one for any other number.
    static std::u16string describe(std::int32_t number, std::u16string_view member = {});

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
