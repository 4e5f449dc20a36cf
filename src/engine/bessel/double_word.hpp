#pragma once
// Double-word arithmetic (a value as the unevaluated sum hi + lo of two
// doubles, |lo| <= ulp(hi) / 2, about 106 bits), for the rho table of double
// samples and the fast Bessel pass, where its accuracy is proven enough. No
// MPFR, no Python header.
//
// The algorithms and their bounds are those of Joldes, Muller & Popescu,
// "Tight and rigorous error bounds for basic building blocks of double-word
// arithmetic", ACM TOMS 44(2), 2017, with u = 2^-53:
//   x + y  (their Algorithm 6, AccurateDWPlusDW): relative error <= 3u^2 + 13u^3
//   x * a  (Algorithm 9, DWTimesFP3, with an FMA): relative error <= 2u^2
//   k / y  (Algorithm 17, DWDivDW2, with x = k + 0): relative error <= 15u^2 + 56u^3
// both below 2^-102: each operation is at least as accurate as one rounding
// to nearest at 101 bits, provided nothing overflows and no part falls into
// the subnormals. The arithmetic checks that on every result (range_ok()).
// The rho table's products are Dekker's exact ones, by Veltkamp's splitting:
// the baseline x86-64 build has no fused multiply-add instruction, and the
// compiler then contracts nothing, which the algorithms need (checks/ measure
// the bounds). The Bessel pass's use std::fma, exact wherever it runs.

#include <cmath>
#include <cstdint>

struct DoubleWord {
    double hi = 0;
    double lo = 0;
};

namespace double_word {

// s + t = a + b exactly, s = RN(a + b).
[[gnu::always_inline]] inline DoubleWord two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    const double aa = s - bb;
    return {s, (a - aa) + (b - bb)};
}

// The same for |a| >= |b| (or a = 0).
[[gnu::always_inline]] inline DoubleWord fast_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// p + e = a b exactly (Dekker), for products far from overflow and underflow.
[[gnu::always_inline]] inline DoubleWord two_product(double a, double b) {
    constexpr double splitter = 134217729.0;  // 2^27 + 1
    const double p = a * b;
    const double ca = splitter * a;
    const double ah = ca - (ca - a);
    const double al = a - ah;
    const double cb = splitter * b;
    const double bh = cb - (cb - b);
    const double bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

// x + y, Algorithm 6.
[[gnu::always_inline]] inline DoubleWord add(const DoubleWord& x, const DoubleWord& y) {
    const DoubleWord s = two_sum(x.hi, y.hi);
    const DoubleWord t = two_sum(x.lo, y.lo);
    const DoubleWord v = fast_two_sum(s.hi, s.lo + t.hi);
    return fast_two_sum(v.hi, t.lo + v.lo);
}

// k / y for an integer k < 2^53 and y != 0, Algorithm 17 with x = k + 0.
[[gnu::always_inline]] inline DoubleWord divide_into(double k, const DoubleWord& y) {
    const double th = k / y.hi;
    // r = y th, as their Algorithm 7 (DWTimesFP1) forms it.
    const DoubleWord c = two_product(y.hi, th);
    const DoubleWord t = fast_two_sum(c.hi, y.lo * th);
    const DoubleWord r = fast_two_sum(t.hi, t.lo + c.lo);
    const DoubleWord pi = two_sum(k, -r.hi);
    const double delta = pi.hi + (pi.lo - r.lo);
    return fast_two_sum(th, delta / y.hi);
}

// p + e = a b exactly by the fused multiply-add (no overflow or underflow).
inline DoubleWord fma_product(double a, double b) {
    const double p = a * b;
    return {p, std::fma(a, b, -p)};
}

// x a, Algorithm 9 (relative error <= 2u^2).
inline DoubleWord times_double(const DoubleWord& x, double a) {
    const DoubleWord c = fma_product(x.hi, a);
    return fast_two_sum(c.hi, std::fma(x.lo, a, c.lo));
}

// The relative error bound per operation that the Bessel pass counts with:
// the larger of add's and times_double's, rounded up with room, for values
// kept near 1 (its tables are scaled), where the low words stay normal.
constexpr double add_or_times_error = 4 * 0x1p-106;

}  // namespace double_word
