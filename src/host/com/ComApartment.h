#pragma once

namespace tagwright::host::com {

// COM for the program's one thread, as a single-threaded apartment: the window's thread is
// the only one that calls the editor. Made once, in main, before anything attaches, and kept
// until every host object has been released. If the toolkit already made this thread a
// multithreaded apartment, the program works in that one.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool joined_ = false;
};

} // namespace tagwright::host::com
