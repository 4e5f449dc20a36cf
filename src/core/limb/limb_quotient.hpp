#pragma once
// Two more correctly rounded operations of limb_float, for the GWR core: an
// integer divided by a value (the rho algorithm's k / d), and a product
// rounded to a shorter precision (a Gaver functional handed to the rho
// algorithm, which works with fewer bits). No Python header.

#include <gmp.h>

#include <array>
#include <bit>

#include "core/limb/limb_float.hpp"

namespace limb_float {

// u / d for an integer 0 < u < 2^63 and a regular d, rounded to nearest at f.
//
// With D the significand of d as an integer (top bit set, N limbs) and d =
// D 2^(e - 64N), the quotient is u 2^(64N - e) / D. The integer quotient
// Q = floor(u 2^(128N) / D) lies in (u 2^(64N), u 2^(64N+1)], so it has
// 64N + 1 to 64N + 64 bits: more than the p + 1 that rounding needs, with the
// remainder deciding the sticky bit. GMP's schoolbook division of 2N + 1 by N
// limbs finds Q and the remainder exactly, and allocates nothing at these sizes.
//
// One and two limbs, the rho algorithm's usual sizes, take shorter roads to
// the same exact quotient: two hardware divisions, or GMP's two-limb division
// without the general function's dispatch and copies.
template <int N>
inline Value<N> divide_into(Limb u, const Value<N>& d, const Format& f) {
    std::array<Limb, N + 1> w{};  // Q, N + 1 significant limbs
    bool sticky = false;
    if constexpr (N == 1) {
        // u < 2^63 <= D: two steps of (remainder : 0) / D.
        Limb remainder = 0;
        w[1] = divide_limb(u, 0, d.m[0], remainder);
        w[0] = divide_limb(remainder, 0, d.m[0], remainder);
        sticky = remainder != 0;
    } else if constexpr (N == 2) {
        // {0, u} / D with three fraction limbs: floor(u 2^(64 + 192) / D).
        std::array<mp_limb_t, 2> numerator{0, u};
        std::array<mp_limb_t, 3> quotient{};
        mpn_divrem_2(quotient.data(), 3, numerator.data(), 2, d.m.data());
        for (int i = 0; i < 3; ++i) {
            w[i] = quotient[i];
        }
        sticky = (numerator[0] | numerator[1]) != 0;  // the remainder is left there
    } else {
        std::array<mp_limb_t, 2 * N + 1> numerator{};
        numerator[2 * N] = u;
        std::array<mp_limb_t, N + 2> quotient{};
        std::array<mp_limb_t, N> remainder{};
        mpn_tdiv_qr(quotient.data(), remainder.data(), 0, numerator.data(), 2 * N + 1,
                    d.m.data(), N);
        for (mp_limb_t r : remainder) {
            sticky = sticky || r != 0;
        }
        // Q = u 2^(128N) / D has N + 1 significant limbs (the top one of the N + 2 is 0).
        for (int i = 0; i <= N; ++i) {
            w[i] = quotient[i];
        }
    }
    const int s = std::countl_zero(w[N]);
    shift_left_bits<N + 1>(w, s);
    // q = Q 2^(-64N - e) = (w / 2^(64(N+1))) 2^(64 - e - s)
    return round_nearest<N, N + 1>(w, sticky, limb_bits - d.e - s, d.negative, f);
}

// a * b, both regular, rounded to nearest at the format f of M < 2N limbs.
template <int M, int N>
inline Value<M> mul_into(const Value<N>& a, const Value<N>& b, const Format& f) {
    static_assert(M < 2 * N, "the product must keep a limb below the kept ones");
    int s = 0;
    const std::array<Limb, 2 * N> w = significand_product(a, b, s);
    return round_nearest<M, 2 * N>(w, false, a.e + b.e - s, a.negative != b.negative, f);
}

}  // namespace limb_float
