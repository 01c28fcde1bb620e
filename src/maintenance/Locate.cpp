#include "maintenance/Locate.h"

#include "host/Failure.h"

namespace tagwright::maintenance {

void locate(const host::HostDocument& document, LocateTarget target,
            const std::vector<labels::ListEntry>& list, const labels::ShowMessage& showMessage,
            labels::RunProgress* progress) {
    auto stale = [&] { showMessage(staleListMessage, labels::applicationTitle); };
    for (std::size_t p = 0; p < list.size(); ++p) {
        if (progress && !progress->proceed(labels::RunStage::Locating, p, list.size())) {
            return;
        }
        bool chosen = list[p].selected;
        host::HostCollection collection =
            target == LocateTarget::Components ? document.components() : document.nets();
        host::HostRole member;
        try {
            member = host::HostRole(collection.item(static_cast<std::int32_t>(p + 1)));
        } catch (const host::Failure&) {
            return stale(); // the design has fewer members than the list
        }
        // Positions tie the list to the design only until the design changes; the name check
        // keeps a changed design from getting the wrong objects selected.
        if (member.isNothing() || member.get(u"Name").toString() != list[p].text) {
            return stale();
        }
        member.put(u"Selected", chosen);
    }
    document.view().showSelection();
}

} // namespace tagwright::maintenance
