#pragma once
// A rational F(s) (sums, products, quotients and integer powers of s, the
// parameters and rational constants) at the real samples of a limb GWR
// level, in limb arithmetic with a rigorous relative error bound per value,
// instead of Arb's balls. No Python header.
//
// Why. At the first level of 15 and 30 digits, a sample of 1/(s+1) in Arb
// costs about as much as the whole rho algorithm: each ball operation pays
// for Arb's generality (radius arithmetic, allocation checks, exact-point
// handling) at two or three limbs. Here each operation is one correctly
// rounded limb_float step at the precision of the level's limbs (64N bits,
// at least 16 more than the level's), and its error bound one or two double
// operations.
//
// The bound. Each value v carries eps with |v - V| <= eps |v|, V the exact
// value. A correctly rounded step adds u = 2^-64N relative to its result:
//   product:   eps = (u + ex + ey + ex ey) / (1 - u)
//   reciprocal: eps = (u + ey / (1 - ey)) / (1 - u)
//   sum:       |x| ex + |y| ey + u |x + y|, over |z|; with |x| < 2^(e_x) and
//              |z| >= 2^(e_z - 1): eps = ex 2^(e_x - e_z + 1) + ey 2^(e_y - e_z + 1) + u / (1 - u)
// each taken in doubles and raised by a factor that covers the doubles' own
// rounding. A quotient is a reciprocal and a product. Where a value is zero
// (an exact cancellation or a zero parameter), where the bound reaches 1/2,
// or where the result's bound falls short of the level's precision, the
// sample is left to Arb (the caller's AccurateEvaluator), which raises its
// precision as it needs: this evaluator only ever serves samples it can
// vouch for to the level's full precision.

#include <arb.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/gwr/gwr_arithmetic.hpp"
#include "core/limb/limb_double.hpp"
#include "core/limb/limb_float.hpp"
#include "core/limb/limb_quotient.hpp"
#include "core/precision/working_value.hpp"
#include "engine/program/arb_value.hpp"
#include "engine/program/program.hpp"

namespace limb_rational {

// Whether every instruction of the program is one this evaluator takes.
bool supports(const Program& program);

// The largest integer exponent taken (repeated products beyond it lose
// more than the guard bits would cover).
constexpr std::int64_t largest_power = 64;

// The relative size of the doubles' own rounding in the bounds, covered
// many times over: each bound is a handful of double operations.
constexpr double bound_margin = 1.0 + 0x1p-40;

}  // namespace limb_rational

template <int N>
class LimbRationalEvaluator {
public:
    using Value = limb_float::Value<N>;

    // For a program that limb_rational::supports, at `bits` bits, 64N >= bits + 16.
    LimbRationalEvaluator(const Program& program, Bits bits)
        : program_(program), bits_(bits), format_(64 * N, N),
          sample_format_(static_cast<int>(bits), N),
          unit_(std::ldexp(1.0, -64 * N)), registers_(program.code().size()),
          bounds_(program.code().size()) {
        // The constants once, each rounded to 64N bits (exact where it fits).
        ArbValue ball;
        ArfValue rounded;
        for (const ExactRational& q : program.constants()) {
            arb_set_fmpq(ball.get(), q.get(), 64 * N + 32);
            Constant c;
            if (arf_is_zero(arb_midref(ball.get()))) {
                c.usable = false;
            } else {
                const int inexact =
                    arf_set_round(rounded.get(), arb_midref(ball.get()), 64 * N, ARF_RND_NEAR);
                c.value = Value{};
                mp_srcptr limbs = nullptr;
                mp_size_t count = 0;
                ARF_GET_MPN_READONLY(limbs, count, rounded.get());
                for (mp_size_t i = 0; i < count; ++i) {
                    c.value.m[static_cast<std::size_t>(N - count + i)] = limbs[i];
                }
                c.value.e = fmpz_get_si(ARF_EXPREF(rounded.get()));
                c.value.negative = ARF_SGNBIT(rounded.get()) != 0;
                // The ball's radius is below 2^-(64N + 31) of the value; the
                // rounding adds at most u.
                const bool exact = arb_is_exact(ball.get()) && inexact == 0;
                c.bound = exact ? 0.0 : unit_ * (1.0 + 0x1p-30);
                c.usable = std::abs(c.value.e) < exponent_limit;
            }
            constants_.push_back(c);
        }
    }

