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

#include "bessel/large_argument.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "bessel/series_stop.hpp"

namespace {

constexpr std::uint64_t last_expansion_index = 199;

// prev starts at the largest double, not at the leading 1: the first term is
// always accepted.
constexpr double initial_previous_magnitude = std::numeric_limits<double>::max();

// From 53 bits on a double is exact at the working precision, so multiplying
// by the value set from f is one rounding of the exact product: what
// mpfr_mul_si gives for the same integer. f is integer-valued (an odd square
// minus an even integer, either exact or rounded to a double beyond 2^53,
// which is an integer). Below 53 bits f itself is first rounded to the
// working precision, and mpfr_mul_d or mpfr_mul_si would skip that rounding:
// there the value is set first, as the expansion is defined.
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
    WorkingValue sum(bits);
    set_si(sum, 1);
    WorkingValue term(bits);
    set_si(term, 1);
    WorkingValue next(bits);
    WorkingValue factor(bits);
    WorkingValue prev(bits);
    set_d(prev, initial_previous_magnitude);

    LoopPoll poll(bits);
    for (std::uint64_t k = 1; k <= last_expansion_index; ++k) {
        double odd = static_cast<double>(2 * k - 1);
        double f = kind == Expansion::first_kind ? odd * odd - mu : mu - odd * odd;
        multiply_by_factor(next, term, f, factor, bits);
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
