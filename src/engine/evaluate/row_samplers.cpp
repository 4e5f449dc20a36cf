#include "engine/evaluate/row_samplers.hpp"

#include <bit>
#include <cmath>
#include <limits>

namespace {

// A 64-bit mix (SplitMix64's finaliser): independent-looking signs from
// consecutive seeds and indices, the same on every machine and every run.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

}  // namespace

std::uint64_t nudge_seed(double t, const double* row, std::size_t width, std::uint64_t draw) {
    std::uint64_t seed = std::bit_cast<std::uint64_t>(t) * 0x9e3779b97f4a7c15ULL + draw;
    for (std::size_t k = 0; k < width; ++k) {
        seed = (seed ^ std::bit_cast<std::uint64_t>(row[k])) * 0xbf58476d1ce4e5b9ULL;
        seed ^= seed >> 31;
    }
    return seed | 1;
}

std::uint64_t nudge_units(const double* row, std::size_t width, std::size_t index) {
    const double y = row[index];
    const double unit = std::fabs(std::nextafter(y, std::numeric_limits<double>::infinity()) - y);
    double slope = 0;  // |dF/dk| at s = k a, from the neighbours' differences
    for (std::size_t other : {index - 1, index + 1}) {
        if (other < width) {  // index - 1 wraps past the row's start
            const double difference = std::fabs(row[other] - y);
            slope = std::isfinite(difference) ? std::max(slope, difference) : slope;
        }
    }
    // s F'(s) = k dF/dk; k = index + 1.
    const double units = 1 + 2 * static_cast<double>(index + 1) * slope * 0x1p-53 / unit;
    return units < most_nudge_units ? static_cast<std::uint64_t>(units) : most_nudge_units;
}

double nudged_sample(double y, std::uint64_t seed, std::size_t index, std::uint64_t units) {
    const bool up = (mix(seed * 1315423911ULL + index) & 1) != 0;
    const double next = std::nextafter(y, up ? std::numeric_limits<double>::infinity()
                                             : -std::numeric_limits<double>::infinity());
    // units times the step is exact (a power of two times a small integer).
    return y + static_cast<double>(units) * (next - y);
}

bool DoubleRowSampler::sample(const WorkingValue&, ValueVector& samples) {
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const double y = row_[k];
        set_d(samples[k], seed_ == 0 || !std::isfinite(y)
                              ? y
                              : nudged_sample(y, seed_, k, nudge_units(row_, width_, k)));
    }
    return true;
}

bool ValueRowSampler::sample(const WorkingValue&, ValueVector& samples) {
    for (std::size_t k = 0; k < samples.size(); ++k) {
        set(samples[k], values_[k]);
    }
    return true;
}
