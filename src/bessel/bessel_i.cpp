// I_n(x) for n = 0, 1 (any n from x = 25 on), rounded to a double.
//
// Both methods deliver the scaled value R = e^-x I_n(x) at the working
// precision P, and a common last step multiplies by e^x:
//   x < 25:  the ascending series (power_series.cpp) at the raised series
//            precision Q, times e^-x, rounded to P bits. The series terms are
//            all positive, but e^-x I_n(x) ~ 1/sqrt(2 pi x) is about e^x
//            times smaller than the largest of them: Q carries x log2(e)
//            extra bits for that.
//   x >= 25 (and NaN): the large-argument expansion (large_argument.cpp),
//            sum / sqrt(2 pi x) at P bits, with 2 pi taken as the double
//            6.283185307179586.
// The choice is made on x rounded to P bits, so it agrees with the value the
// computation then uses.

#include "bessel/bessel_i.hpp"

#include "limb/exponential.hpp"
#include "bessel/large_argument.hpp"
#include "bessel/method_choice.hpp"
#include "bessel/power_series.hpp"
#include "precision/precision_rules.hpp"
#include "precision/working_value.hpp"

namespace {

constexpr double two_pi_double = 6.283185307179586;

// Values alive at once, at the larger precision of each path (see the steps).
constexpr std::uint64_t series_path_values = 8;     // X, XQ, q, sum, term, quotient, h, R
constexpr std::uint64_t expansion_path_values = 9;  // X, 1/X, sum, term, next, factor, prev, w, R

// e^-x I_n(x) at `bits` bits, from the series at `series` bits.
WorkingValue scaled_by_series(std::uint32_t n, const WorkingValue& x, Bits series, Bits bits) {
    WorkingValue xq = copy_at(series, x);  // exact: series > bits
    WorkingValue s = n == 0 ? bessel_i0_series(xq, series) : bessel_i1_series(xq, series);
    WorkingValue e(series);
    neg(e, xq);
    exponential(e, e);
    mul(e, s, e);
    return copy_at(bits, e);
}

// e^-x I_n(x) at `bits` bits, from the large-argument expansion.
WorkingValue scaled_by_expansion(std::uint32_t n, const WorkingValue& x, Bits bits) {
    WorkingValue sum = large_argument_sum(x, bits, four_n_squared(n), Expansion::first_kind);
    WorkingValue w(bits);
    mul_d(w, x, two_pi_double);
    sqrt(w, w);
    div(sum, sum, w);
    return sum;
}

}  // namespace

double besseli_rust(std::uint32_t n, double x, std::uint32_t digits) {
    free_mpfr_caches_at_thread_exit();
    const Bits bits = digits_to_bits(digits);
    const Method method = choose_method(n, x, bits, {series_path_values, expansion_path_values},
                                        "besseli_rust at this precision");
    WorkingValue big_x(bits);
    set_d(big_x, x);
    WorkingValue scaled = method.series ? scaled_by_series(n, big_x, method.series_bits, bits)
                                       : scaled_by_expansion(n, big_x, bits);
    exponential(big_x, big_x);
    mul(scaled, scaled, big_x);
    return to_double(scaled);
}
