// I_0, I_1, K_0 and K_1 at any working precision P (bessel_full_precision.hpp).
//
// The methods are those of the rounded-to-double functions (bessel.cpp), the
// same loops run under rules derived from P: the ascending series (I:
// power_series.cpp; K_0: k0_series.cpp, K_1 from the Wronskian) and, for
// large x, the Hankel expansion (large_argument.cpp). Everything before the
// final rounding to P bits stays within a relative 2^-(P + 4), so with that
// rounding (at most 2^-P) the error is below 2^(1 - P). With u = 2^-W for
// values at W bits and N the number of terms (at most the loop's cap):
//
// I series, W_I = P + 4 + ceil(log2(4N + 3)). q = x^2/4 is one rounding; term
// k carries k of q's and 2k of its own (a product and a quotient per step),
// the N sums one each, all terms positive: (4N + 1) u; I_1's factor x/2 one
// more, and the truncation one u (below).
//
// Stopping: at |term| < 2^-W |sum|, read from the exponents, tested only from
// the index k + 1 >= 0.87 x on. From there every later term is at most half
// the one before (the ratios, q / ((k+1)(k+1+n)) for I and at most
// (3/2) q / (k+1)^2 for the K_0 terms H_k T_k, since H_(k+1) / H_k <= 3/2, fall
// below 1/2 once (k+1)^2 >= 3q), so the tail is below the last term: u.
//
// K series, W_K = P + 4 + ceil(log2(6N + 7)) + A + 2. The sum climbs from
// -(ln(x/2) + gamma) I_0 (~e^x) to K_0 (~e^-x): every rounding is relative to
// a partial sum of size up to |head| + sum of the terms, so the absolute error
// is at most (6N + 7) u ((|ln(x/2)| + gamma) I_0 + sum of the terms). A bounds
// log2 of that sum's ratio to K_0, 1 + 2 (|ln(x/2)| + gamma) I_0 / K_0, by
// 2x log2(e) + log2(|ln(x/2)| + 1) + log2(x + 1) / 2 + 3 (with I_0 <= e^x and
// K_0 >= sqrt(pi / 2x) e^-x (1 - 1/8x), DLMF 10.40.10; checked against mpmath
// for x from 1e-300 to 1e6: at least 3.3 bits to spare). K_1 = (1/x - I_1
// K_0) / I_0 with I_1 K_0 < I_0 K_1 (as I_1 < I_0 and K_0 < K_1), so the
// subtraction loses at most one bit and the error at most doubles: the last
// 2 bits. Euler's constant is MPFR's, correctly rounded.
//
// Expansion, W_E = P + 5 + ceil(log2(2x + 20)), served from x >= 25 where
// also 2x log2(e) >= W_E + 3. Its terms shrink by a factor 4 or more up to k
// = x/2 and keep shrinking until k ~ 2x, where the smallest, about 0.8
// e^-2x / sqrt(2x) (for n = 1 times (2k+1)/(2k-1), near 1), lies below
// 2^-(W_E + 3): the sum becomes final (the next term below a quarter ulp,
// 2^-(W_E + 1) relative) before any term grows. K's remainder is below the
// first omitted term (DLMF 10.40(ii)); I's part exponentially smaller than
// its series (DLMF 10.40.5) is e^-2x relative, within the same 2^-(W_E + 3).
// The sum's at most 2x + 2 roundings, and pi, the product, the square root,
// e^+-x (exponential(), correctly rounded) and the two factors: (2x + 20) u.

#include "core/bessel/bessel_full_precision.hpp"

#include <cmath>
#include <cstdint>
#include <utility>

#include "core/bessel/k0_series.hpp"
#include "core/bessel/large_argument.hpp"
#include "core/bessel/method_choice.hpp"
#include "core/bessel/power_series.hpp"
#include "core/failure/internal_failure.hpp"
#include "core/limb/exponential.hpp"
#include "core/precision/precision_rules.hpp"

