#pragma once
// Double-word ("double-double") arithmetic: a value hi + lo held in two
// doubles with |lo| <= ulp(hi) / 2, about 106 bits. Only the two operations
// the fast Bessel pass needs, each with its proven relative error bound, in
// units of u = 2^-53 (Joldes, Muller and Popescu, "Tight and rigorous error
// bounds for basic building blocks of double-word arithmetic", ACM TOMS 44
// (2017)):
//   add_words  (their Algorithm 6, AccurateDWPlusDW):  3u^2 / (1 - 4u)
//   times_double (their Algorithm 9, DWTimesFP3, with an FMA): 2u^2
// Both hold for any signs of the operands and need round-to-nearest and no
// underflow in the low words: callers keep their values near 1 (the tables
// are scaled), where the low words stay normal. No Python header.

#include <cmath>

struct DoubleWord {
    double hi;
    double lo;
};

// The relative error bound per operation that callers count with: the
// larger of the two above, rounded up to a whole multiple of u^2 with room.
constexpr double double_word_op_error = 4 * 0x1p-106;

// s + e = a + b exactly (Knuth's TwoSum, any magnitudes).
inline DoubleWord two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// s + e = a + b exactly, when |a| >= |b| or a == 0 (Dekker's FastTwoSum).
inline DoubleWord fast_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// p + e = a * b exactly, when no underflow occurs.
inline DoubleWord two_prod(double a, double b) {
    const double p = a * b;
    return {p, std::fma(a, b, -p)};
}

inline DoubleWord add_words(DoubleWord x, DoubleWord y) {
    const DoubleWord s = two_sum(x.hi, y.hi);
    const DoubleWord t = two_sum(x.lo, y.lo);
    const DoubleWord v = fast_two_sum(s.hi, s.lo + t.hi);
    return fast_two_sum(v.hi, t.lo + v.lo);
}

inline DoubleWord times_double(DoubleWord x, double y) {
    const DoubleWord c = two_prod(x.hi, y);
    return fast_two_sum(c.hi, std::fma(x.lo, y, c.lo));
}
