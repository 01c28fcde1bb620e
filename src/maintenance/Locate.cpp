#include "maintenance/Locate.h"

#include "host/Failure.h"

#include <algorithm>

namespace tagwright::maintenance {

namespace {

bool pastTheEnd(const host::HostCollection& collection, std::size_t position) {
    try {
        return position > static_cast<std::size_t>(std::max(collection.count(), 0));
    } catch (const host::Failure&) {
        return false; // no count to compare with: the failure of Item stands
    }
}

// Components and nets answer the same two calls a pass needs: their name and their selection.
template <class Member>
void selectListed(const host::HostDocument& document,
                  host::HostCollection (host::HostDocument::*members)() const,
                  const std::vector<run::ListEntry>& list, const run::ShowMessage& showMessage,
                  run::RunProgress* progress) {
    auto stale = [&] { showMessage(staleListMessage, run::applicationTitle); };
    for (std::size_t p = 0; p < list.size(); ++p) {
        if (progress && !progress->proceed(run::RunStage::Locating, p, list.size())) {
            return;
        }
        bool chosen = list[p].selected;
        host::HostCollection collection = (document.*members)();
        Member member;
        try {
            member = Member(collection.item(static_cast<std::int32_t>(p + 1)));
        } catch (const host::Failure&) {
            // Only a position past the end means the list is behind the design; the editor
            // gone or a refused call is reported as the failure it is.
            if (pastTheEnd(collection, p + 1)) {
                return stale();
            }
            throw;
        }
        // Positions tie the list to the design only until the design changes; the name check
        // keeps a changed design from getting the wrong objects selected.
        if (member.isNothing() || member.name() != list[p].text) {
            return stale();
        }
        member.setSelected(chosen);
    }
    document.view().showSelection();
}

} // namespace

void locate(const host::HostDocument& document, LocateTarget target,
            const std::vector<run::ListEntry>& list, const run::ShowMessage& showMessage,
            run::RunProgress* progress) {
    if (target == LocateTarget::Components) {
        selectListed<host::HostComponent>(document, &host::HostDocument::components, list,
                                          showMessage, progress);
    } else {
        selectListed<host::HostNet>(document, &host::HostDocument::nets, list, showMessage,
                                    progress);
    }
}

} // namespace tagwright::maintenance
