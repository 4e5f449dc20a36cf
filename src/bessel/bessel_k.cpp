// K_n(x) for n = 0, 1 (any n from x = 25 on), rounded to a double.
//
// Both methods deliver the scaled value U = e^x K_n(x) at the working
// precision P, and a common last step multiplies by e^-x:
//   x < 25:  K_0 by its ascending series (k0_series.cpp) and K_1 from the
//            Wronskian I_0 K_1 + I_1 K_0 = 1/x (DLMF 10.28.2), both at the
//            raised series precision Q (the K_0 sum cancels about x log2(e)
//            leading bits), times e^x, rounded to P bits;
//   x >= 25 (and NaN): the large-argument expansion (large_argument.cpp)
//            times sqrt((pi/2) / x), with pi/2 taken as the double
//            1.5707963267948966.
// The choice is made on x rounded to P bits, so it agrees with the value the
// computation then uses.

#include "bessel/bessel_k.hpp"

#include "limb/exponential.hpp"
#include "bessel/k0_series.hpp"
#include "bessel/large_argument.hpp"
#include "bessel/method_choice.hpp"
#include "bessel/power_series.hpp"
#include "precision/precision_rules.hpp"
#include "precision/working_value.hpp"

namespace {

constexpr double half_pi_double = 1.5707963267948966;

// Values alive at once, at the larger precision of each path: X, XQ, I0, I1,
// K0's gamma, sum, q, term, H, 1/k, H·T and quotient, with room to spare.
constexpr std::uint64_t series_path_values = 16;
// X, 1/X, sum, term, next, factor, prev, h, U, E.
constexpr std::uint64_t expansion_path_values = 10;

// K_1 from the Wronskian: (1/x - I_1 K_0) / I_0.
WorkingValue k1_series(const WorkingValue& xq, Bits series) {
    K0Series k0_i0 = bessel_k0_i0_series(xq, series);
    WorkingValue& i0 = k0_i0.i0;
    WorkingValue& k0 = k0_i0.k0;
    WorkingValue i1 = bessel_i1_series(xq, series);
    WorkingValue u(series);
    ui_div(u, 1, xq);  // 1 is exact at every precision: one rounding of 1/x
    mul(k0, i1, k0);
    sub(u, u, k0);
    div(u, u, i0);
    return u;
}

// e^x K_n(x) at `bits` bits, from the series at `series` bits.
WorkingValue scaled_by_series(std::uint32_t n, const WorkingValue& x, Bits series, Bits bits) {
    WorkingValue xq = copy_at(series, x);  // exact: series > bits
    WorkingValue k = n == 0 ? bessel_k0_series(xq, series) : k1_series(xq, series);
    exponential(xq, xq);
    mul(k, k, xq);
    return copy_at(bits, k);
}

// e^x K_n(x) at `bits` bits, from the large-argument expansion.
WorkingValue scaled_by_expansion(std::uint32_t n, const WorkingValue& x, Bits bits) {
    WorkingValue sum = large_argument_sum(x, bits, four_n_squared(n), Expansion::second_kind);
    WorkingValue g(bits);
    set_d(g, half_pi_double);  // like every double set here: rounded when bits < 53
    div(g, g, x);
    sqrt(g, g);
    mul(sum, sum, g);
    return sum;
}

}  // namespace

double besselk_rust(std::uint32_t n, double x, std::uint32_t digits) {
    free_mpfr_caches_at_thread_exit();
    const Bits bits = digits_to_bits(digits);
    const Method method = choose_method(n, x, bits, {series_path_values, expansion_path_values},
                                        "besselk_rust at this precision");
    WorkingValue big_x(bits);
    set_d(big_x, x);
    WorkingValue scaled = method.series ? scaled_by_series(n, big_x, method.series_bits, bits)
                                       : scaled_by_expansion(n, big_x, bits);
    // e^-x from the double x: below 53 bits -x rounds to -X, as x rounds to X.
    set_d(big_x, -x);
    exponential(big_x, big_x);
    mul(scaled, scaled, big_x);
    return to_double(scaled);
}
