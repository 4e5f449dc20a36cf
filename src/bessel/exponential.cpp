// e^x at the working and series precisions of ordinary calls (up to 256
// bits), about three times faster than mpfr_exp there, with the same result.
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
// the squarings themselves. With K <= 12 the total is
// below 2^(15-F), so b is within 2^(E(b) - (F - 16)) of e^x; the check is
// made with F - 20.

#include "bessel/exponential.hpp"

#include <array>
#include <cmath>
#include <cstdint>

#include "bessel/limb_float.hpp"

namespace {

using limb_float::Limb;
using limb_float::Wide;

// floor(ln 2 * 2^384), least significant limb first. The top L limbs are
// floor(ln 2 * 2^(64L)) (a floor of a floor).
constexpr std::array<Limb, 6> ln2_limbs = {
    0x559552fb4afa1b10ULL, 0xe7b876206debac98ULL, 0x8a0d175b8baafa2bULL,
    0x40f343267298b62dULL, 0xc9e3b39803f2f6afULL, 0xb17217f7d1cf79abULL,
};

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

// A fixed-point number: L fraction limbs and one integer limb, least
// significant first; value = limbs / 2^(64L).
template <int L>
using Fixed = std::array<Limb, L + 1>;

// floor(a * b / 2^(64L)); the result must be below 2^64.
template <int L>
[[gnu::always_inline]] inline Fixed<L> fixed_mul(const Fixed<L>& a, const Fixed<L>& b) {
    std::array<Limb, 2 * L + 2> w{};
#pragma GCC unroll 8
    for (int i = 0; i <= L; ++i) {
        Limb carry = 0;
#pragma GCC unroll 8
        for (int j = 0; j <= L; ++j) {
            Wide t = Wide{a[i]} * b[j] + w[i + j] + carry;
            w[i + j] = static_cast<Limb>(t);
            carry = static_cast<Limb>(t >> 64);
        }
        w[i + L + 1] = carry;
    }
    Fixed<L> out;
#pragma GCC unroll 8
    for (int i = 0; i <= L; ++i) {
        out[i] = w[i + L];
    }
    return out;
}

// a + b and a - b (a >= b) over L+1 limbs.
template <int L>
Fixed<L> fixed_add(const Fixed<L>& a, const Fixed<L>& b) {
    Fixed<L> out;
    Limb carry = 0;
    for (int i = 0; i <= L; ++i) {
        Wide t = Wide{a[i]} + b[i] + carry;
        out[i] = static_cast<Limb>(t);
        carry = static_cast<Limb>(t >> 64);
    }
    return out;
}

template <int L>
Fixed<L> fixed_sub(const Fixed<L>& a, const Fixed<L>& b) {
    Fixed<L> out;
    Limb borrow = 0;
    for (int i = 0; i <= L; ++i) {
        Wide t = Wide{a[i]} - b[i] - borrow;
        out[i] = static_cast<Limb>(t);
        borrow = static_cast<Limb>(t >> 64) & 1;
    }
    return out;
}

template <int L>
bool fixed_less(const Fixed<L>& a, const Fixed<L>& b) {
    for (int i = L; i >= 0; --i) {
        if (a[i] != b[i]) {
            return a[i] < b[i];
        }
    }
    return false;
}

template <int L>
Fixed<L> ln2_fixed() {
    Fixed<L> out{};
    for (int i = 0; i < L; ++i) {
        out[i] = ln2_limbs[6 - L + i];
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

template <int L>
bool fast_exponential(WorkingValue& d, const WorkingValue& x, Bits target) {
    Fixed<L> big_x;
    if (!to_fixed<L>(x, big_x)) {
        return false;
    }
    constexpr int fraction_bits = 64 * L;
    // Series tail 2 s^21 / 21! <= 2^-F with s < 2^-(K + 0.528): 21 K >= F - 75.6.
    constexpr int halvings = (fraction_bits - 75 + 20) / 21;

    // 1. r = x - n ln 2 in [0, ln 2).
    const Fixed<L> ln2 = ln2_fixed<L>();
    long n = static_cast<long>(std::floor(to_double(x) * 1.4426950408889634));
    const bool negative = sign_bit(x);
    Fixed<L> multiple{};  // |n| ln 2
    {
        Limb carry = 0;
        Limb magnitude = static_cast<Limb>(n < 0 ? -n : n);
        for (int i = 0; i <= L; ++i) {
            Wide t = Wide{ln2[i]} * magnitude + carry;
            multiple[i] = static_cast<Limb>(t);
            carry = static_cast<Limb>(t >> 64);
        }
    }
    // x - n ln 2 = (+-|x|) - (+-|n| ln 2); bring it into [0, ln 2) with at
    // most a step or two (the estimate of n is off by one at most).
    Fixed<L> r;
    if (!negative && n >= 0) {
        if (fixed_less<L>(big_x, multiple)) {
            --n;
            multiple = fixed_sub<L>(multiple, ln2);
        }
        r = fixed_sub<L>(big_x, multiple);
    } else if (negative && n < 0) {
        while (fixed_less<L>(multiple, big_x)) {  // r = |n| ln 2 - |x| < 0
            --n;
            multiple = fixed_add<L>(multiple, ln2);
        }
        r = fixed_sub<L>(multiple, big_x);
    } else {
        return false;  // only for x next to 0, where mpfr_exp is quick anyway
    }
    while (!fixed_less<L>(r, ln2)) {
        ++n;
        r = fixed_sub<L>(r, ln2);
    }

    // 2. s = r / 2^K, truncated.
    Fixed<L> s{};
    for (int i = 0; i <= L; ++i) {
        Limb high = i < L ? r[i + 1] : 0;
        s[i] = (r[i] >> halvings) | (high << (64 - halvings));
    }

    // 3. A = sum_j (20!/j!) s^j, by Horner's rule in s^2 on the even and the
    // odd terms at once (two independent chains), A = even + s * odd; then
    // E = A / 20!. Every product is truncated, by less than one unit each.
    const Fixed<L> s2 = fixed_mul<L>(s, s);
    Fixed<L> even{};
    Fixed<L> odd{};
    even[L] = 1;  // 20!/20!
    odd[L] = 20;  // 20!/19!
    for (int j = series_degree - 2; j >= 0; j -= 2) {
        even = fixed_mul<L>(even, s2);
        even[L] += factorial_ratios[j];
        if (j >= 1) {
            odd = fixed_mul<L>(odd, s2);
            odd[L] += factorial_ratios[j - 1];
        }
    }
    Fixed<L> a = fixed_add<L>(even, fixed_mul<L>(odd, s));
    Fixed<L> e;
    {
        Limb remainder = 0;
        for (int i = L; i >= 0; --i) {
            e[i] = limb_float::divide_limb(remainder, a[i], factorial_20, remainder);
        }
    }

    // 4. e^r = E^(2^K).
    for (int i = 0; i < halvings; ++i) {
        e = fixed_mul<L>(e, e);
    }

    WorkingValue approximation(static_cast<Bits>(64 * (L + 1)));
    set_significand(approximation, e.data(), L + 1, 64 + n, false);
    if (!round_is_determined(approximation, fraction_bits - 20, target)) {
        return false;
    }
    set(d, approximation);
    return true;
}

}  // namespace

void exponential(WorkingValue& d, const WorkingValue& x) {
    const Bits target = d.bits();
    bool done = false;
    if (is_regular(x) && exponent(x) <= largest_exponent && target <= 64 * limb_float::max_limbs) {
        switch (limb_float::limbs_for(target)) {
            case 1:
                done = fast_exponential<2>(d, x, target);
                break;
            case 2:
                done = fast_exponential<3>(d, x, target);
                break;
            case 3:
                done = fast_exponential<4>(d, x, target);
                break;
            default:
                done = fast_exponential<5>(d, x, target);
                break;
        }
    }
    if (!done) {
        exp(d, x);
    }
}
