#pragma once

#include <cstddef>

namespace tagwright::run {

// What a long run is doing, each with its own wording for the user.
enum class RunStage {
    Components,     // pins of the chosen components; done counts components begun, this one
                    // included, of the total chosen
    Vias,           // the design's vias; done counts via labels placed, total is unknown
    Deleting,       // the design's texts; done counts texts deleted, total is unknown
    Locating,       // list entries; done and total count entries
    ListComponents, // the list fill: members read so far, total unknown
    ListNets,
    ListNetClasses,
};

// Watches one long run. The run reports before each step that calls the host (a component
// looked up, a pin or via labelled, a text examined, an entry located, a member's name read),
// never inside one, and stops there when told to: whatever it placed, deleted or selected so
// far stays, as after a failure. A run given no watcher goes to its end unasked.
class RunProgress {
  public:
    virtual ~RunProgress() = default;
    // `done` of `total` (0 when not known in advance) in `stage`. False: stop before the step.
    virtual bool proceed(RunStage stage, std::size_t done, std::size_t total) = 0;
};

} // namespace tagwright::run
