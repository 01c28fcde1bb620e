#pragma once

#include "host/HostRoles.h"
#include "run/LabelRequest.h"
#include "run/RunProgress.h"
#include "run/ShowMessage.h"

#include <vector>

namespace tagwright::maintenance {

enum class LocateTarget { Components, Nets };

inline constexpr char16_t staleListMessage[] = u"对象列表已过期，请先更新列表!";

// Selects in the editor exactly the chosen entries of `list` (entry p is member p + 1 of the
// collection), deselects the other listed ones and brings the selection into view. A member
// that is missing (past the end of the collection) or whose name no longer matches its entry
// stops the pass with the stale-list message, so the wrong object is never selected. Every
// other host failure propagates as itself. `progress`, when given, hears of each entry and may
// stop the pass before one; a stopped pass leaves what it selected and brings nothing into view.
void locate(const host::HostDocument& document, LocateTarget target,
            const std::vector<run::ListEntry>& list, const run::ShowMessage& showMessage,
            run::RunProgress* progress = nullptr);

} // namespace tagwright::maintenance
