#include "core/precision/precision_rules.hpp"

#include <cmath>

#include "core/failure/internal_failure.hpp"

std::uint64_t digits_to_raw_bits(std::uint32_t digits) {
    // The product is one rounding in double; its ceiling is below 1.5e10.
    return static_cast<std::uint64_t>(std::ceil(static_cast<double>(digits) * bits_per_digit));
}

Bits checked_bits(std::uint64_t bits) {
    if (bits < 1 || bits > max_precision_bits) {
        internal_failure("precision out of range");
    }
    return static_cast<Bits>(bits);
}

Bits digits_to_bits(std::uint32_t digits) {
    return checked_bits(digits_to_raw_bits(digits) + guard_bits);
}

std::uint32_t gwr_default_digits(std::uint64_t m) {
    // std::round, not std::nearbyint: halves go away from zero (m = 5: 10.5 -> 11).
    double digits = std::round(static_cast<double>(m) * gwr_digits_per_term);
    if (digits >= 4294967295.0) {
        return 4294967295u;
    }
    return static_cast<std::uint32_t>(digits);
}
