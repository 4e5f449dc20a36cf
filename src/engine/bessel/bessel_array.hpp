#pragma once
// The public Bessel functions I_n(x) and K_n(x) over arrays: correctly
// rounded doubles, or values at a requested number of digits. No Python header.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/runtime/worker_pool.hpp"

enum class BesselFamily : std::uint8_t { first_kind, second_kind };  // I, K

struct BesselJob {
    BesselFamily family;
    const double* n;  // integer orders >= 0, as doubles
    const double* x;
    std::size_t count;
    std::uint32_t digits;  // 0: the correctly rounded double
    unsigned workers;
    // false: every correctly rounded double by the exact path alone (the
    // fast pass's tests compare the two).
    bool fast_pass = true;
    // Counts the points of a correctly rounded job that took the exact path.
    std::atomic<std::size_t>* exact_points = nullptr;
};

// out[i] = I or K of order n[i] at x[i]; with `texts`, also its decimal
// digits (at least text_digits of them).
void bessel_array(const BesselJob& job, double* out, std::string* texts, std::size_t text_digits,
                  JobControl& control);
