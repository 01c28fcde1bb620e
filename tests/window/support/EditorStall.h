#pragma once

#include "host/EditorWait.h"
#include "host/Failure.h"
#include "window/ProgressControls.h"

#include <chrono>

namespace tagwright::test {

// A link's side of one call that waits for the editor, on the test's clock: every 25 ms of
// waiting it tells the run's watcher, as the links do, until `lasts` has passed and the call
// goes on. A watcher that says to give up fails the call at once, as the links do. `waited`
// is how long the call waited in the end.
inline void stallEditor(window::ProgressControls::Clock::time_point& clock,
                        host::EditorWaitReason reason, std::chrono::milliseconds lasts,
                        std::chrono::milliseconds& waited) {
    constexpr std::chrono::milliseconds poll{25};
    for (waited = {}; waited < lasts;) {
        clock += poll;
        waited += poll;
        host::EditorWaitWatcher* watcher = host::EditorWaitScope::current();
        if (watcher &&
            !watcher->editorWaiting(reason, waited, host::unansweredCallLimit - waited)) {
            throw host::Failure::editorNotAnswering(waited);
        }
    }
}

} // namespace tagwright::test
