#pragma once
// A broken invariant ends the run at once: libFuzzer keeps the input as a crash, and the replay
// test in the normal build fails on it.

#include <cstdio>
#include <cstdlib>

namespace verno::fuzz {

[[noreturn]] inline void InvariantBroken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz invariant broken: %s (%s:%d)\n", what, file, line);
    std::abort();
}

}  // namespace verno::fuzz

#define VERNO_FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::verno::fuzz::InvariantBroken(#condition, __FILE__, __LINE__))
