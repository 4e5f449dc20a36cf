// e^x at the working and series precisions of ordinary calls (up to 448
// bits), faster than mpfr_exp there, with the same result.
//
// mpfr_exp returns the correctly rounded value: the p-bit number nearest to
// e^x, unique because e^x is never a midpoint between two p-bit numbers (it is
// transcendental for every rational x != 0). So any method that finds that
// same number gives the same bits. Here: an approximation b of e^x with a
// proven error bound, computed in fixed point with at least 64 bits more
// than p; then MPFR's own mpfr_can_round tells whether every number within
// that bound of b rounds to the same p-bit value. If it does, that value is
// the correctly rounded e^x; if not (a chance of about 2^-40) or if x falls
// outside the range served, mpfr_exp computes it.
//
// The approximation (Brent's method, as in mpfr_exp_2, in fixed point with
// F = 64L fraction bits, L = limbs of p plus one):
//   1. n = floor(x / ln 2), r = x - n ln 2 in [0, ln 2), with ln 2 truncated
//      to F bits; x itself is exact in fixed point (checked).
//   2. s = r / 2^K, truncated; K is chosen so that the series below,
//      truncated after s^20, is accurate to 2^-F.
//   3. E = sum_{j<=20} s^j / j! = A / 20!, A = sum_j (20!/j!) s^j with
//      integer coefficients (20! < 2^62), by Horner's rule in s^2 on the even
//      and the odd terms, each product truncated.
//   4. e^r = E^(2^K) by K squarings, each truncated; e^x = 2^n e^r.
// Error of e^r, relative, in units of 2^-F: |n| < 2^12 from ln 2's
// truncation; 2^K from s's truncation; 2^K from the series' tail; about
// 2^(K+1) from Horner's products (and s^2's, weighed by coefficients far
// below 20!) and the final division, amplified by the squarings; 2^K from
// the squarings themselves. The total is below 2^12 + 5 * 2^K <=
// 2^(M+3) with M = max(12, K), so b is within 2^(E(b) - (F - M - 4)) of
// e^x; the check is made with F - M - 8.

#include "core/limb/exponential.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "core/limb/fixed_point.hpp"
#include "core/limb/limb_bridge.hpp"

