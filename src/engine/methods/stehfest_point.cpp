// The Gaver-Stehfest method (Stehfest 1970, Comm. ACM 13, algorithm 368; at
// multiple precision Abate & Valko 2004): with N = 2m terms,
//
//   f(t) = (ln 2 / t) sum_{k=1}^{N} V_k F(k ln 2 / t),
//   V_k = (-1)^(m+k) sum_{j=floor((k+1)/2)}^{min(k,m)}
//           j^m (2j)! / ((m-j)! j! (j-1)! (k-j)! (2j-k)!),
//
// a fixed linear combination of the very samples GWR takes, whose weights
// alternate and grow like the Gaver differences: it needs the same working
// precision (2.4 m digits here) and, for smooth f, gives somewhat fewer
// digits than GWR from the same samples. The estimate compares the sums with
// 2m, 2m - 2 and 2m - 4 terms, all from the same samples: the spreads follow
// the errors of the shorter ones, which overstate the longer's; the larger of
// the two spreads is taken, since the convergence is not monotone.

#include "engine/methods/stehfest_point.hpp"

#include <algorithm>
#include <cmath>

#include "engine/program/arb_bridge.hpp"
#include "engine/program/arb_value.hpp"
#include "engine/gwr/gwr_estimate.hpp"
#include "engine/methods/real_axis_guard.hpp"

namespace {

constexpr double spread_safety = 2.0;

// V_k for k = 1 ... 2m as exact rationals, rounded into values of `bits` bits.
ValueVector stehfest_weights(std::uint64_t m, Bits bits) {
    ValueVector weights;
    ExactRational sum;
    ExactRational term;
    ExactIntegerValue numerator;
    ExactIntegerValue denominator;
    ExactIntegerValue factor;
    const auto half = static_cast<ulong>(m);
    ArbValue ball;
    for (ulong k = 1; k <= 2 * half; ++k) {
        fmpq_zero(sum.get());
        for (ulong j = (k + 1) / 2; j <= std::min(k, half); ++j) {
            // j^m (2j)! / ((m-j)! j! (j-1)! (k-j)! (2j-k)!)
            fmpz_ui_pow_ui(numerator.get(), j, half);
            fmpz_fac_ui(factor.get(), 2 * j);
            fmpz_mul(numerator.get(), numerator.get(), factor.get());
            fmpz_fac_ui(denominator.get(), half - j);
            for (ulong d : {j, j - 1, k - j, 2 * j - k}) {
                fmpz_fac_ui(factor.get(), d);
                fmpz_mul(denominator.get(), denominator.get(), factor.get());
            }
            fmpq_set_fmpz_frac(term.get(), numerator.get(), denominator.get());
            fmpq_add(sum.get(), sum.get(), term.get());
        }
        if ((half + k) % 2 == 1) {
            fmpq_neg(sum.get(), sum.get());
        }
        arb_set_fmpq(ball.get(), sum.get(), static_cast<slong>(bits) + 16);
        weights.emplace_back(bits);
        set_midpoint(weights.back(), ball.get());
    }
    return weights;
}

// (a) sum_{k=1}^{count} weights[k-1] samples[k-1], into `out`.
void stehfest_sum(WorkingValue& out, const WorkingValue& a, const ValueVector& weights,
                  const ValueVector& samples, std::size_t count, WorkingValue& scratch) {
    set_positive_zero(out);
    for (std::size_t k = 0; k < count; ++k) {
        mul(scratch, weights[k], samples[k]);
        add(out, out, scratch);
    }
    mul(out, out, a);
}

}  // namespace

StehfestPointSolver::StehfestPointSolver(const Program& program, std::uint32_t digits,
                                         std::uint64_t given_m)
    : program_(program), tolerance_(digits), code_(method_code("stehfest")) {
    for (const GwrLevel& plan : gwr_levels(digits, given_m)) {
        levels_.push_back(Level{plan, std::nullopt, {}, {}, {}, {}, std::nullopt});
    }
}

void StehfestPointSolver::prepare(Level& level) {
    const Bits bits = level.plan.bits;
    level.sampler.emplace(program_, bits);
    for (std::uint64_t k = 0; k < 2 * level.plan.m; ++k) {
        level.samples.emplace_back(bits);
    }
    level.weights = stehfest_weights(level.plan.m, bits);
    level.lower_weights = stehfest_weights(level.plan.m - 1, bits);
    level.lowest_weights = stehfest_weights(level.plan.m > 2 ? level.plan.m - 2 : 0, bits);
    level.ln2.emplace(bits);
    set_ui(*level.ln2, 2);
    log(*level.ln2, *level.ln2);
}

PointResult StehfestPointSolver::solve_at(Level& level, double t, const double* parameters,
                                          std::string* text, std::size_t text_digits) {
    if (!level.sampler) {
        prepare(level);
    }
    const Bits bits = level.plan.bits;
    WorkingValue a(bits), value(bits), lower(bits), lowest(bits), scratch(bits);
    div_d(a, *level.ln2, t);
    level.sampler->set_parameters(parameters);
    level.sampler->sample(a, level.samples);
    stehfest_sum(value, a, level.weights, level.samples, level.samples.size(), scratch);
    stehfest_sum(lower, a, level.lower_weights, level.samples, level.lower_weights.size(),
                 scratch);
    stehfest_sum(lowest, a, level.lowest_weights, level.samples, level.lowest_weights.size(),
                 scratch);
    sub(scratch, value, lower);
    double spread = std::fabs(to_double(scratch));
    sub(scratch, lower, lowest);
    spread = std::max(spread, std::fabs(to_double(scratch)));
    PointResult result{to_double(value), spread_safety * spread, code_};
    // The same samples as GWR's, combined by weights as large: their shortfall
    // is magnified alike.
    add_sample_shortfall_noise(result, level.plan.m, bits, level.sampler->worst_accuracy(),
                               level.sampler->widest_blind_radius(), t);
    if (text != nullptr) {
        *text = decimal_text(value, text_length(result, text_digits, bits));
    }
    return result;
}

PointResult StehfestPointSolver::solve(double t, const double* parameters, std::string* text,
                                       std::size_t text_digits) {
    return first_level_that_meets(levels_, tolerance_, [&](Level& level) {
        return solve_at(level, t, parameters, text, text_digits);
    });
}

std::unique_ptr<PointSolver> make_stehfest_solver(const MethodContext& context) {
    return std::make_unique<RealAxisGuard>(
        std::make_unique<StehfestPointSolver>(context.program, context.digits, context.m),
        context);
}
