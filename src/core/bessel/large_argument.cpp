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
// relative), and at the caller's cap. From x = 25 on that error is below
// 2^-70, far under a double's half ulp; it, not the working precision, bounds
// the accuracy when many digits are asked for at moderate x.
//
// Where the precision fits a fixed size, for finite x and orders below 2^25,
// the loop runs in fixed-size exact arithmetic (series_arithmetic.hpp), which
// rounds every step exactly as MPFR does; otherwise in MPFR.

#include "core/bessel/large_argument.hpp"

#include <limits>
#include <optional>
#include <utility>

#include "core/bessel/series_arithmetic.hpp"
#include "core/bessel/series_stop.hpp"

namespace {

// prev starts at the largest double, not at the leading 1: the first term is
// always accepted.
constexpr double initial_previous_magnitude = std::numeric_limits<double>::max();

// Below 2^53 the factors are exact integers under 2^54, never zero (an odd
// square is never 4n^2), so their rounding to `bits` bits is an integer too:
// what the fixed-size arithmetic multiplies by.
constexpr double limb_mu_limit = 0x1p53;

// f_k = +-((2k-1)^2 - mu) in double arithmetic: integer-valued (an odd square
// minus an even integer, either exact or rounded to a double beyond 2^53,
// which is an integer).
double factor_of(std::uint64_t k, double mu, BesselKind kind) {
    double odd = static_cast<double>(2 * k - 1);
    return kind == BesselKind::first ? odd * odd - mu : mu - odd * odd;
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
template <class Arithmetic, class Value>
bool sum_is_final(const Arithmetic& arithmetic, const Value& t, const Value& sum) {
    if (arithmetic.is_nan(sum)) {
        return true;
    }
    if (arithmetic.is_zero(t)) {
        return !arithmetic.is_zero(sum);
    }
    return arithmetic.is_regular(t) && arithmetic.is_regular(sum) &&
           arithmetic.exponent(t) <=
               arithmetic.exponent(sum) - static_cast<long>(arithmetic.bits()) - 2;
}

// The loop, for 1/x as `reciprocal` and the first term's bound `prev`.
template <class Arithmetic>
typename Arithmetic::Value expansion_loop(Arithmetic& arithmetic,
                                          const typename Arithmetic::Value& reciprocal,
                                          const typename Arithmetic::Value& prev, double mu,
                                          BesselKind kind, std::uint64_t last_index) {
    using Value = typename Arithmetic::Value;
    Value sum = arithmetic.one();
    Value term = arithmetic.one();
    Value next = arithmetic.scratch();
    LoopPoll poll(arithmetic.bits());
    for (std::uint64_t k = 1; k <= last_index; ++k) {
        arithmetic.mul_factor(next, term, factor_of(k, mu, kind));
        arithmetic.div_eight_index(next, next, k);
        arithmetic.mul(next, next, reciprocal);
        // Two separate tests rather than one on a chosen operand: selecting
        // the operand put the comparison on the fixed-size loop's critical
        // path. prev is |term| once a term has been accepted: comparing
        // magnitudes with the accepted term itself is the same test.
        const bool grows = k == 1 ? arithmetic.greater_abs(next, prev)
                                  : arithmetic.greater_abs(next, term);
        if (grows) [[unlikely]] {
            break;  // the growing term is not added
        }
        arithmetic.add(sum, sum, next);
        std::swap(term, next);
        if (sum_is_final(arithmetic, term, sum)) {
            break;
        }
        poll.pass(k);
    }
    return sum;
}

// The loop in fixed-size arithmetic, for a regular reciprocal (every term is
// then regular) and factors below 2^53.
std::optional<WorkingValue> limb_sum(const WorkingValue& reciprocal, const WorkingValue& prev,
                                     Bits bits, double mu, BesselKind kind,
                                     std::uint64_t last_index) {
    if (!(mu < limb_mu_limit)) {
        return std::nullopt;
    }
    return on_limbs<WorkingValue>(bits, [&](auto& arithmetic) -> std::optional<WorkingValue> {
        using Value = typename std::remove_reference_t<decltype(arithmetic)>::Value;
        std::optional<Value> r = arithmetic.take_regular(reciprocal);
        std::optional<Value> p = arithmetic.take(prev);
        if (!r || !p) {
            return std::nullopt;
        }
        return arithmetic.give(expansion_loop(arithmetic, *r, *p, mu, kind, last_index));
    });
}

}  // namespace

double four_n_squared(unsigned long n) {
    // n*n < 2^64 is exact in 64 bits, but 4n^2 is not for n >= 2^31. Rounding
    // n^2 to a double once and scaling by 4 (exact) gives the double nearest
    // to 4n^2: exact below n = 2^25.5, where 4n^2 reaches 2^53 (so for every
    // order below 32768, whose 4n^2 fits in 32 bits), rounded to nearest above.
    return 4.0 * static_cast<double>(static_cast<std::uint64_t>(n) * n);
}

WorkingValue large_argument_sum(const WorkingValue& x, Bits bits, double mu, BesselKind kind,
                                std::uint64_t last_index) {
    WorkingValue reciprocal(bits);
    // 1 at `bits` bits is exact, so this is the single rounding of 1/x that
    // setting 1 and dividing would give.
    ui_div(reciprocal, 1, x);
    WorkingValue prev(bits);
    set_d(prev, initial_previous_magnitude);
    if (std::optional<WorkingValue> fast = limb_sum(reciprocal, prev, bits, mu, kind, last_index)) {
        return std::move(*fast);
    }
    MpfrArithmetic arithmetic(bits);
    return expansion_loop(arithmetic, reciprocal, prev, mu, kind, last_index);
}
