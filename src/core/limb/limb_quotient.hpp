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

namespace quotient_detail {

// (hi:lo) = a * b
[[gnu::always_inline]] inline void mul_wide(Limb a, Limb b, Limb& hi, Limb& lo) {
    const Wide t = Wide{a} * b;
    hi = static_cast<Limb>(t >> limb_bits);
    lo = static_cast<Limb>(t);
}

// The 3-by-2 inverse of (d1:d0), d1's top bit set: floor((2^192 - 1) /
// (d1 2^64 + d0)) - 2^64 (Moller & Granlund 2011, as GMP's invert_pi1).
[[gnu::always_inline]] inline Limb inverse_3by2(Limb d1, Limb d0) {
    Limb remainder = 0;
    // floor((2^128 - 1) / d1) - 2^64, the 2-by-1 inverse.
    Limb v = divide_limb(~d1, ~Limb{0}, d1, remainder);
    Limb p = d1 * v;
    p += d0;
    if (p < d0) {
        --v;
        const Limb mask = p >= d1 ? ~Limb{0} : 0;
        p -= d1;
        v += mask;
        p -= mask & d1;
    }
    Limb t1 = 0;
    Limb t0 = 0;
    mul_wide(d0, v, t1, t0);
    p += t1;
    if (p < t1) {
        --v;
        if (p >= d1 && (p > d1 || t0 >= d0)) {
            --v;
        }
    }
    return v;
}

// q = floor((n2:n1:n0) / (d1:d0)) and its remainder (r1:r0), for (n2:n1) <
// (d1:d0), from the inverse v (Moller & Granlund's 3-by-2 division).
[[gnu::always_inline]] inline Limb divide_3by2(Limb n2, Limb n1, Limb n0, Limb d1, Limb d0, Limb v,
                                               Limb& r1, Limb& r0) {
    Limb q = 0;
    Limb q0 = 0;
    mul_wide(n2, v, q, q0);
    // (q:q0) += (n2:n1)
    const Wide sum = ((Wide{q} << limb_bits) | q0) + ((Wide{n2} << limb_bits) | n1);
    q = static_cast<Limb>(sum >> limb_bits);
    q0 = static_cast<Limb>(sum);
    r1 = n1 - d1 * q;
    // (r1:r0) = (r1:n0) - (d1:d0) - d0 q
    Wide r = ((Wide{r1} << limb_bits) | n0) - ((Wide{d1} << limb_bits) | d0);
    r -= Wide{d0} * q;
    r1 = static_cast<Limb>(r >> limb_bits);
    r0 = static_cast<Limb>(r);
    ++q;
    const Limb mask = r1 >= q0 ? ~Limb{0} : 0;
    q += mask;
    r = ((Wide{r1} << limb_bits) | r0) + ((Wide{mask & d1} << limb_bits) | (mask & d0));
    r1 = static_cast<Limb>(r >> limb_bits);
    r0 = static_cast<Limb>(r);
    if (r1 >= d1) [[unlikely]] {
        if (r1 > d1 || r0 >= d0) {
            ++q;
            r = ((Wide{r1} << limb_bits) | r0) - ((Wide{d1} << limb_bits) | d0);
            r1 = static_cast<Limb>(r >> limb_bits);
            r0 = static_cast<Limb>(r);
        }
    }
    return q;
}

}  // namespace quotient_detail

