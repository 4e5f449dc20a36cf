#include "engine/row_samplers.hpp"

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

double nudged(double y, std::uint64_t seed, std::size_t k) {
    const bool up = (mix(seed * 1315423911ULL + k) & 1) != 0;
    return std::nextafter(y, up ? std::numeric_limits<double>::infinity()
                                : -std::numeric_limits<double>::infinity());
}

}  // namespace

bool DoubleRowSampler::sample(const WorkingValue&, ValueVector& samples) {
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const double y = row_[k];
        set_d(samples[k], seed_ == 0 || !std::isfinite(y) ? y : nudged(y, seed_, k));
    }
    return true;
}

bool ValueRowSampler::sample(const WorkingValue&, ValueVector& samples) {
    for (std::size_t k = 0; k < samples.size(); ++k) {
        set(samples[k], values_[k]);
    }
    return true;
}
