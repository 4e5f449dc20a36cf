#pragma once
// The two arithmetics the series loops are written over, with one interface:
// MpfrArithmetic over working values (any precision) and LimbArithmetic<N>
// over limb_float values (up to limb_float::max_limbs limbs). Every operation
// of both rounds once to nearest at the same precision, so a loop written
// once over this interface gives the same bits in either: the fixed-size one
// is only faster. No Python header.
//
// The interface, for an arithmetic `a` at `bits` bits and values d, x, y:
//   a.one(), a.scratch()           1, and a value to write into
//   a.assign(d, x)                 d = x
//   a.mul(d, x, y), a.add(d, x, y) d = x * y, d = x + y
//   a.square_divisor(k)            the exact integers k^2, k(k+1) and k rounded
//   a.pronic_divisor(k)              to `bits` bits, as divisors; made apart
//   a.index_divisor(k)               from the division, ahead of the value it divides
//   a.divide(d, x, divisor)        d = x / divisor
//   a.mul_divide(d, x, y, divisor) d = (x * y) / divisor, two roundings
//   a.reciprocal(d, divisor)       d = 1 / divisor
//   a.div_eight_index(d, x, k)     d = x / (8k)
//   a.mul_factor(d, x, f)          d = x * f for an integer-valued double f, f first
//                                  rounded to `bits` bits
//   a.is_zero(x), is_nan, is_inf, is_regular, exponent(x), greater_abs(x, y)
//   a.quotient_magnitude(x, y)     |x / y| rounded to `bits` bits, then to a double

#include <cmath>
#include <cstdint>
#include <optional>

#include "core/limb/limb_bridge.hpp"
#include "core/limb/limb_division.hpp"
#include "core/precision/working_value.hpp"

// MPFR's own operations; the value type is WorkingValue.
class MpfrArithmetic {
public:
    using Value = WorkingValue;

    explicit MpfrArithmetic(Bits bits) : bits_(bits) {}
    Bits bits() const { return bits_; }

    Value one() const {
        Value v(bits_);
        set_si(v, 1);
        return v;
    }
    Value scratch() const { return Value(bits_); }
    void assign(Value& d, const Value& x) const { set(d, x); }
    void mul(Value& d, const Value& x, const Value& y) const { ::mul(d, x, y); }
    void add(Value& d, const Value& x, const Value& y) const { ::add(d, x, y); }
    // k < 2^31 in every caller: k(k+1) and 8k fit the 64-bit unsigned long.
    using Divisor = unsigned long;
    static Divisor square_divisor(std::uint64_t k) { return k * k; }
    static Divisor pronic_divisor(std::uint64_t k) { return k * (k + 1); }
    Divisor index_divisor(std::uint64_t k) const;
    void divide(Value& d, const Value& x, Divisor divisor) const { div_ui(d, x, divisor); }
    void mul_divide(Value& d, const Value& x, const Value& y, Divisor divisor) const {
        ::mul(d, x, y);
        div_ui(d, d, divisor);
    }
    void reciprocal(Value& d, Divisor divisor) const {
        set_si(d, 1);  // 1 is exact at every precision
        div_ui(d, d, divisor);
    }
    void div_eight_index(Value& d, const Value& x, std::uint64_t k) const { div_ui(d, x, 8 * k); }
    void mul_factor(Value& d, const Value& x, double f);

    static bool is_zero(const Value& v) { return ::is_zero(v); }
    static bool is_nan(const Value& v) { return ::is_nan(v); }
    static bool is_inf(const Value& v) { return ::is_inf(v); }
    static bool is_regular(const Value& v) { return ::is_regular(v); }
    static long exponent(const Value& v) { return ::exponent(v); }
    static bool greater_abs(const Value& x, const Value& y) { return ::greater_abs(x, y); }
    double quotient_magnitude(const Value& x, const Value& y);

private:
    Bits bits_;
    std::optional<WorkingValue> scratch_;  // made on first need, for the rare steps that want one
};

// The fixed-size operations of limb_float for N limbs. Its values must be
// regular (zero only as a sum), and a factor's magnitude below 2^53: the
// callers import their inputs (limb_bridge.hpp) and check the factor's bound.
template <int N>
class LimbArithmetic {
public:
    using Value = limb_float::Value<N>;

    explicit LimbArithmetic(Bits bits)
        : bits_(bits), format_(static_cast<int>(bits), N), exact_(bits) {}
    Bits bits() const { return bits_; }

