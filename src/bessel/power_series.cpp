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

#include "bessel/power_series.hpp"

#include <cstdint>

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

enum class Order { zero, one };

// sum_{k>=0} q^k / (k! (k+n)!) for n = 0 or 1, term by term at `bits` bits.
WorkingValue ascending_sum(const WorkingValue& q, Bits bits, Order order) {
    WorkingValue sum(bits);
    WorkingValue term(bits);
    set_si(sum, 1);
    set_si(term, 1);
    ToleranceTest tolerance(bits);
    LoopPoll poll(bits);
    for (std::uint64_t k = 1; k <= last_series_index; ++k) {
        // k(k+1) <= 99999 * 100000 fits easily in the 64-bit unsigned long.
        unsigned long divisor = order == Order::zero ? k * k : k * (k + 1);
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

}  // namespace

WorkingValue quarter_square(const WorkingValue& v, Bits bits) {
    WorkingValue q(bits);
    mul(q, v, v);
    div_ui(q, q, 4);
    return q;
}

WorkingValue bessel_i0_series(const WorkingValue& v, Bits bits) {
    return ascending_sum(quarter_square(v, bits), bits, Order::zero);
}

WorkingValue bessel_i1_series(const WorkingValue& v, Bits bits) {
    WorkingValue sum = ascending_sum(quarter_square(v, bits), bits, Order::one);
    WorkingValue h(bits);
    div_ui(h, v, 2);
    mul(h, h, sum);
    return h;
}
