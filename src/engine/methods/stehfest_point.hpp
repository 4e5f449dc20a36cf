#pragma once
// f(t) of a compiled expression at one point by the Gaver-Stehfest method at
// the working precision. No Python header.

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/evaluate/expression_sampler.hpp"
#include "engine/gwr/gwr_plan.hpp"
#include "engine/methods/method_registry.hpp"
#include "engine/methods/point_solver.hpp"

class StehfestPointSolver final : public PointSolver {
public:
    // given_m: half the number of terms as the caller gave it, or 0 to choose.
    StehfestPointSolver(const Program& program, std::uint32_t digits, std::uint64_t given_m);

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override;

private:
    struct Level {
        GwrLevel plan;
        std::optional<ExpressionSampler> sampler;  // the rest made on first use too
        ValueVector samples;
        ValueVector weights;        // V_k for 2m terms
        ValueVector lower_weights;  // V_k for 2(m - 1) and 2(m - 2) terms, for the estimate
        ValueVector lowest_weights;
        std::optional<WorkingValue> ln2;
    };
    void prepare(Level& level);
    PointResult solve_at(Level& level, double t, const double* parameters, std::string* text,
                         std::size_t text_digits);

    const Program& program_;
    Tolerance tolerance_;
    MethodCode code_;
    std::vector<Level> levels_;
};

// Stehfest as invlap.invert's method "stehfest": flagged where F's
// singularities refute real-axis samples.
std::unique_ptr<PointSolver> make_stehfest_solver(const MethodContext& context);
