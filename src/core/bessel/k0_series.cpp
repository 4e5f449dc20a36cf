// K_0 by its ascending series (Abramowitz & Stegun 9.6.13, DLMF 10.31.2):
//
//   K_0(x) = -(ln(x/2) + gamma) I_0(x) + sum_{k>=1} H_k q^k / (k!)^2,
//   q = x^2/4,  H_k = 1 + 1/2 + ... + 1/k.
//
// The sum starts from the large negative -(ln(x/2) + gamma) I_0(x) (~e^x)
// and climbs back to K_0(x) ~ e^-x, so about 2x log2(e) leading bits cancel;
// the callers' series precision carries them. With Euler's constant read
// from a 50-place decimal text, its own accuracy bounds the result above
// about 166 bits. The sum stops when a term is zero, when the caller's rule
// says so, or at its last index.
//
// Its terms q^k / (k!)^2 are those of the I_0 series, computed by the same
// steps: where the precision fits a fixed size the I_0 loop records them and
// the K_0 loop reuses them, both in fixed-size exact arithmetic
// (series_arithmetic.hpp), which rounds every step exactly as MPFR does.

#include "core/bessel/k0_series.hpp"

#include <cstdint>
#include <optional>
#include <utility>

#include "core/bessel/ascending_sum.hpp"
#include "core/bessel/power_series.hpp"
#include "core/bessel/series_arithmetic.hpp"

namespace {

constexpr const char* euler_gamma_text = "0.57721566490153286060651209008240243104215933593992";

// -(ln(x/2) + gamma) I_0(x): the sum before its first term.
WorkingValue head(const WorkingValue& x, Bits bits, const WorkingValue& i0, EulerConstant source) {
    WorkingValue gamma(bits);
    if (source == EulerConstant::fifty_places) {
        set_decimal(gamma, euler_gamma_text);
    } else {
        set_euler_gamma(gamma);
    }
    WorkingValue s(bits);
    div_ui(s, x, 2);
    log(s, s);
    add(s, s, gamma);
    neg(s, s);
    mul(s, s, i0);
    return s;
}

// s + sum_{k>=1} H_k T_k, the terms T_k taken from `record` where it has them.
template <class Arithmetic, class Record>
typename Arithmetic::Value k0_tail(Arithmetic& arithmetic, const typename Arithmetic::Value& q,
                                   typename Arithmetic::Value s, const Record& record,
                                   const SeriesRule& rule) {
    using Value = typename Arithmetic::Value;
    // k = 1: T = q and H = 1, so H·T is T itself, exactly.
    Value t = arithmetic.scratch();
    arithmetic.assign(t, q);
    arithmetic.add(s, s, t);
    Value h = arithmetic.one();
    Value reciprocal = arithmetic.scratch();
    Value v = arithmetic.scratch();
    LoopPoll poll(arithmetic.bits());
    for (std::uint64_t k = 2; k <= rule.last_index; ++k) {
        const auto index = arithmetic.index_divisor(k);
        if (const Value* kept = record.term(k)) {
            arithmetic.assign(t, *kept);
        } else {
            arithmetic.mul_divide(t, t, q, arithmetic.square_divisor(k));
        }
        arithmetic.reciprocal(reciprocal, index);
        arithmetic.add(h, h, reciprocal);
        arithmetic.mul(v, h, t);
        arithmetic.add(s, s, v);
        // A NaN sum (x < 0 makes ln(x/2) NaN) stays NaN whatever is added:
        // the remaining passes could not change it.
        if (arithmetic.is_zero(v) || arithmetic.is_nan(s)) {
            break;
        }
        if (series_may_stop(arithmetic, rule, k, v, s)) {
            break;
        }
        poll.pass(k);
    }
    return s;
}

WorkingValue mpfr_tail(const WorkingValue& q, Bits bits, WorkingValue s, const SeriesRule& rule) {
    MpfrArithmetic arithmetic(bits);
    return k0_tail(arithmetic, q, std::move(s), NoTermRecord<WorkingValue>{}, rule);
}

// Both series in fixed-size exact arithmetic, when the precision and q allow;
// the tail in MPFR when the head is not finite (x < 0 makes it NaN).
std::optional<K0Series> limb_k0_i0_series(const WorkingValue& x, const WorkingValue& q, Bits bits,
                                          const SeriesRule& rule, EulerConstant gamma) {
    return on_limbs<K0Series>(bits, [&](auto& arithmetic) -> std::optional<K0Series> {
        using Value = typename std::remove_reference_t<decltype(arithmetic)>::Value;
        std::optional<Value> ratio = arithmetic.take_regular(q);
        if (!ratio) {
            return std::nullopt;
        }
        TermRecord<Value> record;
        WorkingValue i0 = arithmetic.give(
            ascending_sum(arithmetic, *ratio, SeriesOrder::zero, rule, record));
        WorkingValue s = head(x, bits, i0, gamma);
        if (std::optional<Value> start = arithmetic.take(s)) {
            return K0Series{arithmetic.give(k0_tail(arithmetic, *ratio, *start, record, rule)),
                            std::move(i0)};
        }
        return K0Series{mpfr_tail(q, bits, std::move(s), rule), std::move(i0)};
    });
}

}  // namespace

K0Series bessel_k0_i0_series(const WorkingValue& x, Bits bits, const SeriesRule& rule,
                             EulerConstant gamma) {
    WorkingValue q = quarter_square(x, bits);
    if (std::optional<K0Series> fast = limb_k0_i0_series(x, q, bits, rule, gamma)) {
        return std::move(*fast);
    }
    WorkingValue i0 = bessel_i0_series(x, bits, rule);
    WorkingValue k0 = mpfr_tail(q, bits, head(x, bits, i0, gamma), rule);
    return K0Series{std::move(k0), std::move(i0)};
}

WorkingValue wronskian_k1(const WorkingValue& x, const K0Series& k0_i0, const WorkingValue& i1,
                          Bits bits) {
    WorkingValue u(bits);
    ui_div(u, 1, x);  // 1 is exact at every precision: one rounding of 1/x
    WorkingValue t(bits);
    mul(t, i1, k0_i0.k0);
    sub(u, u, t);
    div(u, u, k0_i0.i0);
    return u;
}
