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
//
// Its terms q^k / (k!)^2 are those of the I_0 series, computed by the same
// steps; up to 256 bits the I_0 loop records them and the K_0 loop reuses
// them, both in fixed-size exact arithmetic (limb_series.hpp), which rounds every
// step exactly as MPFR does.

#include "bessel/k0_series.hpp"

#include <cstdint>
#include <optional>

#include "bessel/limb_series.hpp"
#include "bessel/power_series.hpp"
#include "bessel/series_stop.hpp"

namespace {

constexpr const char* euler_gamma_text = "0.57721566490153286060651209008240243104215933593992";

// Every index k <= 99999 < 2^17 is exact from 17 bits on; there 1/k formed
// as 1 / (k at `bits` bits) equals 1 divided by the integer k, both rounded
// once, so it can be divided by the integer without setting k first. The
// series precision of the callers is at least 30 bits.
constexpr Bits exact_index_bits = 17;

// -(ln(x/2) + gamma) I_0(x): the sum before its first term.
WorkingValue head(const WorkingValue& x, Bits bits, const WorkingValue& i0) {
    WorkingValue gamma(bits);
    set_decimal(gamma, euler_gamma_text);
    WorkingValue s(bits);
    div_ui(s, x, 2);
    log(s, s);
    add(s, s, gamma);
    neg(s, s);
    mul(s, s, i0);
    return s;
}

WorkingValue mpfr_tail(const WorkingValue& q, Bits bits, WorkingValue s) {
    // k = 1: T = q and H = 1, so H·T is T itself, exactly.
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

// The same loop for a regular q and a finite s: every T, H and V is then
// regular, so only the relative test can stop it (a sum that cancels to
// zero is carried on, as MPFR would).
template <int N>
limb_float::Value<N> limb_tail(const limb_float::Value<N>& q, limb_float::Value<N> s,
                               const TermRecord<N>& record, Bits bits) {
    const limb_float::Format format(static_cast<int>(bits), N);
    limb_float::Value<N> t = q;
    s = limb_float::add(s, t, format);
    limb_float::Value<N> h = limb_float::one<N>();
    LimbTolerance<N> tolerance(bits);
    LoopPoll poll(bits);
    for (std::uint64_t k = 2; k <= last_series_index; ++k) {
        const limb_float::Divisor<N> index = limb_float::divisor_index<N>(k);
        if (k <= record.count) {
            t = record.terms[k - 1];
        } else {
            t = limb_float::mul(t, q, format);
            t = limb_float::div_integer(t, limb_float::divisor_square<N>(k), format);
        }
        const limb_float::Value<N> reciprocal =
            limb_float::div_integer(limb_float::one<N>(), index, format);
        h = limb_float::add(h, reciprocal, format);
        limb_float::Value<N> v = limb_float::mul(h, t, format);
        s = limb_float::add(s, v, format);
        if (k >= first_tested_index && tolerance.negligible(v, s)) {
            break;
        }
        poll.pass(k);
    }
    return s;
}

// Both series in fixed-size exact arithmetic, when the precision and values allow.
std::optional<K0Series> limb_k0_i0_series(const WorkingValue& x, const WorkingValue& q, Bits bits) {
    std::optional<K0Series> out;
    if (bits < exact_index_bits) {
        return out;
    }
    limb_float::with_limbs(bits, [&](auto limbs) {
        constexpr int n = decltype(limbs)::value;
        std::optional<limb_float::Value<n>> ratio = limb_float::import_value<n>(q);
        if (!ratio || ratio->zero) {
            return;
        }
        TermRecord<n> record;
        WorkingValue i0(bits);
        limb_float::export_value(i0,
                                 limb_ascending_sum<n>(*ratio, bits, SeriesOrder::zero, &record));
        WorkingValue s = head(x, bits, i0);
        std::optional<limb_float::Value<n>> start = limb_float::import_value<n>(s);
        if (start) {
            WorkingValue k0(bits);
            limb_float::export_value(k0, limb_tail<n>(*ratio, *start, record, bits));
            out.emplace(K0Series{std::move(k0), std::move(i0)});
        } else {  // NaN (x < 0) or infinite: the MPFR loop, which ends at once for NaN
            out.emplace(K0Series{mpfr_tail(q, bits, std::move(s)), std::move(i0)});
        }
    });
    return out;
}

}  // namespace

K0Series bessel_k0_i0_series(const WorkingValue& x, Bits bits) {
    WorkingValue q = quarter_square(x, bits);
    if (std::optional<K0Series> fast = limb_k0_i0_series(x, q, bits)) {
        return std::move(*fast);
    }
    WorkingValue i0 = bessel_i0_series(x, bits);
    WorkingValue k0 = mpfr_tail(q, bits, head(x, bits, i0));
    return K0Series{std::move(k0), std::move(i0)};
}

WorkingValue bessel_k0_series(const WorkingValue& x, Bits bits) {
    return std::move(bessel_k0_i0_series(x, bits).k0);
}
