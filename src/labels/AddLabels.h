#pragma once

#include "host/HostRoles.h"
#include "labels/SelectionSet.h"
#include "run/LabelRequest.h"
#include "run/RunProgress.h"
#include "run/ShowMessage.h"

namespace tagwright::labels {

// The add-labels run of one click: pins of the chosen components, then (for net-name and
// net-class labels, when vias are ticked) the design's vias. Host failures propagate as
// host::Failure; the labels placed before the failure stay in the design.
// `mask` belongs to the window and is rebuilt by every run. `progress`, when given, hears of
// each component and each label and may stop the run between two of them.
void addLabels(const host::HostDocument& document, const run::LabelRequest& request,
               ComponentMask& mask, const run::ShowMessage& showMessage,
               run::RunProgress* progress = nullptr);

} // namespace tagwright::labels