    // F(k a) with a of the level's precision (N limbs): the sample rounded to
    // the level's bits into `sample`, its accuracy in bits (at least the
    // level's) and its exponent (|F| < 2^exponent). False where it cannot
    // vouch for the level's precision: the caller evaluates that sample in Arb.
    bool sample(const Value& a, std::uint64_t k, const double* parameters, Value& sample,
                slong& accuracy, slong& exponent) {
        using limb_rational::bound_margin;
        const std::vector<Instruction>& code = program_.code();
        for (std::size_t i = 0; i < code.size(); ++i) {
            const Instruction& in = code[i];
            Value& z = registers_[i];
            double& ez = bounds_[i];
            switch (in.op) {
                case Op::s:
                    // k a: exact when its bits fit in 64N, as they do for k < 2^16.
                    store_limb_value(z, limb_float::mul_integer(a, k, false, format_));
                    ez = static_cast<std::uint64_t>(bits_) + std::bit_width(k) <= 64u * N
                             ? 0.0 : unit_;
                    break;
                case Op::param: {
                    const double p = parameters[in.a];
                    if (!std::isfinite(p) || p == 0.0) {
                        return false;
                    }
                    store_limb_value(z, limb_float::from_double<N>(p));
                    ez = 0.0;
                    break;
                }
                case Op::constant: {
                    const Constant& c = constants_[in.a];
                    if (!c.usable) {
                        return false;
                    }
                    store_limb_value(z, c.value);
                    ez = c.bound;
                    break;
                }
                case Op::neg:
                    store_limb_value(z, registers_[in.a]);
                    z.negative = !z.negative;
                    ez = bounds_[in.a];
                    break;
                case Op::add:
                case Op::sub: {
                    const Value& x = registers_[in.a];
                    Value y;
                    store_limb_value(y, registers_[static_cast<std::size_t>(in.b)]);
                    if (in.op == Op::sub) {
                        y.negative = !y.negative;
                    }
                    store_limb_value(z, limb_float::add(x, y, format_));
                    if (z.zero) {
                        return false;
                    }
                    const double ex = bounds_[in.a];
                    const double ey = bounds_[static_cast<std::size_t>(in.b)];
                    ez = (std::ldexp(ex, scale_exponent(x.e - z.e + 1)) +
                          std::ldexp(ey, scale_exponent(y.e - z.e + 1)) +
                          unit_ * (1.0 + 2.0 * unit_)) * bound_margin;
                    break;
                }
                case Op::mul:
                    ez = product(registers_[in.a], bounds_[in.a],
                                 registers_[static_cast<std::size_t>(in.b)],
                                 bounds_[static_cast<std::size_t>(in.b)], z);
                    break;
                case Op::div: {
                    Value r;
                    const double er = reciprocal(registers_[static_cast<std::size_t>(in.b)],
                                                 bounds_[static_cast<std::size_t>(in.b)], r);
                    const Value& x = registers_[in.a];
                    if (is_one(x) && bounds_[in.a] == 0.0) {
                        store_limb_value(z, r);  // 1 / y: the reciprocal itself
                        ez = er;
                    } else {
                        ez = product(x, bounds_[in.a], r, er, z);
                    }
                    break;
                }
                case Op::powi:
                    ez = power(registers_[in.a], bounds_[in.a], in.b, z);
                    break;
                default:
                    return false;  // not taken (supports() says so)
            }
            // A zero operand, a bound that says little, or an exponent far out:
            // Arb's way for this sample.
            if (z.zero || !(ez < 0.5) || std::abs(z.e) >= exponent_limit) {
                return false;
            }
        }
        const Value& f = registers_.back();
        const double bound = bounds_.back();
        // The bound in bits, rounded down (bound < 2^(ilogb + 1), so -ilogb - 1
        // bits at least); the level's precision or Arb's way.
        const slong reached = bound == 0.0 ? ARF_PREC_EXACT
                                           : -static_cast<slong>(std::ilogb(bound)) - 1;
        if (reached < static_cast<slong>(bits_)) {
            return false;
        }
        // Rounded to the level's bits, as the Arb way rounds its midpoint.
        std::array<limb_float::Limb, N + 1> w{};
        for (int i = 0; i < N; ++i) {
            w[i + 1] = f.m[i];
        }
        store_limb_value(sample, limb_float::round_nearest<N, N + 1>(w, false, f.e, f.negative,
                                                                     sample_format_));
        accuracy = reached;
        exponent = f.e;
        return true;
    }

private:
    struct Constant {
        Value value;
        double bound = 0.0;
        bool usable = false;
    };

