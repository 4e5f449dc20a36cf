// Where a sample of F could not be made exact to the working precision (the
// raises ran out), the error of that sample, magnified like the rounding the
// precision is sized for, is added to the estimate: about 10^(1.4 m) for m
// terms at 2.4 m digits.

#include "engine/gwr_point.hpp"

#include <algorithm>
#include <cmath>

#include "engine/gwr_estimate.hpp"

namespace {

constexpr double noise_magnification_digits_per_term = 1.4;

// The digits a value's text carries: at least `least`, and as many as the
// error estimate says are right (plus three), up to what the precision holds.
std::size_t text_length(const PointResult& result, std::size_t least, Bits bits) {
    const double held = static_cast<double>(bits) * std::log10(2.0);
    double right = std::log10(std::fabs(result.value) / result.error) + 3.0;
    if (!(right > 0)) {
        right = 0;  // NaN or nothing right: the least is all there is
    }
    return static_cast<std::size_t>(std::max<double>(static_cast<double>(least), std::min(right, held)));
}

}  // namespace

GwrPointSolver::GwrPointSolver(const Program& program, const std::deque<GwrLevelTables>& levels,
                               std::uint32_t digits)
    : program_(program), tolerance_(std::pow(10.0, -static_cast<double>(digits))) {
    levels_.reserve(levels.size());
    for (const GwrLevelTables& tables : levels) {
        levels_.push_back(Level{&tables, std::nullopt, std::nullopt, std::nullopt});
    }
}

PointResult GwrPointSolver::solve_at(Level& level, double t, const double* parameters) {
    const GwrLevel& plan = level.tables->level();
    if (!level.work) {
        level.work.emplace(plan.m, plan.bits, plan.bits, plan.rho_bits);
        level.sampler.emplace(program_, plan.bits);
        level.difference.emplace(plan.bits);
    }
    level.sampler->set_parameters(parameters);
    gwr_invert_at(level.tables->tables(), *level.sampler, t, *level.work);
    PointResult result;
    result.value = to_double(level.work->rho.latest_estimate());
    result.error = gwr_spread_error(level.work->rho, *level.difference);
    const slong shortfall = static_cast<slong>(plan.bits) - level.sampler->worst_accuracy();
    if (shortfall > 0) {
        // |value| 2^(shortfall - bits) 10^(1.4 m), in the exponent: the factors
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
        *text = decimal_text(used->work->rho.latest_estimate(),
                             text_length(result, text_digits, used->tables->level().bits));
    }
    return result;
}
