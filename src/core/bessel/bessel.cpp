// I_n(x) and K_n(x) for n = 0, 1 (any n from x = 25 on), rounded to a double.
//
// Both methods deliver a scaled value at the working precision P, e^-x I_n(x)
// or e^x K_n(x), and a common last step multiplies by e^x or e^-x:
//   x < 25:  the ascending series at the raised series precision Q
//            (method_choice.cpp): I_0 and I_1 by their own series
//            (power_series.cpp), K_0 by its series (k0_series.cpp) and K_1
//            from the Wronskian, then times e^-x (I) or e^x (K), rounded to
//            P bits. The I terms are all positive, but e^-x I_n(x) ~
//            1/sqrt(2 pi x) is about e^x times smaller than the largest of
//            them, and the K_0 sum cancels: Q carries x log2(e) extra bits.
//   x >= 25 (and NaN): the large-argument expansion (large_argument.cpp) at
//            P bits, divided by sqrt(2 pi x) (I) or times sqrt((pi/2) / x)
//            (K), with 2 pi and pi/2 taken as the doubles 6.283185307179586
//            and 1.5707963267948966.
// The choice is made on x rounded to P bits, so it agrees with the value the
// computation then uses.

#include "core/bessel/bessel.hpp"

#include <utility>

#include "core/bessel/k0_series.hpp"
#include "core/bessel/large_argument.hpp"
#include "core/bessel/method_choice.hpp"
#include "core/bessel/power_series.hpp"
#include "core/limb/exponential.hpp"

namespace {

constexpr double two_pi_double = 6.283185307179586;
constexpr double half_pi_double = 1.5707963267948966;

// Values alive at once, at the larger precision of each path, for the memory
// check. I: X, XQ, q, sum, term, quotient, h, R on the series path; X, 1/X,
// sum, term, next, factor, prev, w, R on the expansion path. K: X, XQ, I0,
// I1, K0's gamma, sum, q, term, H, 1/k, H·T and quotient, with room to
// spare; X, 1/X, sum, term, next, factor, prev, h, U, E.
constexpr PathValues first_kind_values{8, 9};
constexpr PathValues second_kind_values{16, 10};

// I_0, I_1, K_0 or K_1 of x by the ascending series at `bits` bits.
WorkingValue series_value(BesselKind kind, std::uint32_t n, const WorkingValue& x, Bits bits) {
    if (kind == BesselKind::first) {
        return n == 0 ? bessel_i0_series(x, bits, tolerance_rule)
                      : bessel_i1_series(x, bits, tolerance_rule);
    }
    K0Series k0_i0 = bessel_k0_i0_series(x, bits, tolerance_rule, EulerConstant::fifty_places);
    if (n == 0) {
        return std::move(k0_i0.k0);
    }
    return wronskian_k1(x, k0_i0, bessel_i1_series(x, bits, tolerance_rule), bits);
}

// e^-x I_n(x) or e^x K_n(x) at `bits` bits, from the series at `series` bits.
WorkingValue scaled_by_series(BesselKind kind, std::uint32_t n, const WorkingValue& x,
                              Bits series, Bits bits) {
    WorkingValue xq = copy_at(series, x);  // exact: series > bits
    WorkingValue value = series_value(kind, n, xq, series);
    if (kind == BesselKind::first) {
        neg(xq, xq);
    }
    exponential(xq, xq);
    mul(value, value, xq);
    return copy_at(bits, value);
}

// e^-x I_n(x) or e^x K_n(x) at `bits` bits, from the large-argument expansion.
WorkingValue scaled_by_expansion(BesselKind kind, std::uint32_t n, const WorkingValue& x,
                                 Bits bits) {
    WorkingValue sum = large_argument_sum(x, bits, four_n_squared(n), kind, last_expansion_index);
    WorkingValue w(bits);
    if (kind == BesselKind::first) {
        mul_d(w, x, two_pi_double);
        sqrt(w, w);
        div(sum, sum, w);
    } else {
        set_d(w, half_pi_double);  // like every double set here: rounded when bits < 53
        div(w, w, x);
        sqrt(w, w);
        mul(sum, sum, w);
    }
    return sum;
}

}  // namespace

double bessel_value(BesselKind kind, std::uint32_t n, double x, Bits bits, const char* what) {
    free_mpfr_caches_at_thread_exit();
    const PathValues values = kind == BesselKind::first ? first_kind_values : second_kind_values;
    const Method method = choose_method(n, x, bits, values, what);
    WorkingValue big_x(bits);
    set_d(big_x, x);
    WorkingValue scaled = method.series ? scaled_by_series(kind, n, big_x, method.series_bits, bits)
                                       : scaled_by_expansion(kind, n, big_x, bits);
    // e^-x for K: -X is also -x rounded to P bits, as rounding to nearest is symmetric.
    if (kind == BesselKind::second) {
        neg(big_x, big_x);
    }
    exponential(big_x, big_x);
    mul(scaled, scaled, big_x);
    return to_double(scaled);
}