namespace {

using limb_float::Fixed;
using limb_float::Limb;

// floor(ln 2 * 2^576), least significant limb first: enough for every L up
// to max_limbs + 1. The top L limbs are floor(ln 2 * 2^(64L)) (a floor of a
// floor).
constexpr std::array<Limb, 9> ln2_limbs = {
    0x3e96ca16224ae8c5ULL, 0x27573b291169b825ULL, 0xed2eae35c1382144ULL,
    0x559552fb4afa1b10ULL, 0xe7b876206debac98ULL, 0x8a0d175b8baafa2bULL,
    0x40f343267298b62dULL, 0xc9e3b39803f2f6afULL, 0xb17217f7d1cf79abULL,
};
static_assert(ln2_limbs.size() >= limb_float::max_limbs + 1);

constexpr int series_degree = 20;
constexpr Limb factorial_20 = 2432902008176640000ULL;  // < 2^62

// 20!/j! for j = 0 ... 20: the series' coefficients times 20!.
constexpr std::array<Limb, series_degree + 1> factorial_ratios = [] {
    std::array<Limb, series_degree + 1> out{};
    Limb ratio = 1;
    for (int j = series_degree; j >= 0; --j) {
        out[j] = ratio;
        ratio *= static_cast<Limb>(j);
    }
    return out;
}();
static_assert(factorial_ratios[0] == factorial_20);

// Beyond these x is left to mpfr_exp: |x| < 2^11 keeps |n| < 2^12 (the error
// bound above) and e^x far inside MPFR's exponent range.
constexpr long largest_exponent = 11;
// From 8 limbs on mpfr_exp is as fast: its cost grows more slowly with the
// precision than the K squarings of L + 1 limbs here.
constexpr Bits largest_target_bits = 7 * 64;
constexpr int reduction_error_exponent = 12;

// K for F = 64L fraction bits: the series tail 2 s^21 / 21! <= 2^-F with
// s < 2^-(K + 0.528) needs 21 K >= F - 75.6.
template <int L>
constexpr int halvings = (64 * L - 75 + 20) / 21;

template <int L>
Fixed<L> ln2_fixed() {
    Fixed<L> out{};
    for (int i = 0; i < L; ++i) {
        out[i] = ln2_limbs[ln2_limbs.size() - L + i];
    }
    return out;
}

// |x| * 2^(64L) when x (regular, |x| < 2^64) is exact at that scale.
template <int L>
bool to_fixed(const WorkingValue& x, Fixed<L>& out) {
    const int limbs = limb_float::limbs_for(x.bits());
    const long shift = exponent(x) - 64L * limbs + 64L * L;  // of the significand's integer
    if (shift < 0 || limbs > L + 1) {
        return false;
    }
    out = {};
    const mp_limb_t* m = significand(x);
    const long whole = shift / 64;
    const int bits = static_cast<int>(shift % 64);
    for (int i = 0; i < limbs; ++i) {
        long to = i + whole;
        if (to <= L) {
            out[to] |= m[i] << bits;
        }
        if (bits > 0 && to + 1 <= L) {
            out[to + 1] |= m[i] >> (64 - bits);
        }
    }
    return true;
}

// Step 1: n and r = x - n ln 2 in [0, ln 2), from |x| in fixed point and
// x's sign; n starts from the double estimate floor(x / ln 2), which is off
// by one at most, so a step or two brings r into range. False for x next to
// 0 (the estimate and x of opposite signs), where mpfr_exp is quick anyway.
template <int L>
bool reduce(const Fixed<L>& magnitude, double x, bool negative, long& n, Fixed<L>& r) {
    const Fixed<L> ln2 = ln2_fixed<L>();
    n = static_cast<long>(std::floor(x * 1.4426950408889634));
    Fixed<L> multiple = limb_float::fixed_mul_integer<L>(ln2, static_cast<Limb>(n < 0 ? -n : n));
    // x - n ln 2 = (+-|x|) - (+-|n| ln 2).
    if (!negative && n >= 0) {
        if (limb_float::fixed_less<L>(magnitude, multiple)) {
            --n;
            multiple = limb_float::fixed_sub<L>(multiple, ln2);
        }
        r = limb_float::fixed_sub<L>(magnitude, multiple);
    } else if (negative && n < 0) {
        while (limb_float::fixed_less<L>(multiple, magnitude)) {  // r = |n| ln 2 - |x| < 0
            --n;
            multiple = limb_float::fixed_add<L>(multiple, ln2);
        }
        r = limb_float::fixed_sub<L>(multiple, magnitude);
    } else {
        return false;
    }
    while (!limb_float::fixed_less<L>(r, ln2)) {
        ++n;
        r = limb_float::fixed_sub<L>(r, ln2);
    }
    return true;
}

// Step 3: E = A / 20! with A = sum_j (20!/j!) s^j, by Horner's rule in s^2 on
// the even and the odd terms at once (two independent chains), A = even +
// s * odd. Every product is truncated, by less than one unit each.
template <int L>
Fixed<L> exp_series(const Fixed<L>& s) {
    const Fixed<L> s2 = limb_float::fixed_mul<L>(s, s);
    Fixed<L> even{};
    Fixed<L> odd{};
    even[L] = factorial_ratios[series_degree];
    odd[L] = factorial_ratios[series_degree - 1];
    for (int j = series_degree - 2; j >= 0; j -= 2) {
        even = limb_float::fixed_mul<L>(even, s2);
        even[L] += factorial_ratios[j];
        if (j >= 1) {
            odd = limb_float::fixed_mul<L>(odd, s2);
            odd[L] += factorial_ratios[j - 1];
        }
    }
    const Fixed<L> a = limb_float::fixed_add<L>(even, limb_float::fixed_mul<L>(odd, s));
    return limb_float::fixed_div_integer<L>(a, factorial_20);
}

// The rounding of b = 2^n e to `target` bits into d, when the error bound
// decides it.
template <int L>
bool round_if_determined(WorkingValue& d, const Fixed<L>& e, long n, Bits target) {
    constexpr int margin = std::max(reduction_error_exponent, halvings<L>) + 8;
    WorkingValue approximation(static_cast<Bits>(64 * (L + 1)));
    set_significand(approximation, e.data(), L + 1, 64 + n, false);
    if (!round_is_determined(approximation, 64 * L - margin, target)) {
        return false;
    }
    set(d, approximation);
    return true;
}

template <int L>
bool fast_exponential(WorkingValue& d, const WorkingValue& x, Bits target) {
    Fixed<L> magnitude;
    long n = 0;
    Fixed<L> r;
    if (!to_fixed<L>(x, magnitude) || !reduce<L>(magnitude, to_double(x), sign_bit(x), n, r)) {
        return false;
    }
    // Steps 2 to 4: s = r / 2^K, E(s), e^r = E^(2^K).
    Fixed<L> e = exp_series<L>(limb_float::fixed_shift_right<L>(r, halvings<L>));
    for (int i = 0; i < halvings<L>; ++i) {
        e = limb_float::fixed_mul<L>(e, e);
    }
    return round_if_determined<L>(d, e, n, target);
}

}  // namespace

void exponential(WorkingValue& d, const WorkingValue& x) {
    const Bits target = d.bits();
    bool done = false;
    if (is_regular(x) && exponent(x) <= largest_exponent && target <= largest_target_bits) {
        // One fraction limb more than the target has: the 64 extra bits that
        // the error bound and the rounding check need.
        limb_float::with_limbs(target, [&](auto limbs) {
            done = fast_exponential<decltype(limbs)::value + 1>(d, x, target);
        });
    }
    if (!done) {
        exp(d, x);
    }
}
