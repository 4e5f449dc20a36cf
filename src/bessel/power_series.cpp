// The ascending series of the modified Bessel functions of the first kind
// (Abramowitz & Stegun 9.6.10, DLMF 10.25.2):
//
//   I_0(v) = sum_{k>=0} q^k / (k!)^2,   I_1(v) = (v/2) sum_{k>=0} q^k / (k! (k+1)!),
//   q = v^2/4.
//
// Term k is term k-1 times q, divided by k^2 (I_0) or k(k+1) (I_1). For real v
// every term is >= 0, so the partial sums grow and lose nothing to
// cancellation; the cancellation comes later, in e^-x I(x) and in the K
// series, and the callers pay for it with a precision raised by log2(e)·x
// bits. The sum stops when a term is zero, when term/sum falls below 1e-50
// (tested from k = 11 on), or at k = 99999.
//
// Up to 256 bits the loop runs in fixed-size exact arithmetic (limb_series.hpp),
// which rounds every step exactly as MPFR does; beyond, and for a q that is
// zero or not finite, in MPFR.

#include "bessel/power_series.hpp"

#include <cstdint>
#include <optional>

#include "bessel/limb_series.hpp"
#include "bessel/series_stop.hpp"

namespace {

// Once the sum is NaN it stays NaN (NaN + t), and once q is +inf every term is
// +inf and so is the sum (1 + inf, then inf + inf): nothing a later pass does
// can change the value returned, so the loop may end there. The first case
// does not arise from the arguments served here; the second is x = -inf,
// which otherwise runs all 99999 passes.
bool sum_is_final(const WorkingValue& sum, const WorkingValue& q) {
    return is_nan(sum) || is_inf(q);
}

// sum_{k>=0} q^k / (k! (k+n)!) for n = 0 or 1, term by term at `bits` bits.
WorkingValue mpfr_ascending_sum(const WorkingValue& q, Bits bits, SeriesOrder order) {
    WorkingValue sum(bits);
    WorkingValue term(bits);
    set_si(sum, 1);
    set_si(term, 1);
    ToleranceTest tolerance(bits);
    LoopPoll poll(bits);
    for (std::uint64_t k = 1; k <= last_series_index; ++k) {
        // k(k+1) <= 99999 * 100000 fits easily in the 64-bit unsigned long.
        unsigned long divisor = order == SeriesOrder::zero ? k * k : k * (k + 1);
        mul(term, term, q);
        div_ui(term, term, divisor);
        add(sum, sum, term);
        if (is_zero(term) || sum_is_final(sum, q)) {
            break;
        }
        if (k >= first_tested_index && tolerance.negligible(term, sum)) {
            break;
        }
        poll.pass(k);
    }
    return sum;
}

WorkingValue ascending_sum(const WorkingValue& q, Bits bits, SeriesOrder order) {
    std::optional<WorkingValue> fast;
    limb_float::with_limbs(bits, [&](auto limbs) {
        constexpr int n = decltype(limbs)::value;
        std::optional<limb_float::Value<n>> ratio = limb_float::import_value<n>(q);
        if (ratio && !ratio->zero) {
            fast.emplace(bits);
            limb_float::export_value(*fast, limb_ascending_sum<n>(*ratio, bits, order, nullptr));
        }
    });
    if (fast) {
        return std::move(*fast);
    }
    return mpfr_ascending_sum(q, bits, order);
}

}  // namespace

WorkingValue quarter_square(const WorkingValue& v, Bits bits) {
    WorkingValue q(bits);
    mul(q, v, v);
    div_ui(q, q, 4);
    return q;
}

WorkingValue bessel_i0_series(const WorkingValue& v, Bits bits) {
    return ascending_sum(quarter_square(v, bits), bits, SeriesOrder::zero);
}

WorkingValue bessel_i1_series(const WorkingValue& v, Bits bits) {
    WorkingValue sum = ascending_sum(quarter_square(v, bits), bits, SeriesOrder::one);
    WorkingValue h(bits);
    div_ui(h, v, 2);
    mul(h, h, sum);
    return h;
}
