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

} // namespace

Failure::Failure(std::int32_t number, std::u16string description)
    : std::runtime_error(std::to_string(number) + ": " + toUtf8(description)), number_(number),
      description_(std::move(description)) {}

// The descriptions are the ones the editor's users already know from its own scripting runtime.
Failure Failure::overflow() {
    return {Overflow, u"溢出"};
}
Failure Failure::subscriptOutOfRange() {
    return {SubscriptOutOfRange, u"下标越界"};
}
Failure Failure::typeMismatch() {
    return {TypeMismatch, u"类型不匹配"};
}
Failure Failure::objectNotSet() {
    return {ObjectNotSet, u"对象变量或 With 块变量未设置"};
}
Failure Failure::memberNotSupported(std::u16string_view member) {
    return {MemberNotSupported, u"对象不支持该属性或方法: " + quoted(member)};
}

Failure Failure::editorBusy(std::int32_t number) {
    Failure busy(number, u"编辑器正忙，请关闭其对话框后重试");
    busy.editorBusy_ = true;
    return busy;
}

// The words the editor's scripting runtime uses for a server that is gone or out of reach.
constexpr std::u16string_view unavailable = u"远程服务器机器不存在或不可用";

Failure Failure::editorNotAnswering(std::chrono::milliseconds waited) {
    // Whole seconds as "25", anything finer with its tenths, as "2.5".
    const auto tenths = (waited.count() + 50) / 100;
    std::string seconds = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        seconds.push_back('.');
        seconds.push_back(static_cast<char>('0' + tenths % 10));
    }
    return {EditorUnavailable,
            std::u16string(unavailable) + u": 编辑器在 " + fromUtf8(seconds) + u" 秒内没有响应"};
}

Failure Failure::editorGone(std::u16string_view detail) {
    if (detail.empty())
        return {EditorUnavailable, std::u16string(unavailable)};
    return {EditorUnavailable, std::u16string(unavailable) + u": " + std::u16string(detail)};
}

} // namespace tagwright::host
