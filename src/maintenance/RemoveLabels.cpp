#include "maintenance/RemoveLabels.h"

namespace tagwright::maintenance {

bool isMarkedLabel(std::u16string_view text) {
    return !text.empty() && text.front() == u'{' && text.back() == u'}';
}

void removeLabels(const host::HostDocument& document, const std::u16string& labelTypeCaption,
                  const run::ShowMessage& showMessage, run::RunProgress* progress) {
    std::size_t deleted = 0;
    document.texts().forEachWhile([&](const host::ObjectRef& member) {
        if (progress && !progress->proceed(run::RunStage::Deleting, deleted, 0)) {
            return false;
        }
        host::HostText text(member);
        if (!isMarkedLabel(text.textString())) {
            return true;
        }
        if (text.remove()) {
            ++deleted;
            return true;
        }
        showMessage(u"删除 " + labelTypeCaption + text.textString() + u" 时发生错误，请手工删除！",
                    run::applicationTitle);
        return true;
    });
}

} // namespace tagwright::maintenance
