#pragma once
// f(t) of a compiled expression at one time point by GWR, level after level
// until the error estimate meets the tolerance. No Python header.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/evaluate/expression_sampler.hpp"
#include "engine/gwr/limb_gwr_level.hpp"
#include "engine/methods/method_registry.hpp"
#include "engine/gwr/gwr_plan.hpp"
#include "engine/methods/point_result.hpp"
#include "engine/methods/point_solver.hpp"
#include "core/gwr/gwr_invert_at.hpp"

class GwrPointSolver final : public PointSolver {
public:
    // levels: the job's shared tables (borrowed, outliving the solver).
    GwrPointSolver(const Program& program, const std::deque<GwrLevelTables>& levels,
                   std::uint32_t digits);

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override;

    // Only the levels from `first` on, as solve() does with all of them:
    // for the automatic choice, which tries the first level alone before a
    // contour method and the rest after it.
    PointResult solve_levels(std::size_t first, std::size_t end, double t,
                             const double* parameters, std::string* text,
                             std::size_t text_digits);
    std::size_t level_count() const noexcept { return levels_.size(); }

private:
    // A level's state, made on first use: most points need one level. The
    // limb way serves wherever its precisions fit; the MPFR way beyond them,
    // and for points whose samples are not finite.
    struct Level {
        const GwrLevelTables* tables;
        std::optional<ExpressionSampler> sampler;
        std::unique_ptr<LimbGwrLevel> limbs;
        std::optional<GwrWorkspace> work;
        std::optional<WorkingValue> full;  // the last estimate at the rho precision
    };
    PointResult solve_at(Level& level, double t, const double* parameters);

    const Program& program_;
    std::vector<Level> levels_;
    Tolerance tolerance_;
    MethodCode code_;
};

// GWR as invlap.invert's method "gwr": flagged where F's singularities
// refute real-axis samples.
std::unique_ptr<PointSolver> make_gwr_solver(const MethodContext& context);
