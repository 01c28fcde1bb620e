#pragma once

#include <chrono>

namespace tagwright::host {

// Why a call into the editor has not come back yet.
enum class EditorWaitReason {
    Busy,         // the editor keeps refusing calls, as it does while a dialog of its own is open
    NotAnswering, // it took the call and has not answered
};

// How long a call may go unanswered before the link gives up on the editor (failure 462), and
// after how long the user is told that the editor does not answer.
inline constexpr std::chrono::milliseconds unansweredCallLimit{25000};
inline constexpr std::chrono::milliseconds notAnsweringNotice{5000};

// The run that is going hears from the link while one call waits for the editor, a few dozen
// times a second: so that the window repaints, says why nothing moves, and offers a way out.
// A link calls it only on the thread that made the call, and only while that call waits.
class EditorWaitWatcher {
  public:
    virtual ~EditorWaitWatcher() = default;
    // `waited` since the call went out; `left` until the link gives up by itself. False: give
    // up now; the call then fails as if the time were up.
    virtual bool editorWaiting(EditorWaitReason reason, std::chrono::milliseconds waited,
                               std::chrono::milliseconds left) = 0;
};

// Makes `watcher` the one that hears about this thread's calls for as long as the scope lives;
// the one before comes back after it.
class EditorWaitScope {
  public:
    explicit EditorWaitScope(EditorWaitWatcher& watcher);
    ~EditorWaitScope();
    EditorWaitScope(const EditorWaitScope&) = delete;
    EditorWaitScope& operator=(const EditorWaitScope&) = delete;

    // Null when no run watches: a link then waits quietly, up to its limit.
    static EditorWaitWatcher* current();

  private:
    EditorWaitWatcher* outer_;
};

} // namespace tagwright::host
