#pragma once

#include "host/com/ComHandles.h"

namespace tagwright::host::com {

// COM for the program's one thread, as a single-threaded apartment: the window's thread is
// the only one that calls the editor. Made once, in main, before anything attaches, and kept
// until every host object has been released. It registers the thread's message filter, so
// calls that a busy editor rejects are tried again (BusyEditorFilter). If the toolkit already
// made this thread a multithreaded apartment, the program works in that one, without a filter;
// the calls are then tried again by BusyEditorWait alone.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool joined_ = false;
    bool filtered_ = false;
    ComPtr<IMessageFilter> previousFilter_;
};

} // namespace tagwright::host::com
