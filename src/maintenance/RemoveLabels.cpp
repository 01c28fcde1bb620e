#include "maintenance/RemoveLabels.h"

namespace tagwright::maintenance {

bool isMarkedLabel(std::u16string_view text) {
    return !text.empty() && text.front() == u'{' && text.back() == u'}';
}

void removeLabels(const host::HostDocument& document, const std::u16string& labelTypeCaption,
                  const labels::ShowMessage& showMessage) {
    document.texts().forEach([&](const host::ObjectRef& member) {
        host::HostText text(member);
        if (!isMarkedLabel(text.textString())) {
            return;
        }
        if (text.remove()) {
            return;
        }
        showMessage(u"删除 " + labelTypeCaption + text.textString() + u" 时发生错误，请手工删除！",
                    labels::applicationTitle);
    });
}

} // namespace tagwright::maintenance
