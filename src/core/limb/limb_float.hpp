#pragma once
// Exact binary floating point of a fixed small size: the correctly rounded
// arithmetic of the hot loops (the Bessel series and expansion) at ordinary
// precisions. Pure integer code: no MPFR, no Python header; limb_bridge.hpp
// moves values to and from working values.
//
// A Value<N> holds a number of p bits, 64(N-1) < p <= 64N, exactly as
// MPFR lays out a p-bit value: N 64-bit limbs, least significant first, the
// top bit of the last one set, the 64N - p lowest bits zero, and an exponent
// e with value = +-(significand / 2^(64N)) * 2^e. Every operation forms its
// exact result (or an exact truncation plus a sticky bit) and rounds it once
// to nearest, ties to even: the correctly rounded result, which is what MPFR
// returns for the same operation, bit for bit. What it saves is MPFR's
// generality: special values, exponent-range checks, flags (thread-local
// storage) and temporaries, which at a few limbs cost more than the
// arithmetic itself. checks/check_exact_arithmetic.cpp compares every
// operation with MPFR's at every precision the bridge serves.
//
// Only what the loops need exists: regular operands (zero only as the result
// of an exact cancellation in add), products, quotients by integers below
// 2^40, sums, and magnitude comparisons. Exponents are plain 64-bit integers;
// the callers keep them inside MPFR's default range, |e| <= 2^30 - 1 (see
// exponent_limit in limb_bridge.hpp), so no result here would have
// overflowed or underflowed there either.

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "core/limb/limb_value.hpp"

namespace limb_float {

// The exact product of the significands of a and b, 2N limbs, shifted so that
// its top bit is set; `shift` receives the shift (0 or 1: the product of two
// [1/2, 1) significands is >= 1/4).
template <int N>
[[gnu::always_inline]] inline std::array<Limb, 2 * N> significand_product(const Value<N>& a,
                                                                          const Value<N>& b,
                                                                          int& shift) {
    // Row by row over b's limbs; a zero limb of b skips its row. The loops
    // multiply by a constant ratio whose low limbs are often zero (v^2/4 for
    // a double v has at most 106 significant bits), and the test on it always
    // goes the same way there.
    std::array<Limb, 2 * N> w{};
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) {
        if (b.m[j] == 0) {
            continue;  // w[j + N] is still zero, as the row would leave it
        }
        Limb carry = 0;
#pragma GCC unroll 8
        for (int i = 0; i < N; ++i) {
            Wide t = Wide{a.m[i]} * b.m[j] + w[i + j] + carry;
            w[i + j] = static_cast<Limb>(t);
            carry = static_cast<Limb>(t >> limb_bits);
        }
        w[j + N] = carry;
    }
    shift = static_cast<int>((w[2 * N - 1] >> 63) ^ 1);
    shift_left_bits<2 * N>(w, shift);
    return w;
}

// a * b, both regular.
template <int N>
[[gnu::always_inline]] inline Value<N> mul(const Value<N>& a, const Value<N>& b, const Format& f) {
    int s = 0;
    const std::array<Limb, 2 * N> w = significand_product(a, b, s);
    return round_nearest<N, 2 * N>(w, false, a.e + b.e - s, a.negative != b.negative, f);
}

// a * u for a regular a and an integer 0 < u < 2^64, the product negated when `flip`.
template <int N>
[[gnu::always_inline]] inline Value<N> mul_integer(const Value<N>& a, Limb u, bool flip,
                                                   const Format& f) {
    if (u == 1) {
        Value<N> r = a;
        r.negative = a.negative != flip;
        return r;
    }
    std::array<Limb, N + 1> w{};
    Limb carry = 0;
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
        Wide t = Wide{a.m[i]} * u + carry;
        w[i] = static_cast<Limb>(t);
        carry = static_cast<Limb>(t >> limb_bits);
    }
    w[N] = carry;  // u >= 2 makes the product >= 2^(64N): this limb is not zero
    const int s = std::countl_zero(w[N]);
    shift_left_bits<N + 1>(w, s);
    return round_nearest<N, N + 1>(w, false, a.e + limb_bits - s, a.negative != flip, f);
}

// |a| < |b| for regular values of equal exponent.
template <int N>
[[gnu::always_inline]] inline bool significand_less(const Value<N>& a, const Value<N>& b) {
#pragma GCC unroll 8
    for (int i = N - 1; i >= 0; --i) {
        if (a.m[i] != b.m[i]) {
            return a.m[i] < b.m[i];
        }
    }
    return false;
}

// |a| > |b|. Without data-dependent branches on regular values: the loops
// ask it once per pass, and its answer is almost always the same.
template <int N>
[[gnu::always_inline]] inline bool greater_abs(const Value<N>& a, const Value<N>& b) {
    if (a.zero || b.zero) [[unlikely]] {
        return !a.zero && b.zero;
    }
    // Significands compared limb by limb from the top: the first limb that
    // differs decides, combined without branches.
    // (Bitwise & and | on purpose: no short-circuit branches.)
    bool greater = false;
    bool decided = false;
#pragma GCC unroll 8
    for (int i = N - 1; i >= 0; --i) {
        greater = greater | (!decided & (a.m[i] > b.m[i]));
        decided = decided | (a.m[i] != b.m[i]);
    }
    return (a.e > b.e) | ((a.e == b.e) & greater);
}

