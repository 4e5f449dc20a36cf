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

double nudged_sample(double y, std::uint64_t seed, std::size_t index) {
    const bool up = (mix(seed * 1315423911ULL + index) & 1) != 0;
    return std::nextafter(y, up ? std::numeric_limits<double>::infinity()
                                : -std::numeric_limits<double>::infinity());
}

bool DoubleRowSampler::sample(const WorkingValue&, ValueVector& samples) {
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const double y = row_[k];
        set_d(samples[k], seed_ == 0 || !std::isfinite(y) ? y : nudged_sample(y, seed_, k));
    }
    return true;
}

bool ValueRowSampler::sample(const WorkingValue&, ValueVector& samples) {
    for (std::size_t k = 0; k < samples.size(); ++k) {
        set(samples[k], values_[k]);
    }
    return true;
}
