#include "engine/gwr/gwr_point.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/gwr/gwr_estimate.hpp"
#include "engine/methods/real_axis_guard.hpp"

GwrPointSolver::GwrPointSolver(const Program& program, const std::deque<GwrLevelTables>& levels,
                               std::uint32_t digits)
    : program_(program), tolerance_(digits), code_(method_code("gwr")) {
    levels_.reserve(levels.size());
    for (const GwrLevelTables& tables : levels) {
        levels_.push_back(Level{&tables, std::nullopt, nullptr, std::nullopt, std::nullopt});
    }
}

PointResult GwrPointSolver::solve_at(Level& level, double t, const double* parameters) {
    const GwrLevel& plan = level.tables->level();
    if (!level.sampler) {
        level.sampler.emplace(program_, plan.bits);
        level.full.emplace(plan.rho_bits);
        level.limbs = make_limb_gwr_level(plan, level.tables->tables(), program_);
    }
    level.sampler->set_parameters(parameters);
    PointResult result;
    bool stationary = false;
    if (level.limbs && level.limbs->invert(t, *level.sampler, result, *level.full)) {
        stationary = level.limbs->stationary();
    } else {
        if (!level.work) {
            level.work.emplace(plan.m, plan.bits, plan.bits, plan.rho_bits);
        }
        gwr_invert_at(level.tables->tables(), *level.sampler, t, *level.work);
        set(*level.full, level.work->rho.latest_estimate());
        result.value = to_double(level.work->rho.latest_estimate());
        stationary = level.work->rho.stationary;
        result.error = gwr_spread_error(level.work->rho, plan.rho_bits, plan.later,
                                        [](const WorkingValue& v) { return to_double(v); });
        if (result.error < std::numeric_limits<double>::min()) {
            result.error_log10 = gwr_spread_error_log10(
                level.work->rho, plan.rho_bits, plan.later,
                [](const WorkingValue& v, long& e) { return to_double_2exp(v, e); });
        }
    }
    add_sample_shortfall_noise(result, plan.m, plan.bits, level.sampler->worst_accuracy(),
                               level.sampler->widest_blind_radius(), t);
    add_cancellation_noise(result, plan.m, plan.bits, level.sampler->largest_exponent(), t,
                           stationary);
    return result;
}

PointResult GwrPointSolver::solve(double t, const double* parameters, std::string* text,
                                  std::size_t text_digits) {
    return solve_levels(0, levels_.size(), t, parameters, text, text_digits);
}

PointResult GwrPointSolver::solve_levels(std::size_t first, std::size_t end, double t,
                                         const double* parameters, std::string* text,
                                         std::size_t text_digits) {
    PointResult result;
    Level* used = nullptr;
    for (std::size_t l = first; l < end; ++l) {
        used = &levels_[l];
        result = solve_at(*used, t, parameters);
        if (tolerance_.settled(result.value, result.error)) {
            break;
        }
    }
    result.method = code_;
    if (text != nullptr) {
        *text = decimal_text(*used->full,
                             text_length(result, text_digits, used->tables->level().rho_bits));
    }
    return result;
}

std::unique_ptr<PointSolver> make_gwr_solver(const MethodContext& context) {
    return std::make_unique<RealAxisGuard>(
        std::make_unique<GwrPointSolver>(context.program, context.levels, context.digits),
        context);
}
