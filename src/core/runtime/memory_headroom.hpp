#pragma once
// How much more memory this process can obtain, read from the kernel on every
// call (nothing is cached here). POSIX and /proc only: no Python header, no
// shared state, so any thread may call it.

#include <cstdint>
#include <limits>

inline constexpr std::uint64_t unlimited_bytes = std::numeric_limits<std::uint64_t>::max();

// Bytes still obtainable, unlimited_bytes where nothing sets a bound or the
// bound cannot be read.
struct Headroom {
    // RLIMIT_AS less the address space in use, RLIMIT_DATA less the data in
    // use. Past these the kernel refuses the allocation itself, at once and
    // whether or not the pages are ever touched, and GMP then aborts.
    std::uint64_t hard = unlimited_bytes;
    // The cgroup v2 limits of this process's cgroup and its ancestors less
    // what each holds (its reclaimable page cache aside), and MemAvailable.
    // Past these allocations still succeed; touching the pages later brings
    // the OOM killer, which ends the process just the same.
    std::uint64_t soft = unlimited_bytes;
    // Whether RLIMIT_AS or RLIMIT_DATA is set at all.
    bool hard_limited = false;
};

// The resource limits alone (one getrlimit per limit, /proc/self/statm when
// either is set); `soft` stays unlimited_bytes.
Headroom read_hard_headroom();

// Every bound: the resource limits, the cgroup files and /proc/meminfo.
Headroom read_headroom();

// Bytes that malloc holds free in its arenas, which it hands out again before
// it asks the kernel for more: none of the bounds above sees them as free.
// Walks every free chunk, so it is only worth asking when the bounds fall short.
std::uint64_t malloc_free_bytes();
