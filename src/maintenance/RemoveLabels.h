#pragma once

#include "host/HostRoles.h"
#include "run/RunProgress.h"
#include "run/ShowMessage.h"

#include <string>

namespace tagwright::maintenance {

// True for a text this program wrote: first code unit "{", last "}".
bool isMarkedLabel(std::u16string_view text);

// One pass over the design's texts deleting every marked one. A text the editor refuses to
// delete is reported with `labelTypeCaption` (the caption of the chosen label type) and the
// pass goes on. `progress`, when given, hears of each text and may stop the pass before one.
void removeLabels(const host::HostDocument& document, const std::u16string& labelTypeCaption,
                  const run::ShowMessage& showMessage, run::RunProgress* progress = nullptr);

} // namespace tagwright::maintenance
