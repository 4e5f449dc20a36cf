// The ascending series of the modified Bessel functions of the first kind
// (Abramowitz & Stegun 9.6.10, DLMF 10.25.2):
//
//   I_0(v) = sum_{k>=0} q^k / (k!)^2,   I_1(v) = (v/2) sum_{k>=0} q^k / (k! (k+1)!),
//   q = v^2/4.
//
// Term k is term k-1 times q, divided by k^2 (I_0) or k(k+1) (I_1). For real v
// every term is >= 0, so the partial sums grow and lose nothing to
// cancellation; the cancellation comes later, in e^-x I(x) and in the K
// series, and the callers pay for it with a raised precision. The sum stops
// when a term is zero, when the caller's rule says so, or at its last index.
//
// Where the precision fits a fixed size (limb_bridge.hpp) and q is regular,
// the loop runs in fixed-size exact arithmetic, which rounds every step
// exactly as MPFR does; otherwise in MPFR.

#include "core/bessel/power_series.hpp"

#include <optional>

#include "core/bessel/ascending_sum.hpp"
#include "core/bessel/series_arithmetic.hpp"

namespace {

WorkingValue series_sum(const WorkingValue& q, Bits bits, SeriesOrder order,
                        const SeriesRule& rule) {
    std::optional<WorkingValue> fast =
        on_limbs<WorkingValue>(bits, [&](auto& arithmetic) -> std::optional<WorkingValue> {
            using Value = typename std::remove_reference_t<decltype(arithmetic)>::Value;
            std::optional<Value> ratio = arithmetic.take_regular(q);
            if (!ratio) {
                return std::nullopt;
            }
            NoTermRecord<Value> record;
            return arithmetic.give(ascending_sum(arithmetic, *ratio, order, rule, record));
        });
    if (fast) {
        return std::move(*fast);
    }
    MpfrArithmetic arithmetic(bits);
    NoTermRecord<WorkingValue> record;
    return ascending_sum(arithmetic, q, order, rule, record);
}

}  // namespace

WorkingValue quarter_square(const WorkingValue& v, Bits bits) {
    WorkingValue q(bits);
    mul(q, v, v);
    div_ui(q, q, 4);
    return q;
}

WorkingValue bessel_i0_series(const WorkingValue& v, Bits bits, const SeriesRule& rule) {
    return series_sum(quarter_square(v, bits), bits, SeriesOrder::zero, rule);
}

WorkingValue bessel_i1_series(const WorkingValue& v, Bits bits, const SeriesRule& rule) {
    WorkingValue sum = series_sum(quarter_square(v, bits), bits, SeriesOrder::one, rule);
    WorkingValue h(bits);
    div_ui(h, v, 2);
    mul(h, h, sum);
    return h;
}
