// The large-argument expansions (Abramowitz & Stegun 9.7.1 and 9.7.2,
// DLMF 10.40.1-2), with mu = 4n^2:
//
//   I_n(x) ~ e^x / sqrt(2 pi x) sum_k (-1)^k a_k(n) / x^k,
//   K_n(x) ~ sqrt(pi / (2x)) e^-x sum_k a_k(n) / x^k,
//   a_k(n) / x^k = prod_{j=1..k} (mu - (2j-1)^2) / (k! (8x)^k).
//
// The series diverges: its terms shrink until k is near 2x and grow after.
// The sum is cut at the last term that is not larger than the one before it
// (optimal truncation: the error is about the smallest term, some e^-2x
// relative), and at 199 terms at most. From x = 25 on that error is below
// 2^-70, far under a double's half ulp; it, not the working precision, bounds
// the accuracy when many digits are asked for at moderate x.
//
// Up to 256 bits, for finite x and orders below 2^25, the loop runs in
// fixed-size exact arithmetic (limb_float.hpp), which rounds every step exactly as
// MPFR does; otherwise in MPFR.

#include "bessel/large_argument.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "limb/limb_division.hpp"
#include "limb/limb_bridge.hpp"
#include "bessel/series_stop.hpp"

namespace {

constexpr std::uint64_t last_expansion_index = 199;

// prev starts at the largest double, not at the leading 1: the first term is
// always accepted.
constexpr double initial_previous_magnitude = std::numeric_limits<double>::max();

// f_k = +-((2k-1)^2 - mu) in double arithmetic: integer-valued (an odd square
// minus an even integer, either exact or rounded to a double beyond 2^53,
// which is an integer).
double factor_of(std::uint64_t k, double mu, Expansion kind) {
    double odd = static_cast<double>(2 * k - 1);
    return kind == Expansion::first_kind ? odd * odd - mu : mu - odd * odd;
}

// From 53 bits on a double is exact at the working precision, so multiplying
// by the value set from f is one rounding of the exact product: what
// mpfr_mul_si gives for the same integer. Below 53 bits f itself is first
// rounded to the working precision, and mpfr_mul_d or mpfr_mul_si would skip
// that rounding: there f is set first, rounding it, and then multiplied.
constexpr Bits double_exact_bits = 53;
constexpr double long_range_limit = 0x1p63;

void multiply_by_factor(WorkingValue& d, const WorkingValue& t, double f, WorkingValue& scratch,
                        Bits bits) {
    if (bits >= double_exact_bits && std::fabs(f) < long_range_limit) {
        mul_si(d, t, static_cast<long>(f));
    } else {
        set_d(scratch, f);
        mul(d, t, scratch);
    }
}

// After term t was added, can a later pass still change the sum?
//
// Every later term that gets added is no larger than its predecessor, hence
// no larger than |t|. When |t| < ulp(sum)/4, that is exponent(t) <=
// exponent(sum) - bits - 2, adding any of them moves the exact sum by less
// than half an ulp (also below a power of two, where the ulp halves), so
// round-to-nearest gives the same sum back, and the argument repeats. A zero
// term makes every later term zero (0 times a finite factor), which leaves a
// nonzero sum alone; a NaN sum stays NaN.
bool sum_is_final(const WorkingValue& t, const WorkingValue& sum, Bits bits) {
    if (is_nan(sum)) {
        return true;
    }
    if (is_zero(t)) {
        return !is_zero(sum);
    }
    return is_regular(t) && is_regular(sum) &&
           exponent(t) <= exponent(sum) - static_cast<long>(bits) - 2;
}

WorkingValue mpfr_sum(const WorkingValue& reciprocal, const WorkingValue& prev, Bits bits,
                      double mu, Expansion kind) {
    WorkingValue sum(bits);
    set_si(sum, 1);
    WorkingValue term(bits);
    set_si(term, 1);
    WorkingValue next(bits);
    WorkingValue factor(bits);
    LoopPoll poll(bits);
    for (std::uint64_t k = 1; k <= last_expansion_index; ++k) {
        multiply_by_factor(next, term, factor_of(k, mu, kind), factor, bits);
        div_ui(next, next, 8 * k);
        mul(next, next, reciprocal);
        // prev is |term| once a term has been accepted: comparing magnitudes
        // with the accepted term itself is the same test, without the copy.
        if (greater_abs(next, k == 1 ? prev : term)) {
            break;  // the growing term is not added
        }
        add(sum, sum, next);
        std::swap(term, next);
        if (sum_is_final(term, sum, bits)) {
            break;
        }
        poll.pass(k);
    }
    return sum;
}

// Below 2^53 the factors are exact integers under 2^54, never zero (an odd
// square is never 4n^2), so their rounding to `bits` bits is an integer too.
constexpr double limb_mu_limit = 0x1p53;

// The same loop for a regular reciprocal: every term is then regular, so the
// loop ends on a growing term, on the sum becoming final, or at 199 terms.
template <int N>
limb_float::Value<N> limb_loop(const limb_float::Value<N>& reciprocal,
                               const limb_float::Value<N>& prev, Bits bits, double mu,
                               Expansion kind) {
    const limb_float::Format format(static_cast<int>(bits), N);
    limb_float::Value<N> sum = limb_float::one<N>();
    limb_float::Value<N> term = limb_float::one<N>();
    LoopPoll poll(bits);
    for (std::uint64_t k = 1; k <= last_expansion_index; ++k) {
        // x / (8k) = (x / k) / 8 exactly when rounding to nearest: scaling by a
        // power of two commutes with it (the exponents stay far from MPFR's limits).
        const limb_float::Divisor<N> divisor = limb_float::divisor_index<N>(k);
        double f = factor_of(k, mu, kind);
        // Setting f at `bits` bits rounds |f| like this, the sign apart.
        const auto magnitude = static_cast<limb_float::Limb>(std::fabs(f));
        const limb_float::Limb factor =
            limb_float::round_integer(magnitude, static_cast<int>(bits));
        limb_float::Value<N> next = limb_float::mul_integer(term, factor, f < 0, format);
        next = limb_float::div_integer(next, divisor, format);
        next.e -= 3;
        next = limb_float::mul(next, reciprocal, format);
        // Two separate tests rather than one on a chosen operand: selecting
        // the operand put the comparison on the loop's critical path.
        const bool grows =
            k == 1 ? limb_float::greater_abs(next, prev) : limb_float::greater_abs(next, term);
        if (grows) [[unlikely]] {
            break;
        }
        sum = limb_float::add(sum, next, format);
        term = next;
        if (!sum.zero && term.e <= sum.e - static_cast<std::int64_t>(bits) - 2) {
            break;  // as sum_is_final: no later term can change the sum
        }
        poll.pass(k);
    }
    return sum;
}

std::optional<WorkingValue> limb_sum(const WorkingValue& reciprocal, const WorkingValue& prev,
                                     Bits bits, double mu, Expansion kind) {
    std::optional<WorkingValue> out;
    if (!(mu < limb_mu_limit)) {
        return out;
    }
    limb_float::with_limbs(bits, [&](auto limbs) {
        constexpr int n = decltype(limbs)::value;
        std::optional<limb_float::Value<n>> r = limb_float::import_value<n>(reciprocal);
        std::optional<limb_float::Value<n>> p = limb_float::import_value<n>(prev);
        if (r && !r->zero && p) {
            out.emplace(bits);
            limb_float::export_value(*out, limb_loop<n>(*r, *p, bits, mu, kind));
        }
    });
    return out;
}

}  // namespace

double four_n_squared(unsigned long n) {
    // n*n < 2^64 is exact in 64 bits, but 4n^2 is not for n >= 2^31. Rounding
    // n^2 to a double once and scaling by 4 (exact) gives the double nearest
    // to 4n^2: exact below n = 2^25.5, where 4n^2 reaches 2^53 (so for every
    // order below 32768, whose 4n^2 fits in 32 bits), rounded to nearest above.
    return 4.0 * static_cast<double>(static_cast<std::uint64_t>(n) * n);
}

WorkingValue large_argument_sum(const WorkingValue& x, Bits bits, double mu, Expansion kind) {
    WorkingValue reciprocal(bits);
    // 1 at `bits` bits is exact, so this is the single rounding of 1/x that
    // setting 1 and dividing would give.
    ui_div(reciprocal, 1, x);
    WorkingValue prev(bits);
    set_d(prev, initial_previous_magnitude);
    if (std::optional<WorkingValue> fast = limb_sum(reciprocal, prev, bits, mu, kind)) {
        return std::move(*fast);
    }
    return mpfr_sum(reciprocal, prev, bits, mu, kind);
}
