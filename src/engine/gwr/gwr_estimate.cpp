// The rho algorithm's even columns give a sequence of estimates e_0 (the
// result), e_1, e_2 of f(t), each from two more Gaver functionals than the
// next. Their spread d1 = |e_0 - e_1| follows the error of e_1 and usually
// overstates that of e_0; but now and then two successive estimates agree by
// chance while both are still off, and d1 alone then understates the error
// by a decade or more. The earlier spread d2 = |e_1 - e_2| catches those
// cases: convergence rarely improves by more than a factor 30 per column.
// Hence 12 max(d1, d2 / 30): on the known transform pairs, at many m and t,
// 3 max(...) covered the true error at 96-97 % of the points and 5 max(...)
// at 98 %; on the broad set of tests/trust_pairs.py at 30 digits, 5 max(...)
// still fell short by up to 2.1 times at 3 of 143 points, each claiming the
// tolerance: a value off beyond its estimate without a warning. 12 covers
// them with a margin, and the median overstatement stays well inside the 100
// that keeps the estimate useful (bench/bench_invert.py measures both).
//
// All three estimates end at the same functional G_m, and one kind of term
// of f biases them alike: a fast wave that has faded by t (a pole pair far
// left and well off the real axis, such as 10^4/((s + 77)^2 + 64^2) beside
// 1/sqrt(s)). Its share of each functional is tiny, but rho cannot
// accelerate it, and e_0, e_1, e_2 settled within 6e-17 of each other on a
// value 2.2e-15 off at 15 digits. The estimates of the sequences one and two
// shorter, G_1 ... G_(m-1) and G_1 ... G_(m-2), read off the same table, do
// not share that run: the first was 2.3e-14 away. Three lengths in a row can
// still stand on one plateau (m = 46 to 48 at 30 digits, 1.3e-30 off, while
// m - 2 was 7e-30 away), hence the second, allowed five times the
// convergence. The rule max(12 max(d1, d2 / 30), 2 s1, s2 / 5), on 52
// transforms at 25 times in [1e-3, 1e3] (smooth, branch points, and waves
// at 92-170 degrees, radii 0.01-100, beside 1/sqrt(s) and e^(-sqrt(s))/s)
// at every term count auto reaches, with exact samples, left 13 of 130
// silent points at 15 digits and 16 of 200 at 30, none of them within a
// hundredth of the tolerance at 30; the first level newly missed the
// tolerance at 9 of 4280 and 14 of 4240 points, and the median
// overstatement went from 44 to 54 and from 22 to 46.
//
// A point reaches a later level only where the first missed the tolerance:
// where convergence was slow or irregular, and the plateaus of three lengths
// come more often. There the distance to the sequence two shorter counts in
// full. The slab's tanh(sqrt(s))/sqrt(s) at t = 2.2753 stood on one at m = 64
// to 66 (30 digits, third level): 3.65e-36 off, claimed 2.0e-36 from 0.2 s2
// with s2 = 5.1e-36; so did 1/(s cosh sqrt(s)) at t = 0.1209 (20 digits,
// m = 44, 1.4 times short) and a wave beside 1/sqrt(s) at m = 93 (1.5 times).
// Counting s2 in full at every level covers them too, but on 13 smooth
// transforms at 25 times in [1e-3, 1e3] it lifts the median overstatement
// from 62 to 98 at 15 digits and from 60 to 124 at 30; at the later levels
// alone it goes to 65 and 69, and none of those points is left silent.
// Plateaus of five lengths come too: exp(-sqrt(s))/(sqrt(s)(sqrt(s) + 1)) at
// t = 0.00329 (30 digits, m = 93) stood within 2.3e-35 of its error from m =
// 91 to 95, and was 4.3 times short even of s2 in full; s3, the distance to
// the sequence three shorter, was 3e-34. A fifth of it counts at the later
// levels, as a fifth of s2 does at the first.

#include "engine/gwr/gwr_estimate.hpp"

#include "engine/evaluate/evaluation_constants.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr double spread_safety = 12.0;
constexpr double column_improvement = 30.0;
// What the distances to the estimates one and two functionals shorter are
// multiplied by (above).
constexpr double shorter_safety[kept_shorter_estimates] = {2.0, 0.2, 0.0};
constexpr double later_level_shorter_safety[kept_shorter_estimates] = {2.0, 1.0, 0.2};
using evaluation::log10_2;
using evaluation::noise_magnification_digits_per_term;
// How much larger than the value a stationary table's samples may be and
// still be trusted: a F(k a) of 1/s is the value itself at k = 1.
constexpr double stationary_margin_bits = 8;

}  // namespace

