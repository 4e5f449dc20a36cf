#pragma once
// The two arithmetics the GWR core is written over: GwrMpfr over working
// values at any precision (gwr_rust's, bit for bit as ever), and GwrLimb<N>
// over limb_float values of N limbs (the engine's ordinary precisions, where
// MPFR's per-call overhead, thread-local flags among it, costs more than the
// arithmetic). Every operation of both rounds once to nearest into the
// destination's precision, so the loops written once over them follow the
// same steps. No Python header.
//
// The interface, for values d, x, y of an arithmetic a:
//   a.make()                      a value of a's precision (0 until set)
//   a.zero(d), a.assign(d, x)     d = +0, d = x
//   a.mul_integer(d, x, u)        d = x u for a machine integer u > 0
//   a.mul(d, x, y), add, sub      d = x * y, x + y, x - y
//   a.divide_into(d, k, x)        d = k / x for an integer k > 0 and x != 0
//   a.is_zero(x)
// and across two arithmetics (the Gaver sums' and the rho table's):
//   multiply_into(g, r, d, x, y)  d = x * y, x and y of g, d of r

#include <cstdint>
#include <optional>
#include <vector>

#include "core/limb/limb_float.hpp"
#include "core/limb/limb_quotient.hpp"
#include "core/precision/working_value.hpp"

class GwrMpfr {
public:
    using Value = WorkingValue;

    // The quotients' numerators k are held exactly at 64 bits at least, and
    // at the working precision from 64 bits on, so that numerator, divisor
    // and quotient share one precision and MPFR takes its fast division paths
    // for 1 and 2 limbs.
    explicit GwrMpfr(Bits bits) : bits_(bits) {}

    Value make() const { return Value(bits_); }
    static void zero(Value& d) { set_positive_zero(d); }
    static void assign(Value& d, const Value& x) { set(d, x); }
    static void mul_integer(Value& d, const Value& x, unsigned long u) { mul_ui(d, x, u); }
    static void mul(Value& d, const Value& x, const Value& y) { ::mul(d, x, y); }
    static void add(Value& d, const Value& x, const Value& y) { ::add(d, x, y); }
    static void sub(Value& d, const Value& x, const Value& y) { ::sub(d, x, y); }
    static bool is_zero(const Value& x) { return ::is_zero(x); }
    // k / x with k held exactly in a value, rather than passed as a double or
    // an integer: MPFR returns the correctly rounded quotient of the same two
    // exact numbers either way, so the bits agree. A column of the rho table
    // divides by one k throughout, so k is set only when it changes.
    void divide_into(Value& d, std::uint64_t k, const Value& x) {
        if (!order_) {
            order_.emplace(bits_ < 64 ? 64 : bits_);
        }
        if (k != order_k_) {
            set_ui(*order_, k);
            order_k_ = k;
        }
        div(d, *order_, x);
    }

private:
    Bits bits_;
    std::optional<WorkingValue> order_;  // made on first need: the Gaver sums never divide
    std::uint64_t order_k_ = 0;          // the k held in order_; 0 = none yet
};

inline void multiply_into(const GwrMpfr&, const GwrMpfr&, WorkingValue& d, const WorkingValue& x,
                          const WorkingValue& y) {
    mul(d, x, y);  // rounds into d's own precision
}

// d = r field by field. A whole-value copy of a result just made is done by
// the compiler with 16-byte loads from where the result's limbs, exponent and
// flags were stored one by one, which the processor cannot forward from those
// stores: a stall of a dozen cycles per operation, about a third of an
// addition's time in the rho algorithm. Stored by fields, the result goes
// from registers to d directly.
template <int N>
[[gnu::always_inline]] inline void store_limb_value(limb_float::Value<N>& d,
                                                    const limb_float::Value<N>& r) {
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
        d.m[i] = r.m[i];
    }
    d.e = r.e;
    d.negative = r.negative;
    d.zero = r.zero;
}

// limb_float's operations for N limbs. Its values are regular or zero; the
// operations that need regular operands are guarded here, where a zero (an
// exactly cancelling sum, F = 0) gives zero as the MPFR ones would.
template <int N>
class GwrLimb {
public:
    using Value = limb_float::Value<N>;

    explicit GwrLimb(Bits bits) : format_(static_cast<int>(bits), N) {}
    const limb_float::Format& format() const noexcept { return format_; }

    static Value make() { return zero_value(); }
    static void zero(Value& d) { d = zero_value(); }
    static void assign(Value& d, const Value& x) { d = x; }
    void mul_integer(Value& d, const Value& x, unsigned long u) const {
        store_limb_value(d, x.zero ? signed_zero(x.negative)
                                   : limb_float::mul_integer(x, u, false, format_));
    }
    void mul(Value& d, const Value& x, const Value& y) const {
        store_limb_value(d, x.zero || y.zero ? signed_zero(x.negative != y.negative)
                                             : limb_float::mul(x, y, format_));
    }
    void add(Value& d, const Value& x, const Value& y) const {
        store_limb_value(d, limb_float::add(x, y, format_));
    }
    void sub(Value& d, const Value& x, const Value& y) const {
        Value negated = y;
        negated.negative = !y.negative;
        store_limb_value(d, limb_float::add(x, negated, format_));
    }
    static bool is_zero(const Value& x) { return x.zero; }
    void divide_into(Value& d, std::uint64_t k, const Value& x) const {
        store_limb_value(d, limb_float::divide_into(k, x, format_));
    }

private:
    static Value zero_value() {
        Value v;
        v.zero = true;
        return v;
    }
    static Value signed_zero(bool negative) {
        Value v = zero_value();
        v.negative = negative;
        return v;
    }
    limb_float::Format format_;
};

template <int N, int M>
void multiply_into(const GwrLimb<N>&, const GwrLimb<M>& r, limb_float::Value<M>& d,
                   const limb_float::Value<N>& x, const limb_float::Value<N>& y) {
    if (x.zero || y.zero) {
        GwrLimb<M>::zero(d);
        d.negative = x.negative != y.negative;
        return;
    }
    if constexpr (M == N) {
        store_limb_value(d, limb_float::mul(x, y, r.format()));
    } else {
        store_limb_value(d, limb_float::mul_into<M, N>(x, y, r.format()));
    }
}
