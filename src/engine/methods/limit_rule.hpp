#pragma once
// The rule that reads f(0+) = lim s F(s) off s F(s) at geometrically growing
// s, shared by expressions (initial_value.cpp) and callables (through
// _engine.limit_kind), so both answer alike. No Python header.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

enum class LimitKind : std::uint8_t {
    settled,    // the last value, within the spread of the last two
    unbounded,  // +-inf: |s F(s)| grows at every step with a steady sign
    unsettled,  // neither: NaN
};

// magnitudes: |s F(s)| at each s, in order (at least two); spread: |last -
// the one before|; same_sign: whether the last two have one sign.
inline LimitKind classify_limit(std::span<const double> magnitudes, double spread,
                                bool same_sign, std::uint32_t digits) {
    // The last two agree within 10^(-digits/2) of the values' size: terms that
    // decay like 1/s or 1/sqrt(s) have fallen that far by the last points,
    // while growth like log s does not settle so.
    const double scale = *std::max_element(magnitudes.begin(), magnitudes.end());
    if (spread <= std::pow(10.0, -0.5 * static_cast<double>(digits)) * scale) {
        return LimitKind::settled;
    }
    // A step counts as growth when |s F(s)| rises by half at least: log s
    // rises by a factor 2 per step on these points, powers of s far more.
    constexpr double growth_factor = 1.5;
    for (std::size_t j = 1; j < magnitudes.size(); ++j) {
        if (!(magnitudes[j] >= growth_factor * magnitudes[j - 1])) {
            return LimitKind::unsettled;
        }
    }
    return same_sign ? LimitKind::unbounded : LimitKind::unsettled;
}
