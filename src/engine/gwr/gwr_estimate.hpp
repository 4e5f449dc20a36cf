#pragma once
// The error estimate of a GWR result, from how its rho estimates settle.
// No Python header.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "engine/evaluate/evaluation_constants.hpp"
#include "engine/methods/point_result.hpp"
#include "core/gwr/wynn_rho.hpp"

// The estimated absolute error of an estimate of size |value| from the
// spreads between the latest rho estimates (spreads[0] = |e0 - e1|,
// spreads[1] = |e1 - e2|, `count` of them known) and from e0 to the
// estimates of the sequences one to three shorter (shorter[0] to shorter[2],
// 0 where there is none), or from a sequence that became stationary at
// rho_bits bits. `later_level`: the point missed the tolerance at an earlier
// level of terms, and the shorter sequences are read more warily.
double gwr_spread_error(double size, const double* spreads, std::size_t count, bool stationary,
                        Bits rho_bits, const double* shorter, bool later_level);

// log10(10^a + 10^b): two estimates added where they are carried as logarithms.
double log10_of_sum(double a, double b);

// A largest exponent at or beyond these says that every sample was 0, or that
// one was not finite (Arb's bound gives -+ARF_PREC_EXACT, the largest long).
inline constexpr long all_samples_zero = -(1L << 62);
inline constexpr long a_sample_not_finite = 1L << 62;

// Adds to `result` the samples' own rounding as the Gaver differences of m
// terms magnify it (samples of `bits` bits, the largest below
// 2^largest_exponent, at s = k ln2 / t; `stationary`: the rho table became
// stationary). See gwr_estimate.cpp.
void add_cancellation_noise(PointResult& result, std::uint64_t m, Bits bits,
                            long largest_exponent, double t, bool stationary);

// Adds to `result` the error of samples that could not be made exact to the
// working precision (the raises ran out): `worst_accuracy`, the fewest right
// bits of any sample, below `bits`; `blind_radius`, e with rad < 2^e for the
// samples with no right bit (ExpressionSampler::widest_blind_radius), at
// s = k ln2 / t. See gwr_estimate.cpp.
void add_sample_shortfall_noise(PointResult& result, std::uint64_t m, Bits bits,
                                long worst_accuracy, long blind_radius, double t);

// Two functionals or estimates that agreed to the last bit leave an error of a
// few hundred units of the rho precision's last place: 2^(8 - rho_bits) |value|.
inline constexpr int stationary_error_bits = 8;

// The same from a rho table of any arithmetic; to_double(v) rounds a value
// of it to a double, and the spreads are formed at the table's precision:
// in doubles they would vanish below the value's last bit, long before the
// digits asked for.
template <class A, class ToDouble>
double gwr_spread_error(RhoTable<A>& rho, Bits rho_bits, bool later_level, ToDouble to_double) {
    double spreads[2] = {0, 0};
    std::size_t count = 0;
    for (; count + 1 < rho.estimate_count && count < 2; ++count) {
        rho.a.sub(rho.difference, rho.estimates[count], rho.estimates[count + 1]);
        spreads[count] = std::fabs(to_double(rho.difference));
    }
    double shorter[kept_shorter_estimates] = {};
    for (std::size_t i = 0; i < rho.shorter_count; ++i) {
        rho.a.sub(rho.difference, rho.estimates[0], rho.shorter[i]);
        shorter[i] = std::fabs(to_double(rho.difference));
    }
    return gwr_spread_error(std::fabs(to_double(rho.latest_estimate())), spreads, count,
                            rho.stationary, rho_bits, shorter, later_level);
}

// log10 of the estimate above, for where it falls below the smallest normal
// double and the double one loses its digits or becomes 0. to_parts(v, e)
// gives v as d 2^e (0.5 <= |d| < 1; d = 0 for zero). The estimate is a
// multiple of the value's size or of the spreads, so they are scaled by one
// power of two into the double range, estimated there by the same rule, and
// the power is added back in the logarithm.
template <class A, class ToParts>
double gwr_spread_error_log10(RhoTable<A>& rho, Bits rho_bits, bool later_level, ToParts to_parts) {
    using evaluation::log10_2;
    long size_exponent = 0;
    const double size = std::fabs(to_parts(rho.latest_estimate(), size_exponent));
    double spreads[2] = {0, 0};
    long exponents[2] = {0, 0};
    std::size_t count = 0;
    for (; count + 1 < rho.estimate_count && count < 2; ++count) {
        rho.a.sub(rho.difference, rho.estimates[count], rho.estimates[count + 1]);
        spreads[count] = std::fabs(to_parts(rho.difference, exponents[count]));
    }
    double shorter[kept_shorter_estimates] = {};
    long shorter_exponents[kept_shorter_estimates] = {};
    for (std::size_t i = 0; i < rho.shorter_count; ++i) {
        rho.a.sub(rho.difference, rho.estimates[0], rho.shorter[i]);
        shorter[i] = std::fabs(to_parts(rho.difference, shorter_exponents[i]));
    }
    // The scale of the largest part the rule reads: the size enters only with
    // fewer than two spreads (in its place), and a size far above tiny spreads
    // would scale them to 0.
    long common = count < 2 && size != 0 ? size_exponent : std::numeric_limits<long>::min();
    for (std::size_t k = 0; k < count; ++k) {
        if (spreads[k] != 0) {
            common = std::max(common, exponents[k]);
        }
    }
    for (std::size_t i = 0; i < rho.shorter_count; ++i) {
        if (shorter[i] != 0) {
            common = std::max(common, shorter_exponents[i]);
        }
    }
    if (rho.stationary) {
        return (std::log2(size) + static_cast<double>(size_exponent + stationary_error_bits) -
                static_cast<double>(rho_bits)) * log10_2;
    }
    if (common == std::numeric_limits<long>::min()) {
        return -std::numeric_limits<double>::infinity();  // all zero: exact
    }
    // Parts far below the largest round to 0 here; the rule takes the largest.
    for (std::size_t k = 0; k < count; ++k) {
        spreads[k] = std::ldexp(spreads[k], static_cast<int>(std::max(exponents[k] - common, -2000L)));
    }
    for (std::size_t i = 0; i < rho.shorter_count; ++i) {
        shorter[i] = std::ldexp(shorter[i],
                                static_cast<int>(std::max(shorter_exponents[i] - common, -2000L)));
    }
    const double scaled_size =
        std::ldexp(size, static_cast<int>(std::max(size_exponent - common, -2000L)));
    const double scaled =
        gwr_spread_error(scaled_size, spreads, count, false, rho_bits, shorter, later_level);
    return std::log10(scaled) + static_cast<double>(common) * log10_2;
}
