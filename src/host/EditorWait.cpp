#include "host/EditorWait.h"

namespace tagwright::host {

namespace {
thread_local EditorWaitWatcher* currentWatcher = nullptr;
} // namespace

EditorWaitScope::EditorWaitScope(EditorWaitWatcher& watcher) : outer_(currentWatcher) {
    currentWatcher = &watcher;
}

EditorWaitScope::~EditorWaitScope() {
    currentWatcher = outer_;
}

EditorWaitWatcher* EditorWaitScope::current() {
    return currentWatcher;
}

} // namespace tagwright::host
