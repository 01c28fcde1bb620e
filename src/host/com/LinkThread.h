#pragma once

#include "host/EditorWait.h"
#include "host/Failure.h"
#include "host/HostRoles.h"
#include "host/com/BusyEditorWait.h"

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

namespace tagwright::host::com {

// The thread the program's calls into the editor are made from. An editor that takes a call
// and never answers keeps the calling thread inside COM for good: Windows can cancel such a
// call, Wine cannot (it ignores the message filter's cancel, and has no CoCancelCall). So the
// calls go out from this thread, in an apartment of its own, while the window's thread waits
// for each with the run's watcher: repainting, saying why nothing moves, and giving up when
// the user asks to or the editor has not answered for unansweredCallLimit. A thread left
// waiting for a hung editor is left behind; the link is dead from then on (every call fails
// with 462 at once), and the next attach starts a new thread.
class LinkThread {
  public:
    explicit LinkThread(std::chrono::milliseconds unansweredLimit = host::unansweredCallLimit);
    // Lets the thread end once what was handed to it is done; does not wait for a thread that
    // is stuck in a call.
    ~LinkThread();
    LinkThread(const LinkThread&) = delete;
    LinkThread& operator=(const LinkThread&) = delete;

    // Runs `work` on the link thread and waits for it; throws what it threw, or the failure
    // of an editor that did not answer. `work` must own what it touches: after a give-up it
    // may still run, long after the caller has gone.
    void run(std::function<void()> work);
    // Hands `work` over without waiting (releasing the editor's objects, which belong to the
    // link thread's apartment).
    void post(std::function<void()> work);

  private:
    struct Task;
    // What the thread reads; it holds it too, so a thread that comes back from a hung call
    // after its link has gone still finds it.
    struct Queue {
        Queue();
        ~Queue();
        std::mutex mutex;
        std::deque<std::shared_ptr<Task>> tasks;
        bool ending = false;
        HANDLE queued = nullptr;
    };
    static DWORD WINAPI serve(void* queue);
    void enqueue(std::shared_ptr<Task> task);
    [[noreturn]] void giveUp(std::chrono::milliseconds waited);

    std::chrono::milliseconds unansweredLimit_;
    std::shared_ptr<Queue> queue_;
    HANDLE thread_ = nullptr;
    std::optional<Failure> endedBy_;
};

// Attaches to the running object registered as `progId` from a new link thread; every object
// reached from it makes its calls there.
HostApplication
attachOnLinkThread(std::u16string_view progId, BusyEditorWait wait = BusyEditorWait(),
                   std::chrono::milliseconds unansweredLimit = host::unansweredCallLimit);

} // namespace tagwright::host::com
