#pragma once
// A monotonic clock for pacing, not measuring: CLOCK_MONOTONIC_COARSE is read
// from the vDSO in a few ns without a system call, where a precise clock
// reads the time-stamp counter and costs several times more. Its tick (a few
// ms) is far below every interval it paces. No Python header.

#include <time.h>

#include <cstdint>

inline std::uint64_t coarse_now_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}