// Q = floor(u 2^(128N) / D) for an integer 0 < u < 2^63 and a significand D of
// N >= 2 limbs (top bit set), into q (N + 1 limbs); whether the remainder is
// nonzero into `sticky`. Schoolbook division with a 3-by-2 inverse, as GMP's
// mpn_sbpi1_div_qr does it, inline: at the rho algorithm's few limbs GMP's
// dispatch, copies and separate inverse cost as much as the division itself.
// False (nothing usable) in the one case it leaves out: the remainder's top
// two limbs equal to D's (which makes a quotient limb of all ones).
template <int N>
[[gnu::always_inline]] inline bool integer_over_significand(Limb u, const std::array<Limb, N>& D,
                                                            std::array<Limb, N + 1>& q,
                                                            bool& sticky) {
    using quotient_detail::divide_3by2;
    constexpr int length = 2 * N + 1;
    constexpr int low = N - 2;  // the limbs of D under its top two
    // The numerator, u 2^(128N); its top N limbs are below D, so the quotient
    // has N + 1 limbs.
    std::array<Limb, length> num{};
    num[length - 1] = u;
    const Limb d1 = D[N - 1];
    const Limb d0 = D[N - 2];
    const Limb v = quotient_detail::inverse_3by2(d1, d0);
    // Step i divides the window num[i - 1 + ...]: its top limb is n1, then
    // num[i + N - 1] and num[i + N - 2]; the limbs under it are num[i ... i + N - 3].
    Limb n1 = num[length - 1];
#pragma GCC unroll 10
    for (int i = N; i >= 0; --i) {
        Limb* np = num.data() + i + low;  // np[1], np[0]: the window's next two limbs
        if (n1 == d1 && np[1] == d0) [[unlikely]] {
            return false;
        }
        Limb n0 = 0;
        Limb qd = divide_3by2(n1, np[1], np[0], d1, d0, v, n1, n0);
        // The limbs under the top two: num[i ... i + low - 1] -= qd D[0 ... low - 1].
        Limb cy = 0;
#pragma GCC unroll 8
        for (int j = 0; j < low; ++j) {
            const Wide p = Wide{qd} * D[j] + cy;
            const Limb lo = static_cast<Limb>(p);
            cy = static_cast<Limb>(p >> limb_bits) + (num[i + j] < lo ? 1 : 0);
            num[i + j] -= lo;
        }
        const Limb cy1 = n0 < cy ? 1 : 0;
        n0 -= cy;
        cy = n1 < cy1 ? 1 : 0;
        n1 -= cy1;
        np[0] = n0;
        if (cy != 0) [[unlikely]] {  // qd was one too large: add D back
            Limb c = 0;
#pragma GCC unroll 8
            for (int j = 0; j <= low; ++j) {
                const Wide t = Wide{num[i + j]} + D[j] + c;
                num[i + j] = static_cast<Limb>(t);
                c = static_cast<Limb>(t >> limb_bits);
            }
            n1 += d1 + c;
            --qd;
        }
        q[i] = qd;
    }
    num[N - 1] = n1;
    Limb any = 0;
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) {
        any |= num[j];
    }
    sticky = any != 0;
    return true;
}

// u / d for an integer 0 < u < 2^63 and a regular d, rounded to nearest at f.
//
// With D the significand of d as an integer (top bit set, N limbs) and d =
// D 2^(e - 64N), the quotient is u 2^(64N - e) / D. The integer quotient
// Q = floor(u 2^(128N) / D) lies in (u 2^(64N), u 2^(64N+1)], so it has
// 64N + 1 to 64N + 64 bits: more than the p + 1 that rounding needs, with the
// remainder deciding the sticky bit. One limb takes two hardware divisions,
// two GMP's two-limb division; more, the inline schoolbook division above, or
// GMP's general one where that leaves a case out (it allocates nothing at
// these sizes).
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
        // {0, u} / D with three fraction limbs: floor(u 2^(64 + 192) / D), by
        // GMP's two-limb division, which at this size is as fast as inline.
        std::array<mp_limb_t, 2> numerator{0, u};
        std::array<mp_limb_t, 3> quotient{};
        mpn_divrem_2(quotient.data(), 3, numerator.data(), 2, d.m.data());
        for (int i = 0; i < 3; ++i) {
            w[i] = quotient[i];
        }
        sticky = (numerator[0] | numerator[1]) != 0;  // the remainder is left there
    } else if (!integer_over_significand<N>(u, d.m, w, sticky)) [[unlikely]] {
        std::array<mp_limb_t, 2 * N + 1> numerator{};
        numerator[2 * N] = u;
        std::array<mp_limb_t, N + 2> quotient{};
        std::array<mp_limb_t, N> remainder{};
        mpn_tdiv_qr(quotient.data(), remainder.data(), 0, numerator.data(), 2 * N + 1,
                    d.m.data(), N);
        sticky = false;
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
