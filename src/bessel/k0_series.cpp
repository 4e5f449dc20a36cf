// K_0 by its ascending series (Abramowitz & Stegun 9.6.13, DLMF 10.31.2):
//
//   K_0(x) = -(ln(x/2) + gamma) I_0(x) + sum_{k>=1} H_k q^k / (k!)^2,
//   q = x^2/4,  H_k = 1 + 1/2 + ... + 1/k.
//
// The sum starts from the large negative -(ln(x/2) + gamma) I_0(x) and climbs
// back to K_0(x) ~ e^-x, so about x·log2(e) leading bits cancel; the callers'
// series precision carries that many extra bits. Euler's constant is read from
// a 50-place decimal text at the working precision, so above about 166 bits
// its own accuracy bounds the result. The sum stops when a term is zero, when
// term/sum falls below 1e-50 (from k = 11 on), or at k = 99999.

#include "bessel/k0_series.hpp"

#include <cstdint>

#include "bessel/power_series.hpp"
#include "bessel/series_stop.hpp"

namespace {

constexpr const char* euler_gamma_text = "0.57721566490153286060651209008240243104215933593992";

// Every index k <= 99999 < 2^17 is exact from 17 bits on; there 1/k formed
// as 1 / (k at `bits` bits) equals 1 divided by the integer k, both rounded
// once, so mpfr_div_ui does it without setting k first. The series precision
// of the callers is at least 30 bits.
constexpr Bits exact_index_bits = 17;

}  // namespace

WorkingValue bessel_k0_series(const WorkingValue& x, Bits bits) {
    return bessel_k0_series(x, bits, bessel_i0_series(x, bits));
}

WorkingValue bessel_k0_series(const WorkingValue& x, Bits bits, const WorkingValue& i0) {
    WorkingValue gamma(bits);
    set_decimal(gamma, euler_gamma_text);
    WorkingValue s(bits);
    div_ui(s, x, 2);
    log(s, s);
    add(s, s, gamma);
    neg(s, s);
    mul(s, s, i0);

    // k = 1: T = q and H = 1, so H·T is T itself, exactly.
    WorkingValue q = quarter_square(x, bits);
    WorkingValue t(bits);
    set(t, q);
    add(s, s, t);

    WorkingValue h(bits);
    set_si(h, 1);
    WorkingValue reciprocal(bits);
    WorkingValue v(bits);
    ToleranceTest tolerance(bits);
    LoopPoll poll(bits);
    for (std::uint64_t k = 2; k <= last_series_index; ++k) {
        mul(t, t, q);
        div_ui(t, t, k * k);
        set_si(reciprocal, 1);
        if (bits >= exact_index_bits) {
            div_ui(reciprocal, reciprocal, k);
        } else {
            WorkingValue index(bits);
            set_uj(index, k);
            div(reciprocal, reciprocal, index);
        }
        add(h, h, reciprocal);
        mul(v, h, t);
        add(s, s, v);
        // A NaN sum (x < 0 makes ln(x/2) NaN) stays NaN whatever is added:
        // the remaining passes could not change it.
        if (is_zero(v) || is_nan(s)) {
            break;
        }
        if (k >= first_tested_index && tolerance.negligible(v, s)) {
            break;
        }
        poll.pass(k);
    }
    return s;
}
