#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tagwright::fuzz {

// A broken promise of the code under test. Aborts rather than throws, so that no handler of
// the code under test can swallow it: libFuzzer keeps the input as a crash, and the corpus
// replay fails on it.
[[noreturn]] inline void fault(const std::string& what) {
    std::fprintf(stderr, "FAULT: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace tagwright::fuzz
