#include "host/Failure.h"

#include "host/Text.h"

namespace tagwright::host {

namespace {

// A caller may name a member of any length; a description quotes enough of it to recognise,
// and a reply that echoed millions of characters would cost the caller seconds.
std::u16string quoted(std::u16string_view name) {
    constexpr std::size_t longest = 40;
    if (name.size() <= longest) {
        return std::u16string(name);
    }
    std::size_t cut = longest;
    // Never half of a character beyond the basic plane.
    if (name[cut - 1] >= 0xD800 && name[cut - 1] <= 0xDBFF) {
        --cut;
    }
    return std::u16string(name.substr(0, cut)) + u"…";
}

// The scripting runtime's words for the numbers that a factory below and describe() share.
constexpr std::u16string_view invalidProcedureCallText = u"无效的过程调用或参数";
constexpr std::u16string_view overflowText = u"溢出";
constexpr std::u16string_view subscriptOutOfRangeText = u"下标越界";
constexpr std::u16string_view typeMismatchText = u"类型不匹配";
constexpr std::u16string_view objectNotSetText = u"对象变量或 With 块变量未设置";
constexpr std::u16string_view memberNotSupportedText = u"对象不支持该属性或方法";
constexpr std::u16string_view automationErrorText = u"自动化错误";
// The words the editor's scripting runtime uses for a server that is gone or out of reach.
constexpr std::u16string_view unavailableText = u"远程服务器机器不存在或不可用";

std::u16string detailed(std::u16string_view text, std::u16string_view detail) {
    std::u16string described(text);
    described += u": ";
    described += detail;
    return described;
}

} // namespace

Failure::Failure(std::int32_t number, std::u16string description)
    : std::runtime_error(std::to_string(number) + ": " + toUtf8(description)), number_(number),
      description_(std::move(description)) {}

Failure Failure::overflow() {
    return {Overflow, std::u16string(overflowText)};
}
Failure Failure::subscriptOutOfRange() {
    return {SubscriptOutOfRange, std::u16string(subscriptOutOfRangeText)};
}
Failure Failure::typeMismatch() {
    return {TypeMismatch, std::u16string(typeMismatchText)};
}
Failure Failure::objectNotSet() {
    return {ObjectNotSet, std::u16string(objectNotSetText)};
}
Failure Failure::memberNotSupported(std::u16string_view member) {
    return {MemberNotSupported, detailed(memberNotSupportedText, quoted(member))};
}
Failure Failure::wrongArgumentCount(std::u16string_view member) {
    return {WrongArgumentCount, detailed(u"错误的参数个数", member)};
}
Failure Failure::invalidProcedureCall(std::u16string_view detail) {
    return {InvalidProcedureCall, detailed(invalidProcedureCallText, detail)};
}
Failure Failure::automationError(std::u16string_view detail) {
    if (detail.empty()) {
        return {AutomationError, std::u16string(automationErrorText)};
    }
    return {AutomationError, detailed(automationErrorText, detail)};
}
Failure Failure::editorError(std::u16string description) {
    return {AutomationError, std::move(description)};
}
Failure Failure::cannotCreateObject(std::u16string_view detail) {
    return {CannotCreateObject, detailed(u"ActiveX 部件不能创建对象", detail)};
}
Failure Failure::invalidPropertyValue() {
    return {InvalidPropertyValue, u"无效的属性值"};
}
Failure Failure::fileAccessError(std::u16string_view detail) {
    return {FileAccessError, detailed(u"路径/文件访问错误", detail)};
}
Failure Failure::outOfMemory() {
    return {OutOfMemory, u"内存溢出"};
}
Failure Failure::internalError() {
    return {InternalError, u"内部错误"};
}
Failure Failure::internalError(std::u16string_view detail) {
    return {InternalError, detailed(u"内部错误", detail)};
}

Failure Failure::editorBusy(std::int32_t number) {
    Failure busy(number, u"编辑器正忙，请关闭其对话框后重试");
    busy.editorBusy_ = true;
    return busy;
}

Failure Failure::editorNotAnswering(std::chrono::milliseconds waited) {
    // Whole seconds as "25", anything finer with its tenths, as "2.5".
    const auto tenths = (waited.count() + 50) / 100;
    std::string seconds = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        seconds.push_back('.');
        seconds.push_back(static_cast<char>('0' + tenths % 10));
    }
    return {EditorUnavailable,
            detailed(unavailableText, u"编辑器在 " + fromUtf8(seconds) + u" 秒内没有响应")};
}

Failure Failure::editorGone(std::u16string_view detail) {
    if (detail.empty()) {
        return {EditorUnavailable, std::u16string(unavailableText)};
    }
    return {EditorUnavailable, detailed(unavailableText, detail)};
}

std::u16string Failure::describe(std::int32_t number, std::u16string_view member) {
    switch (number) {
    case InvalidProcedureCall:
        return std::u16string(invalidProcedureCallText);
    case Overflow:
        return std::u16string(overflowText);
    case SubscriptOutOfRange:
        return std::u16string(subscriptOutOfRangeText);
    case TypeMismatch:
        return std::u16string(typeMismatchText);
    case ObjectNotSet:
        return std::u16string(objectNotSetText);
    case ObjectRequired:
        return u"要求对象";
    case MemberNotSupported:
        return memberNotSupported(member).description();
    case AutomationError:
        return std::u16string(automationErrorText);
    case WrongArgumentCount:
        return u"错误的参数个数或无效的属性赋值";
    default:
        return u"应用程序定义或对象定义的错误";
    }
}

} // namespace tagwright::host
