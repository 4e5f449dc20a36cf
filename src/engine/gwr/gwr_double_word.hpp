#pragma once
// GWR's arithmetic interface (gwr_arithmetic.hpp) over double words, for the
// rho table of double samples. No MPFR, no Python header.

#include <cmath>
#include <cstdint>

#include "engine/bessel/double_word.hpp"

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
