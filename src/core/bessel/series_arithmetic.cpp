#include "core/bessel/series_arithmetic.hpp"

#include <cmath>

namespace {

// From 53 bits on a double is exact at the working precision, so multiplying
// by the value set from f is one rounding of the exact product: what
// mpfr_mul_si gives for the same integer. Below 53 bits f itself is first
// rounded to the working precision, and mpfr_mul_d or mpfr_mul_si would skip
// that rounding: there f is set first, rounding it, and then multiplied.
constexpr Bits double_exact_bits = 53;
constexpr double long_range_limit = 0x1p63;

// Every integer below 2^64 is exact from 64 bits on.
constexpr Bits exact_index_bits = 64;

}  // namespace

MpfrArithmetic::Divisor MpfrArithmetic::index_divisor(std::uint64_t k) const {
    // 1 / (k set at `bits` bits) is the quotient of 1 by that integer, which
    // div_ui takes exactly: one rounding either way.
    return bits_ >= exact_index_bits ? k : limb_float::round_integer(k, static_cast<int>(bits_));
}

void MpfrArithmetic::mul_factor(Value& d, const Value& x, double f) {
    if (bits_ >= double_exact_bits && std::fabs(f) < long_range_limit) {
        mul_si(d, x, static_cast<long>(f));
        return;
    }
    if (!scratch_) {
        scratch_.emplace(bits_);
    }
    set_d(*scratch_, f);
    ::mul(d, x, *scratch_);
}

double MpfrArithmetic::quotient_magnitude(const Value& x, const Value& y) {
    if (!scratch_) {
        scratch_.emplace(bits_);
    }
    div(*scratch_, x, y);
    return std::fabs(to_double(*scratch_));
}
