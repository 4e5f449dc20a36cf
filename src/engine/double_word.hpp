#pragma once
// Double-word arithmetic (a value as the unevaluated sum hi + lo of two
// doubles, |lo| <= ulp(hi) / 2) for the rho table of double samples, where
// its accuracy is proven enough. No MPFR, no Python header.
//
// The algorithms and their bounds are those of Joldes, Muller & Popescu,
// "Tight and rigorous error bounds for basic building blocks of double-word
// arithmetic", ACM TOMS 44(2), 2017, with u = 2^-53:
//   x + y  (their Algorithm 6, AccurateDWPlusDW): relative error <= 3u^2 + 13u^3
//   k / y  (Algorithm 17, DWDivDW2, with x = k + 0): relative error <= 15u^2 + 56u^3
// both below 2^-102: each operation is at least as accurate as one rounding
// to nearest at 101 bits, provided nothing overflows and no part falls into
// the subnormals. The arithmetic checks that on every result (range_ok()).
// Their products are Dekker's exact ones, by Veltkamp's splitting: the
// baseline x86-64 build has no fused multiply-add, and the compiler then
// contracts nothing, which the algorithms need (checks/ measure the bounds).

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

}  // namespace double_word

// The arithmetic interface of gwr_arithmetic.hpp over double words, with a
// record of whether every result stayed where the bounds hold: zero, or of
// magnitude within [2^-800, 2^800]. Then the low parts (at least 2^-106 of
// the high ones) stay normal, Dekker's products (of a difference d and
// k / d, at most 2^810 each) stay finite, and so does every sum.
class GwrDoubleWord {
public:
    using Value = DoubleWord;

    static Value make() { return {}; }
    static void zero(Value& d) { d = {}; }
    static void assign(Value& d, const Value& x) { d = x; }
    void add(Value& d, const Value& x, const Value& y) { d = checked(double_word::add(x, y)); }
    void sub(Value& d, const Value& x, const Value& y) {
        d = checked(double_word::add(x, DoubleWord{-y.hi, -y.lo}));
    }
    static bool is_zero(const Value& x) { return x.hi == 0; }
    void divide_into(Value& d, std::uint64_t k, const Value& x) {
        d = checked(double_word::divide_into(static_cast<double>(k), x));
    }

    // Whether every result since reset() stayed in range.
    bool range_ok() const noexcept { return !out_of_range_; }
    void reset() noexcept { out_of_range_ = false; }
    // Whether a value made elsewhere may enter.
    static bool in_range(double hi) {
        const double magnitude = std::fabs(hi);
        return hi == 0 || (magnitude >= smallest && magnitude <= largest);
    }

private:
    static constexpr double smallest = 0x1p-800;
    static constexpr double largest = 0x1p800;

    Value checked(const Value& v) {
        out_of_range_ = out_of_range_ || !in_range(v.hi);
        return v;
    }

    bool out_of_range_ = false;
};
