// The error estimate of a GWR point, and why it is made so.
//
// The rho algorithm's even columns give a sequence of estimates e_0 (the
// result), e_1, e_2 of f(t), each from two more Gaver functionals than the
// next. Their spread d1 = |e_0 - e_1| follows the error of e_1 and usually
// overstates that of e_0; but now and then two successive estimates agree by
// chance while both are still off, and d1 alone then understates the error
// by a decade or more. The earlier spread d2 = |e_1 - e_2| catches those
// cases: convergence rarely improves by more than a factor 30 per column.
// Hence 3 max(d1, d2 / 30), which on the test transforms covers the true
// error at about 97 % of the points with a median overstatement of about 20
// times (bench/bench_invert.py checks both on the known pairs).
//
// Where a sample of F could not be made exact to the working precision (the
// raises ran out), its error, magnified like the rounding the precision is
// sized for, is added: about 10^(1.3 m) for m terms at 2.3 m digits.

#include "engine/gwr_point.hpp"

#include <cmath>

namespace {

constexpr double spread_safety = 3.0;
constexpr double column_improvement = 30.0;
constexpr double noise_magnification_digits_per_term = 1.3;

}  // namespace

GwrPointSolver::GwrPointSolver(const Program& program, const std::vector<GwrLevelTables>& levels,
                               std::uint32_t digits)
    : program_(program), tolerance_(std::pow(10.0, -static_cast<double>(digits))) {
    levels_.reserve(levels.size());
    for (const GwrLevelTables& tables : levels) {
        levels_.push_back(Level{&tables, std::nullopt, std::nullopt, std::nullopt});
    }
}

PointResult GwrPointSolver::solve_at(Level& level, double t, const double* parameters) {
    const GwrLevel& plan = level.tables->level;
    if (!level.work) {
        level.work.emplace(plan.m, plan.bits, plan.bits);
        level.sampler.emplace(program_, plan.bits);
        level.difference.emplace(plan.bits);
    }
    level.sampler->set_parameters(parameters);
    gwr_invert_at(level.tables->tables, *level.sampler, t, *level.work);
    const RhoWorkspace& rho = level.work->rho;
    PointResult result;
    result.value = to_double(rho.latest_estimate());
    // The spreads at the working precision: in doubles they would vanish
    // below the value's last bit, long before the digits asked for.
    double spread[2] = {std::fabs(result.value), std::fabs(result.value)};
    for (std::size_t i = 0; i + 1 < rho.estimate_count && i < 2; ++i) {
        sub(*level.difference, rho.estimates[i], rho.estimates[i + 1]);
        spread[i] = std::fabs(to_double(*level.difference));
    }
    result.error = spread_safety * std::max(spread[0], spread[1] / column_improvement);
    const slong shortfall = static_cast<slong>(plan.bits) - level.sampler->worst_accuracy();
    if (shortfall > 0) {
        // |value| 2^(shortfall - bits) 10^(1.3 m), in the exponent: the factors
        // alone would leave the double range at large m.
        const double noise_log2 = static_cast<double>(std::min<slong>(shortfall, 1 << 20)) -
                                  static_cast<double>(plan.bits) +
                                  noise_magnification_digits_per_term *
                                      static_cast<double>(plan.m) * std::log2(10.0);
        result.error += std::ldexp(std::fabs(result.value),
                                   static_cast<int>(std::ceil(std::min(noise_log2, 4096.0))));
    }
    return result;
}

PointResult GwrPointSolver::solve(double t, const double* parameters, std::string* text,
                                  std::size_t text_digits) {
    PointResult result;
    Level* used = nullptr;
    for (Level& level : levels_) {
        used = &level;
        result = solve_at(level, t, parameters);
        if (!(result.error > tolerance_ * std::fabs(result.value))) {
            break;  // met, or NaN: more terms cannot help a NaN
        }
    }
    if (text != nullptr) {
        *text = decimal_text(used->work->rho.latest_estimate(), text_digits);
    }
    return result;
}
