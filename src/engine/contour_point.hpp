#pragma once
// f(t) of a compiled expression at one point by a contour method, with more
// nodes until the error estimate meets the tolerance. No Python header.

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/contour_rules.hpp"
#include "engine/contour_sampler.hpp"
#include "engine/point_solver.hpp"

class ContourPointSolver final : public PointSolver {
public:
    // given_m: the nodes as the caller gave them, or 0 to choose them.
    ContourPointSolver(const Program& program, const ContourRule& rule, Method method,
                       std::uint32_t digits, std::uint64_t given_m);

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override;

private:
    // A level's two rules, with m and m + 2 nodes, made on first use.
    struct Level {
        std::uint64_t m;
        std::optional<ContourSampler> sampler;
        ContourNodes coarse;
        ContourNodes fine;
    };
    void invert(Level& level, const ContourNodes& nodes, std::uint64_t m, double t, arb_ptr out);
    PointResult solve_at(Level& level, double t, const double* parameters, std::string* text,
                         std::size_t text_digits);

    const Program& program_;
    const ContourRule& rule_;
    Method method_;
    double tolerance_;
    std::vector<Level> levels_;
};