double gwr_spread_error(double size, const double* spreads, std::size_t count, bool stationary,
                        Bits rho_bits, const double* shorter, bool later_level) {
    if (stationary) {
        // Two functionals or estimates agreed to the last bit: f is reached to
        // the working precision (a constant f gives equal Gaver functionals),
        // up to the roundings of the sums, which a few hundred units of the
        // last place bound.
        return std::ldexp(size, stationary_error_bits - static_cast<int>(rho_bits));
    }
    // With fewer than three estimates there is nothing to compare: the
    // estimate is the value's own size.
    const double d1 = count > 0 ? spreads[0] : size;
    const double d2 = count > 1 ? spreads[1] : size;
    const double* safety = later_level ? later_level_shorter_safety : shorter_safety;
    return std::max({spread_safety * std::max(d1, d2 / column_improvement),
                     safety[0] * shorter[0], safety[1] * shorter[1], safety[2] * shorter[2]});
}

double log10_of_sum(double a, double b) {
    const double high = std::max(a, b);
    const double low = std::min(a, b);
    return std::isinf(low) ? high : high + std::log10(1 + std::pow(10.0, low - high));
}

// The samples' own rounding, magnified by the Gaver differences: 2^-bits of
// the largest a F(k a), times 10^(1.4 m). The precision of 2.4 m digits
// keeps this a decade under the truncation while f(t) is about as large as
// the samples; a term of F whose inverse sits at t = 0 (a constant:
// 10^50 + 1/(s+1)) makes them larger than f by its size, the differences
// cancel it, and what carries f is lost in its rounding. Arb's balls cannot
// see that (each sample is right to its precision), so it is counted here:
// the estimate then covers the loss, and the point takes more terms (more
// precision) or is reported as missing the tolerance.
void add_cancellation_noise(PointResult& result, std::uint64_t m, Bits bits,
                            long largest_exponent, double t, bool stationary) {
    if (largest_exponent <= all_samples_zero || largest_exponent >= a_sample_not_finite) {
        return;  // all zero (nothing to lose), or not finite (the value says so)
    }
    const double samples_log2 = static_cast<double>(largest_exponent) + std::log2(std::log(2.0) / t);
    // A table that became stationary with samples no larger than the value
    // (F = 2/s: every functional exactly 2) shows that no rounding reached
    // it. Far larger samples may have cancelled exactly (10^50 + 1/(s+1):
    // every functional 0) or left noise that stood still by chance (10^100).
    if (stationary && samples_log2 <= std::log2(std::fabs(result.value)) + stationary_margin_bits) {
        return;
    }
    const double noise_log2 = samples_log2 - static_cast<double>(bits) +
                              noise_magnification_digits_per_term * static_cast<double>(m) *
                                  std::log2(10.0);
    const int exponent = static_cast<int>(std::ceil(std::clamp(noise_log2, -1e6, 1e6)));
    result.error += std::ldexp(1.0, exponent);
    if (!std::isnan(result.error_log10)) {
        result.error_log10 = log10_of_sum(result.error_log10, exponent * log10_2);
    }
}

// Where a sample of F could not be made exact to the working precision, the
// error of that sample, magnified like the rounding the precision is sized
// for, is added to the estimate: about 10^(1.4 m) for m terms at 2.4 m
// digits. Relative to the value while every sample has some right bits; a
// sample with none has only its radius to go by, absolute: its midpoint may
// be exactly 0 ((10^300 + 1/(s+1)) - 10^300, the sum rounded to 10^300 at
// the capped precision), and an error relative to that would be 0 beside a
// value of 0 where f is e^-t. f = a sum_k w_k F(k a), a = ln2 / t.
void add_sample_shortfall_noise(PointResult& result, std::uint64_t m, Bits bits,
                                long worst_accuracy, long blind_radius, double t) {
    const double magnification_log2 =
        noise_magnification_digits_per_term * static_cast<double>(m) * std::log2(10.0);
    // Tested before any subtraction: a ball that says nothing reports
    // -ARF_PREC_EXACT bits, and bits minus that overflows a long.
    if (worst_accuracy <= 0) {
        const double noise_log2 = static_cast<double>(blind_radius) +
                                  std::log2(std::log(2.0) / t) + magnification_log2;
        const int exponent = static_cast<int>(std::ceil(std::clamp(noise_log2, -1e6, 1e6)));
        result.error += std::ldexp(1.0, exponent);
        if (!std::isnan(result.error_log10)) {
            result.error_log10 = log10_of_sum(result.error_log10, exponent * log10_2);
        }
        return;
    }
    const long shortfall = static_cast<long>(bits) - worst_accuracy;
    if (shortfall <= 0) {
        return;
    }
    // |value| 2^(shortfall - bits) 10^(1.4 m), in the exponent: the factors
    // alone would leave the double range at large m.
    const double noise_log2 =
        static_cast<double>(shortfall) - static_cast<double>(bits) + magnification_log2;
    const int noise_exponent = static_cast<int>(std::ceil(std::min(noise_log2, 4096.0)));
    result.error += std::ldexp(std::fabs(result.value), noise_exponent);
    if (!std::isnan(result.error_log10)) {
        // The carried estimate takes the noise too.
        result.error_log10 = log10_of_sum(result.error_log10, std::log10(std::fabs(result.value)) +
                                                               noise_exponent * log10_2);
    }
}