namespace {

constexpr double log2_e = 1.4426950408889634;
constexpr double ln_2 = 0.6931471805599453;
constexpr double euler_number = 2.718281828459045;
// As for the rounded-to-double functions: below 25 the series is cheaper
// than the expansion at every precision where both would serve.
constexpr double expansion_from = 25.0;
constexpr long target_extra_bits = 4;
constexpr long expansion_margin_bits = 3;
// Stop tests from k + 1 >= 0.87 x on: (k + 1)^2 >= 3q = 0.75 x^2.
constexpr double tail_index_per_argument = 0.87;

// Values alive at once, for the memory check: X, XW, q, sum, term, quotient
// and h, H, 1/k, H·T of the K_0 sum, its head and gamma, I_0, I_1, K_0, K_1;
// on the expansion path 1/X, prev, sum, term, next, factor for each order,
// pi, the prefactor and e^+-x.
constexpr std::uint64_t series_values = 16;
constexpr std::uint64_t expansion_values = 16;
constexpr const char* memory_what = "Bessel function values at this precision";

std::int64_t ceil_log2(double v) { return static_cast<std::int64_t>(std::ceil(std::log2(v))); }

// A bound on the number of terms of any series here: they all stop once
// T_k = q^k / (k!)^2 <= (e x / 2k)^(2k) falls below 2^-(w + 3) min(1, K_0),
// which it does from k >= e x + w/2 + 16 on (then T_k <= 2^-(2 e x + w + 32),
// while K_0 >= 2^-(1.45 x + 5) and H_k < 2^5).
double series_cap(double x, double w) { return std::ceil(euler_number * x + w / 2) + 16; }

// A (see the top), from x and |ln(x/2)|.
double k0_cancellation_bits(double x, double log_half_x) {
    return 2 * x * log2_e + std::log2(log_half_x + 1) + std::log2(x + 1) / 2 + 3;
}

struct Plan {
    bool expansion;
    Bits bits;              // of the sums: W
    SeriesRule rule;        // the series' rule, when the series serves
    std::uint64_t last_index;  // the expansion's cap, when it serves
};

Bits checked_sum_bits(double bits) {
    return checked_bits(static_cast<std::uint64_t>(bits));
}

Plan make_plan(BesselKind kind, const WorkingValue& x, Bits bits) {
    const double xd = to_double(x);
    const double expansion_bits =
        static_cast<double>(bits) + target_extra_bits + 1 + ceil_log2(2 * xd + 20);
    if (xd >= expansion_from && 2 * xd * log2_e >= expansion_bits + expansion_margin_bits) {
        const auto last = static_cast<std::uint64_t>(std::ceil(2 * xd)) + 2;
        return Plan{true, checked_sum_bits(expansion_bits), {}, last};
    }
    // |ln(x/2)|, from the exponent where x is beyond the doubles' normal range.
    const double log_half_x = xd > 0x1p-1000 ? std::fabs(std::log(xd / 2))
                                             : (std::fabs(exponent(x)) + 2) * ln_2;
    const double extra = kind == BesselKind::second
                             ? std::ceil(k0_cancellation_bits(xd, log_half_x)) + 2
                             : 0;
    // The cap from a precision above any W here: log2 of the count is below 64.
    const double cap = series_cap(xd, static_cast<double>(bits) + extra + 64);
    const double roundings = kind == BesselKind::second ? 6 * cap + 7 : 4 * cap + 3;
    const Bits series = checked_sum_bits(static_cast<double>(bits) + target_extra_bits +
                                         ceil_log2(roundings) + extra);
    const auto first_tested = static_cast<std::uint64_t>(std::ceil(tail_index_per_argument * xd)) + 1;
    const SeriesRule rule{StopTest::relative_bits, static_cast<long>(series), first_tested,
                          static_cast<std::uint64_t>(cap)};
    return Plan{false, series, rule, 0};
}

// Ends the call unless n, x and bits are served (see the header).
void require_served(unsigned n, const WorkingValue& x, Bits bits) {
    if (n > 1) {
        internal_failure("Only nu=0,1 supported");
    }
    if (!is_regular(x) || sign_bit(x) || to_double(x) > full_precision_largest_argument ||
        bits < 1 || bits > full_precision_largest_bits) {
        internal_failure("Bessel function argument or precision outside the range served");
    }
}

// The plan for x, and x rounded to `bits` bits at the plan's precision, after
// every check that precedes the first value.
struct Prepared {
    Plan plan;
    WorkingValue xw;
};

Prepared prepare(BesselKind kind, unsigned n, const WorkingValue& x, Bits bits) {
    require_served(n, x, bits);
    const Plan plan = make_plan(kind, x, bits);
    require_bessel_memory(plan.expansion ? expansion_values : series_values, plan.bits,
                          memory_what);
    free_mpfr_caches_at_thread_exit();
    return Prepared{plan, copy_at(plan.bits, copy_at(bits, x))};
}

// e^x / sqrt(2 pi x) (first kind) or sqrt(pi / 2x) e^-x (second kind) at w bits.
WorkingValue expansion_prefactor(BesselKind kind, const WorkingValue& xw, Bits w) {
    WorkingValue f(w);
    set_pi(f);
    WorkingValue e = copy_at(w, xw);
    if (kind == BesselKind::first) {
        mul(f, f, xw);
        mul_ui(f, f, 2);  // exact
        sqrt(f, f);
        exponential(e, e);
        div(f, e, f);
    } else {
        div(f, f, xw);
        div_ui(f, f, 2);  // exact
        sqrt(f, f);
        neg(e, e);
        exponential(e, e);
        mul(f, f, e);
    }
    return f;
}

// The expansion of order n times its prefactor, at w bits.
WorkingValue expansion_value(BesselKind kind, unsigned n, const WorkingValue& xw,
                             const WorkingValue& prefactor, const Plan& plan) {
    WorkingValue sum =
        large_argument_sum(xw, plan.bits, four_n_squared(n), kind, plan.last_index);
    mul(sum, sum, prefactor);
    return sum;
}

// Both orders of one kind at `bits` bits, from the plan's sums.
BesselPair pair_full_precision(BesselKind kind, const WorkingValue& x, Bits bits) {
    const auto [plan, xw] = prepare(kind, 0, x, bits);
    if (plan.expansion) {
        const WorkingValue f = expansion_prefactor(kind, xw, plan.bits);
        return BesselPair{copy_at(bits, expansion_value(kind, 0, xw, f, plan)),
                          copy_at(bits, expansion_value(kind, 1, xw, f, plan))};
    }
    WorkingValue i1 = bessel_i1_series(xw, plan.bits, plan.rule);
    if (kind == BesselKind::first) {
        return BesselPair{copy_at(bits, bessel_i0_series(xw, plan.bits, plan.rule)),
                          copy_at(bits, i1)};
    }
    K0Series k0_i0 =
        bessel_k0_i0_series(xw, plan.bits, plan.rule, EulerConstant::correctly_rounded);
    return BesselPair{copy_at(bits, k0_i0.k0),
                      copy_at(bits, wronskian_k1(xw, k0_i0, i1, plan.bits))};
}

}  // namespace

