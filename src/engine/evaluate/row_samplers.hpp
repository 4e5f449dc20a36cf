#pragma once
// Samples handed in ready-made, by a Python callable that was called with the
// points k ln 2 / t before the GWR arithmetic started. No Python header.

#include <cstddef>
#include <cstdint>

#include "core/gwr/transform_sampler.hpp"

// The doubles' rounding is estimated by inverting the samples again, each
// moved by some units of its last place, and taking how far the result moves.
// A sample's own rounding is one unit; but s = k ln2 / t is a double too,
// rounded by up to 2^-53 of it, which moves F(s) by |s F'(s)| 2^-53 more, and
// F's own work (an exponential of a rounded argument) by about as much again:
// for e^(-2 sqrt s) at the top samples, a dozen units. One unit left the true
// error 3 to 35 times the estimate at 1 point in 8 of smooth forms; units
// grown with s F'(s) left it within 2.3 at 6 terms. The estimate is the larger
// of `nudge_draws` draws of such a nudge; three times it covers the actual
// rounding, which is another such draw: one draw alone fell short of it at
// about one point in fifteen.
inline constexpr double rounding_safety = 3.0;
inline constexpr std::uint64_t nudge_draws = 2;
// At most this many units: a nudge stays a 21-bit multiple of one unit, whose
// products with the binomials (held below 2^32 where the limbs serve) are
// exact in a double (double_sample_gwr.cpp).
inline constexpr std::uint64_t most_nudge_units = std::uint64_t{1} << 20;

// The seed of nudge `draw` of one point, from the point itself (its t and
// its `width` samples), never from its place in the call: the same point
// gives the same value and estimate in any array, any block of a Dask sweep,
// any order. Never 0, which means no nudge.
std::uint64_t nudge_seed(double t, const double* row, std::size_t width, std::uint64_t draw);

// How many units of its last place sample `index` (k - 1) of a row of `width`
// is nudged by: 1 + 2 |s F'(s)| 2^-53 in its units, the slope read from the
// larger difference to a neighbour. Depends on the row alone, so every way of
// inverting it nudges alike.
std::uint64_t nudge_units(const double* row, std::size_t width, std::size_t index);

// The finite sample y = F(k ln2 / t) (index k - 1) under the nudge of `seed`:
// moved `units` units of its last place up or down, by a pseudo-random sign
// fixed by the seed and the index.
double nudged_sample(double y, std::uint64_t seed, std::size_t index, std::uint64_t units);

// samples[k-1] = row[k-1]: one point's doubles, F(k ln2 / t) for k = 1 ... 2m.
// With a nonzero `seed`, each finite sample is nudged (nudged_sample): the
// inversion of such samples differs from the plain one by about as much as
// the doubles' own rounding costs, which is how that cost is estimated.
class DoubleRowSampler final : public TransformSampler {
public:
    DoubleRowSampler(const double* row, std::size_t width, std::uint64_t seed)
        : row_(row), width_(width), seed_(seed) {}
    bool sample(const WorkingValue& a, ValueVector& samples) override;

private:
    const double* row_;
    std::size_t width_;
    std::uint64_t seed_;
};

// samples[k-1] = values[k-1], working values made from the callable's exact
// multiple-precision results (borrowed; at least 2m of them).
class ValueRowSampler final : public TransformSampler {
public:
    explicit ValueRowSampler(const ValueVector& values) : values_(values) {}
    bool sample(const WorkingValue& a, ValueVector& samples) override;

private:
    const ValueVector& values_;
};
