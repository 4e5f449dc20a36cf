#pragma once
// GWR from samples that a Python callable produced beforehand. No Python header.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/methods/point_result.hpp"
#include "engine/runtime/worker_pool.hpp"
#include "core/precision/working_value.hpp"

// Point i: t[i] > 0 and its doubles samples[i * width ... i * width + width - 1]
// = F(k ln2 / t[i]), k = 1 ... width. Each m of `terms` (2 m <= width) is
// tried, the doubles' rounding estimated by inverting nudged samples, and the
// m whose estimated total error is least is kept. In limbs and double words
// with the work shared between the counts and the nudges (double_sample_gwr.hpp)
// wherever they serve, each m on its own in MPFR elsewhere.
struct DoubleSampleJob {
    const double* t;
    const double* samples;
    std::size_t count;
    std::size_t width;
    std::vector<std::uint64_t> terms;
    unsigned workers;
};
void invert_double_samples(const DoubleSampleJob& job, const PointOutputs& outputs,
                           JobControl& control);

// Ends the call with MemoryError, before the first sample exists, when
// inverting one point from 2m exact samples of `bits` bits cannot fit: the
// tables and workspace, and the samples three times over (the caller's
// values, their text on the way in, and the copy here).
void require_value_samples_memory(std::uint64_t m, Bits bits);

// One point from 2m samples held exactly at `bits` bits: GWR with m terms at
// that precision, and the value's decimal text when `text` is given.
PointResult invert_value_samples(double t, const ValueVector& samples, std::uint64_t m, Bits bits,
                                 std::string* text, std::size_t text_digits);