    std::optional<Value> take(const WorkingValue& v) const {
        return limb_float::import_value<N>(v);
    }
    // v when it is regular (not zero) and of moderate exponent.
    std::optional<Value> take_regular(const WorkingValue& v) const {
        std::optional<Value> out = take(v);
        if (out && out->zero) {
            out.reset();
        }
        return out;
    }
    WorkingValue give(const Value& v) const {
        WorkingValue out(bits_);
        limb_float::export_value(out, v);
        return out;
    }

    static Value one() { return limb_float::one<N>(); }
    static Value scratch() { return Value{}; }
    [[gnu::always_inline]] void assign(Value& d, const Value& x) const { d = x; }
    [[gnu::always_inline]] void mul(Value& d, const Value& x, const Value& y) const {
        d = limb_float::mul(x, y, format_);
    }
    [[gnu::always_inline]] void add(Value& d, const Value& x, const Value& y) const {
        d = limb_float::add(x, y, format_);
    }
    using Divisor = limb_float::Divisor<N>;
    static Divisor square_divisor(std::uint64_t k) { return limb_float::divisor_square<N>(k); }
    static Divisor pronic_divisor(std::uint64_t k) { return limb_float::divisor_pronic<N>(k); }
    [[gnu::always_inline]] Divisor index_divisor(std::uint64_t k) const {
        const limb_float::Limb rounded = limb_float::round_integer(k, format_.bits);
        return rounded == k ? limb_float::divisor_index<N>(k) : Divisor(rounded);
    }
    [[gnu::always_inline]] void divide(Value& d, const Value& x, const Divisor& divisor) const {
        d = limb_float::div_integer(x, divisor, format_);
    }
    // One expression, so that the product never needs a place in memory.
    [[gnu::always_inline]] void mul_divide(Value& d, const Value& x, const Value& y,
                                           const Divisor& divisor) const {
        d = limb_float::div_integer(limb_float::mul(x, y, format_), divisor, format_);
    }
    [[gnu::always_inline]] void reciprocal(Value& d, const Divisor& divisor) const {
        d = limb_float::div_integer(one(), divisor, format_);
    }
    // x / (8k) = (x / k) / 8 exactly when rounding to nearest: scaling by a
    // power of two commutes with it (the exponents stay far from MPFR's limits).
    [[gnu::always_inline]] void div_eight_index(Value& d, const Value& x, std::uint64_t k) const {
        d = limb_float::div_integer(x, limb_float::divisor_index<N>(k), format_);
        d.e -= 3;
    }
    // Setting f at `bits` bits rounds |f| like round_integer, the sign apart.
    [[gnu::always_inline]] void mul_factor(Value& d, const Value& x, double f) const {
        const auto magnitude = static_cast<limb_float::Limb>(std::fabs(f));
        const limb_float::Limb factor = limb_float::round_integer(magnitude, format_.bits);
        d = limb_float::mul_integer(x, factor, f < 0, format_);
    }

    static bool is_zero(const Value& v) { return v.zero; }
    static constexpr bool is_nan(const Value&) { return false; }
    static constexpr bool is_inf(const Value&) { return false; }
    static bool is_regular(const Value& v) { return !v.zero; }
    static long exponent(const Value& v) { return static_cast<long>(v.e); }
    static bool greater_abs(const Value& x, const Value& y) { return limb_float::greater_abs(x, y); }
    // Rare (the exponents decide nearly every stop test): through MPFR. x
    // and y by value, so that the loop's own values never need an address,
    // which would keep them in memory instead of registers.
    [[gnu::noinline, gnu::cold]] double quotient_magnitude(Value x, Value y) {
        if (!x_) {
            x_.emplace(bits_);
            y_.emplace(bits_);
        }
        limb_float::export_value(*x_, x);
        limb_float::export_value(*y_, y);
        return exact_.quotient_magnitude(*x_, *y_);
    }

private:
    Bits bits_;
    limb_float::Format format_;
    MpfrArithmetic exact_;
    std::optional<WorkingValue> x_;
    std::optional<WorkingValue> y_;
};

// Runs loop(arithmetic) with the LimbArithmetic for `bits` and returns what it
// returns (a std::optional<R>: empty when the loop declines its inputs), or
// nothing when `bits` is beyond the fixed sizes.
template <class R, class Loop>
std::optional<R> on_limbs(Bits bits, Loop&& loop) {
    std::optional<R> out;
    limb_float::with_limbs(bits, [&](auto limbs) {
        LimbArithmetic<decltype(limbs)::value> arithmetic(bits);
        out = loop(arithmetic);
    });
    return out;
}