    // Exponents this far out are left to Arb (2^30: far inside the range of
    // the limb arithmetic's 64-bit exponents and of MPFR's).
    static constexpr std::int64_t exponent_limit = std::int64_t{1} << 30;

    // An exponent difference for ldexp, clamped where the double saturates
    // anyway (to 0 or to infinity, which sends the sample to Arb).
    static int scale_exponent(std::int64_t d) {
        return static_cast<int>(std::clamp<std::int64_t>(d, -4096, 4096));
    }

    static bool is_one(const Value& x) {
        if (x.zero || x.negative || x.e != 1 || x.m[N - 1] != limb_float::top_bit) {
            return false;
        }
        for (int i = 0; i < N - 1; ++i) {
            if (x.m[i] != 0) {
                return false;
            }
        }
        return true;
    }

    // z = x y and its bound (1 for a zero operand: Arb's way).
    double product(const Value& x, double ex, const Value& y, double ey, Value& z) const {
        if (x.zero || y.zero) {
            z = Value{};
            z.zero = true;
            return 1.0;
        }
        store_limb_value(z, limb_float::mul(x, y, format_));
        return (unit_ + ex + ey + ex * ey) * (1.0 + 2.0 * unit_) * limb_rational::bound_margin;
    }

    // r = 1 / y and its bound (1 where y is zero or its bound too wide).
    double reciprocal(const Value& y, double ey, Value& r) const {
        if (y.zero || !(ey < 0.5)) {
            r = Value{};
            r.zero = true;
            return 1.0;
        }
        store_limb_value(r, limb_float::divide_into(1, y, format_));
        return (unit_ + ey / (1.0 - ey)) * (1.0 + 2.0 * unit_) * limb_rational::bound_margin;
    }

    // z = x^n by squaring, a negative n through the reciprocal; its bound.
    double power(const Value& x, double ex, std::int64_t n, Value& z) const {
        if (n == 0 || n < -limb_rational::largest_power || n > limb_rational::largest_power) {
            z = Value{};
            z.zero = true;
            return 1.0;  // not taken: supports() refuses these
        }
        std::uint64_t left = static_cast<std::uint64_t>(n < 0 ? -n : n);
        Value base = x;
        double eb = ex;
        bool have = false;
        double ez = 0.0;
        while (true) {
            if ((left & 1) != 0) {
                if (!have) {
                    z = base;
                    ez = eb;
                    have = true;
                } else {
                    Value t;
                    ez = product(z, ez, base, eb, t);
                    z = t;
                }
            }
            left >>= 1;
            if (left == 0) {
                break;
            }
            Value t;
            eb = product(base, eb, base, eb, t);
            base = t;
            if (!(eb < 0.5)) {
                return 1.0;
            }
        }
        if (n < 0) {
            Value r;
            ez = reciprocal(z, ez, r);
            z = r;
        }
        return ez;
    }

    const Program& program_;
    Bits bits_;
    limb_float::Format format_;         // 64N bits: the evaluation
    limb_float::Format sample_format_;  // the level's bits: the samples
    double unit_;                       // 2^-64N
    std::vector<Constant> constants_;
    std::vector<Value> registers_;
    std::vector<double> bounds_;
};