WorkingValue bessel_full_precision(BesselKind kind, unsigned n, const WorkingValue& x, Bits bits) {
    const auto [plan, xw] = prepare(kind, n, x, bits);
    if (plan.expansion) {
        return copy_at(bits, expansion_value(kind, n, xw, expansion_prefactor(kind, xw, plan.bits),
                                             plan));
    }
    if (kind == BesselKind::first) {
        return copy_at(bits, n == 0 ? bessel_i0_series(xw, plan.bits, plan.rule)
                                    : bessel_i1_series(xw, plan.bits, plan.rule));
    }
    K0Series k0_i0 =
        bessel_k0_i0_series(xw, plan.bits, plan.rule, EulerConstant::correctly_rounded);
    if (n == 0) {
        return copy_at(bits, k0_i0.k0);
    }
    WorkingValue i1 = bessel_i1_series(xw, plan.bits, plan.rule);
    return copy_at(bits, wronskian_k1(xw, k0_i0, i1, plan.bits));
}

BesselPair bessel_k01_full_precision(const WorkingValue& x, Bits bits) {
    return pair_full_precision(BesselKind::second, x, bits);
}

BesselPair bessel_i01_full_precision(const WorkingValue& x, Bits bits) {
    return pair_full_precision(BesselKind::first, x, bits);
}
