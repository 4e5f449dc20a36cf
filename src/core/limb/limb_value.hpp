#pragma once
// The fixed-size value of limb_float.hpp, its format, and the word-level
// steps its operations share: shifts, normalisation and the one rounding to
// nearest. Pure integer code: no MPFR, no Python header.

#include <array>
#include <bit>
#include <cstdint>

namespace limb_float {

using Limb = std::uint64_t;
__extension__ typedef unsigned __int128 Wide;  // GCC and Clang

constexpr int limb_bits = 64;
constexpr Limb top_bit = Limb{1} << 63;

// The largest size handled here: up to 512 bits, which covers the working
// and series precisions of the rounded-to-double functions up to about 130
// digits, and the full-precision K series (about twice the working
// precision) up to about 230 bits. Up to there the fixed sizes beat MPFR's
// arithmetic, whose call overhead and generality dominate at a few limbs;
// from 9 limbs on MPFR's assembly products and its linear-time division by an
// integer win (as checks/check_bessel_full_precision.cpp --speed shows beside
// a build whose fixed sizes stop at 4 limbs).
constexpr int max_limbs = 8;

// Quotients are taken by integers below this bound (k^2, k(k+1), 8k and k
// for k <= 99999 all are): the quotient of a significand times 2^64 then has
// at least 64N + 24 bits, more than the p + 1 that rounding needs.
constexpr Limb divisor_limit = Limb{1} << 40;

// The precision of the values, and where its last bit sits in the lowest limb.
struct Format {
    Format(int bits_, int limbs)
        : bits(bits_),
          shift(limbs * limb_bits - bits_),
          ulp(Limb{1} << shift),
          half(Wide{1} << (shift + limb_bits - 1)) {}
    int bits;   // p
    int shift;  // 64N - p, 0 ... 63
    Limb ulp;   // the last kept bit of the lowest limb
    Wide half;  // the round bit, within (dropped bits of the lowest limb : next limb)
};

template <int N>
struct Value {
    std::array<Limb, N> m{};
    std::int64_t e = 0;
    bool negative = false;
    bool zero = false;
};

template <int N>
constexpr Value<N> one() {
    Value<N> v;
    v.m[N - 1] = top_bit;
    v.e = 1;
    return v;
}

// (q, r) = (hi*2^64 + lo) / d, for hi < d.
[[gnu::always_inline]] inline Limb divide_limb(Limb hi, Limb lo, Limb d, Limb& remainder) {
#if defined(__x86_64__)
    Limb q;
    Limb r;
    __asm__("divq %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d));
    remainder = r;
    return q;
#else
    Wide n = (Wide{hi} << limb_bits) | lo;
    remainder = static_cast<Limb>(n % d);
    return static_cast<Limb>(n / d);
#endif
}

// w << s for 0 <= s < 64, the top bits dropped. No branch on s: the bits
// carried up are (lower >> 1) >> (63 - s), which is 0 for s = 0.
template <int L>
[[gnu::always_inline]] inline void shift_left_bits(std::array<Limb, L>& w, int s) {
#pragma GCC unroll 8
    for (int i = L - 1; i > 0; --i) {
        w[i] = (w[i] << s) | ((w[i - 1] >> 1) >> (63 - s));
    }
    w[0] <<= s;
}

// Shifts a nonzero w left until its top bit is set; returns the shift.
template <int L>
[[gnu::always_inline]] inline int normalize(std::array<Limb, L>& w) {
    int limbs = 0;
    while (w[L - 1] == 0) {  // whole limbs: only after a deep cancellation
#pragma GCC unroll 8
        for (int i = L - 1; i > 0; --i) {
            w[i] = w[i - 1];
        }
        w[0] = 0;
        ++limbs;
    }
    int bits = std::countl_zero(w[L - 1]);
    shift_left_bits<L>(w, bits);
    return limbs * limb_bits + bits;
}

// Rounds the exact value (w + a fraction of the lowest limb that is nonzero
// exactly when `sticky`) / 2^(64L) * 2^e, with the top bit of w set, to the
// nearest p-bit value, ties to even. The round bit lies at position
// 64L - p - 1 >= 63, so a fraction below position 0 only ever counts as sticky.
template <int N, int L>
[[gnu::always_inline]] inline Value<N> round_nearest(const std::array<Limb, L>& w, bool sticky,
                                                     std::int64_t e, bool negative,
                                                     const Format& f) {
    static_assert(L > N, "rounding needs at least one limb below the kept ones");
    Value<N> r;
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
        r.m[i] = w[L - N + i];
    }
    Limb below = sticky ? 1 : 0;
#pragma GCC unroll 8
    for (int i = 0; i < L - N - 1; ++i) {
        below |= w[i];
    }
    // The dropped bits: those of the lowest kept limb under the precision,
    // then the whole next limb.
    const Limb dropped_high = r.m[0] & (f.ulp - 1);
    const Wide dropped = (Wide{dropped_high} << limb_bits) | w[L - N - 1];
    r.m[0] -= dropped_high;
    const bool round_bit = (dropped & f.half) != 0;
    const bool rest = (dropped & (f.half - 1)) != 0 || below != 0;
    const bool odd = (r.m[0] & f.ulp) != 0;
    Limb carry = (round_bit && (rest || odd)) ? f.ulp : 0;
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
        Wide t = Wide{r.m[i]} + carry;
        r.m[i] = static_cast<Limb>(t);
        carry = static_cast<Limb>(t >> limb_bits);
    }
    if (carry != 0) [[unlikely]] {  // all kept bits were ones: the next power of two
        r.m[N - 1] = top_bit;
        ++e;
    }
    r.e = e;
    r.negative = negative;
    return r;
}

// w >> s over L limbs for 0 < s < 64L; `sticky` collects the bits shifted
// out. Only fixed indices, so w can live in registers.
template <int L>
[[gnu::always_inline]] inline void shift_right(std::array<Limb, L>& w, std::int64_t s,
                                              bool& sticky) {
    Limb lost = 0;
    while (s >= limb_bits) {
        lost |= w[0];
#pragma GCC unroll 8
        for (int i = 0; i < L - 1; ++i) {
            w[i] = w[i + 1];
        }
        w[L - 1] = 0;
        s -= limb_bits;
    }
    const int bits = static_cast<int>(s);
    // (x << 1) << (63 - bits) keeps the low `bits` bits of x at the top, and
    // nothing for bits = 0.
    lost |= (w[0] << 1) << (63 - bits);
#pragma GCC unroll 8
    for (int i = 0; i < L - 1; ++i) {
        w[i] = (w[i] >> bits) | ((w[i + 1] << 1) << (63 - bits));
    }
    w[L - 1] >>= bits;
    sticky = sticky || lost != 0;
}

}  // namespace limb_float
