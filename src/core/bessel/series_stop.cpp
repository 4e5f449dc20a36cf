#include "core/bessel/series_stop.hpp"

namespace {

// 2^-167 < 1e-50 < 2^-166 (log2(1e-50) = -166.096).
//
// With 2^(et-1) <= |term| < 2^et and 2^(es-1) <= |sum| < 2^es, the exact
// quotient lies in (2^(et-es-1), 2^(et-es+1)). Rounding to nearest, first to
// the working precision and then to a double, is monotone and keeps powers of
// two (or ends in 0 or infinity beyond the exponent range), so the double lies
// in [2^(et-es-1), 2^(et-es+1)] as well. Hence et - es <= -168 gives a double
// <= 2^-167 < 1e-50 (stop) and et - es >= -165 gives one >= 2^-166 > 1e-50
// (go on): the same decisions the division would give. Only et - es in
// {-167, -166}, or a term or sum that is zero, infinite or NaN, needs the
// real quotient. Exponents lie within +-(2^62 - 1) at most, so the difference fits.
constexpr long surely_negligible_exponent_gap = -168;
constexpr long surely_significant_exponent_gap = -165;

constexpr Bits every_pass_from_bits = 1u << 14;
constexpr std::uint64_t small_precision_poll_mask = 63;  // every 64 passes

}  // namespace

GapVerdict judge_exponent_gap(long term_exponent, long sum_exponent) {
    long gap = term_exponent - sum_exponent;
    if (gap <= surely_negligible_exponent_gap) {
        return GapVerdict::negligible;
    }
    if (gap >= surely_significant_exponent_gap) {
        return GapVerdict::significant;
    }
    return GapVerdict::undecided;
}

LoopPoll::LoopPoll(Bits bits)
    : mask_(bits >= every_pass_from_bits ? 0 : small_precision_poll_mask) {}
