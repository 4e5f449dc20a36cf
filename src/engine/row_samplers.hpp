#pragma once
// Samples handed in ready-made, by a Python callable that was called with the
// points k ln 2 / t before the GWR arithmetic started. No Python header.

#include <cstdint>

#include "gwr/transform_sampler.hpp"

// samples[k-1] = row[k-1]: one point's doubles, F(k ln2 / t) for k = 1 ... 2m.
// With a nonzero `seed`, each sample is moved by one unit of its last place,
// up or down by a pseudo-random sign fixed by the seed and k: the inversion of
// such samples differs from the plain one by about as much as the doubles'
// own rounding costs, which is how that cost is estimated.
class DoubleRowSampler final : public TransformSampler {
public:
    DoubleRowSampler(const double* row, std::uint64_t seed) : row_(row), seed_(seed) {}
    bool sample(const WorkingValue& a, ValueVector& samples) override;

private:
    const double* row_;
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
