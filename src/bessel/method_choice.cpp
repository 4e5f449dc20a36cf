#include "bessel/method_choice.hpp"

#include <cmath>

#include "precision/precision_rules.hpp"

namespace {

constexpr double log2_e = 1.4426950408889634;
constexpr std::uint64_t series_extra_bits = 20;
// From 53 bits on, setting a double is exact and reading it back gives it.
constexpr Bits double_exact_bits = 53;

}  // namespace

double rounded_argument(double x, Bits bits) {
    if (bits >= double_exact_bits) {
        return x;
    }
    WorkingValue rounded(bits);
    set_d(rounded, x);
    return to_double(rounded);
}

Bits series_bits(Bits bits, double xd) {
    // ceil of the double product; <= 0 (including -0.0 and -inf) gives 0,
    // and below the threshold the product stays under 37.
    double extra = std::ceil(xd * log2_e);
    std::uint64_t argument_bits = extra > 0.0 ? static_cast<std::uint64_t>(extra) : 0;
    return checked_bits(std::uint64_t{bits} + series_extra_bits + argument_bits);
}