// a + b when either is zero: exact, and the sign of a zero result follows
// rounding to nearest (-0 + -0 = -0, otherwise +0).
template <int N>
inline Value<N> add_with_zero(const Value<N>& a, const Value<N>& b) {
    if (!a.zero) {
        return a;
    }
    if (!b.zero) {
        return b;
    }
    Value<N> z = a;
    z.negative = a.negative && b.negative;
    return z;
}

// Two significands side by side over N + 1 limbs, the lowest one spare, the
// smaller one shifted to the larger one's exponent. The spare limb keeps the
// bits that matter: y loses bits (into `sticky`) only when the gap exceeds
// 64, and then the difference cancels at most one bit.
template <int N>
struct Aligned {
    std::array<Limb, N + 1> x{};
    std::array<Limb, N + 1> y{};
    bool sticky = false;
};

template <int N>
[[gnu::always_inline]] inline Aligned<N> align(const Value<N>& x, const Value<N>& y,
                                               std::int64_t gap) {
    Aligned<N> w;
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
        w.x[i + 1] = x.m[i];
        w.y[i + 1] = y.m[i];
    }
    if (gap > 0) {
        shift_right<N + 1>(w.y, gap, w.sticky);
    }
    return w;
}

// |x| + |y|, rounded, with x's sign. A carry out moves the sum one bit
// right, and the bit pushed out below joins the sticky bit.
template <int N>
[[gnu::always_inline]] inline Value<N> add_aligned(const Aligned<N>& a, std::int64_t e,
                                                   bool negative, const Format& f) {
    std::array<Limb, N + 1> w{};
    Limb carry = 0;
#pragma GCC unroll 8
    for (int i = 0; i <= N; ++i) {
        Wide t = Wide{a.x[i]} + a.y[i] + carry;
        w[i] = static_cast<Limb>(t);
        carry = static_cast<Limb>(t >> limb_bits);
    }
    const bool sticky = a.sticky || (w[0] & carry) != 0;
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
        w[i] = (w[i] >> carry) | ((w[i + 1] & carry) << 63);
    }
    w[N] = (w[N] >> carry) | (carry << 63);
    return round_nearest<N, N + 1>(w, sticky, e + static_cast<std::int64_t>(carry), negative, f);
}

// |x| - |y| for |x| >= |y|, rounded, with x's sign. The lost fraction of y is
// taken as one whole unit of the lowest position borrowed plus a positive
// remainder below it, which keeps the sticky bit set; |x| >= |y| keeps the
// difference >= 0.
template <int N>
[[gnu::always_inline]] inline Value<N> subtract_aligned(const Aligned<N>& a, std::int64_t e,
                                                        bool negative, const Format& f) {
    std::array<Limb, N + 1> w{};
    Limb borrow = a.sticky ? 1 : 0;
#pragma GCC unroll 8
    for (int i = 0; i <= N; ++i) {
        Wide t = Wide{a.x[i]} - a.y[i] - borrow;
        w[i] = static_cast<Limb>(t);
        borrow = static_cast<Limb>(t >> limb_bits) & 1;
    }
    Limb any = 0;
#pragma GCC unroll 8
    for (int i = 0; i <= N; ++i) {
        any |= w[i];
    }
    if (any == 0 && !a.sticky) [[unlikely]] {
        Value<N> z;
        z.zero = true;  // exact cancellation gives +0 when rounding to nearest
        return z;
    }
    e -= normalize<N + 1>(w);
    return round_nearest<N, N + 1>(w, a.sticky, e, negative, f);
}

// a + b; either may be zero.
template <int N>
[[gnu::always_inline]] inline Value<N> add(const Value<N>& a, const Value<N>& b, const Format& f) {
    if (a.zero || b.zero) [[unlikely]] {
        return add_with_zero(a, b);
    }
    // |x| >= |y|, chosen by reference: copies of the operands would be made
    // with 16-byte loads, which stall on an operand whose fields were just
    // stored one by one (the result of the step before).
    const bool swapped = b.e > a.e || (b.e == a.e && significand_less(a, b));
    const Value<N>& x = swapped ? b : a;
    const Value<N>& y = swapped ? a : b;
    const std::int64_t gap = x.e - y.e;
    // |y| < 2^(x.e - p - 2) = ulp(x)/4: x +- y stays within a quarter ulp of
    // x (half an ulp of the smaller binade below a power of two) and rounds
    // back to x.
    if (gap >= f.bits + 2) {
        return x;
    }
    const Aligned<N> w = align(x, y, gap);
    if (x.negative == y.negative) {
        return add_aligned(w, x.e, x.negative, f);
    }
    return subtract_aligned(w, x.e, x.negative, f);
}

// u < 2^63 rounded to nearest (ties to even) to `bits` bits: what setting
// the integer u into a `bits`-bit value gives. Stays an integer.
inline Limb round_integer(Limb u, int bits) {
    int width = std::bit_width(u);
    if (width <= bits) {
        return u;
    }
    int drop = width - bits;
    Limb unit = Limb{1} << drop;
    Limb dropped = u & (unit - 1);
    Limb half = unit >> 1;
    u -= dropped;
    if (dropped > half || (dropped == half && (u & unit) != 0)) {
        u += unit;
    }
    return u;
}

}  // namespace limb_float
