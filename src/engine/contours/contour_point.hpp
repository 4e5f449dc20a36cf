#pragma once
// f(t) of a compiled expression at one point by a contour method, with more
// nodes until the error estimate meets the tolerance. No Python header.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "engine/contours/contour_rules.hpp"
#include "engine/contours/contour_saddle.hpp"
#include "engine/contours/contour_sampler.hpp"
#include "engine/methods/method_registry.hpp"
#include "engine/placement/method_validity.hpp"
#include "engine/methods/point_solver.hpp"

class ContourPointSolver final : public PointSolver {
public:
    // given_m: the nodes as the caller gave them, or 0 to choose them.
    // validity (borrowed, may be null): where F's singularities are, so that
    // the contour is placed to pass them the right way, and a value whose
    // contour cannot be proven to do so is flagged (an infinite estimate).
    ContourPointSolver(const Program& program, const ContourRule& rule, MethodCode code,
                       std::uint32_t digits, std::uint64_t given_m,
                       MethodValidity* validity = nullptr);

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override;

private:
    // A level's rules, with m, m + 1 (where third_rule_) and m + 2 nodes, made
    // on first use.
    struct Level {
        std::uint64_t m;
        std::optional<ContourSampler> sampler;
        std::shared_ptr<const ContourNodes> coarse;
        std::shared_ptr<const ContourNodes> middle;
        std::shared_ptr<const ContourNodes> fine;
    };
    // Where the contour of m nodes goes at time t: its shift to the right,
    // and whether it provably passes every singularity that matters.
    struct Placement {
        double shift = 0.0;
        bool proven = true;
    };
    Placement place(std::uint64_t m, double t, const double* parameters);
    // The rule for f(t) on the contour of time `scaled` (t, or less where the
    // contour is moved out to the saddle: contour_saddle.cpp).
    void invert(Level& level, const ContourNodes& nodes, std::uint64_t m, double t, double scaled,
                double shift, arb_ptr out);
    PointResult solve_at(Level& level, double t, double scaled, double shift,
                         const double* parameters, std::string* text, std::size_t text_digits);
    // The time whose contour of m nodes crosses the real axis at the saddle of
    // e^(st) F(s) (`saddle`, found for the point), where that lies beyond the
    // usual crossing and the larger contour is placed as soundly; t otherwise.
    double saddle_time(std::uint64_t m, double t, const std::optional<double>& saddle,
                       const Placement& placement, const double* parameters);

    const Program& program_;
    const ContourRule& rule_;
    MethodCode code_;
    Tolerance tolerance_;
    bool given_;
    bool third_rule_;  // the (m + 1)-node rule guards the spread (contour_point.cpp)
    MethodValidity* validity_;
    std::deque<Level> levels_;  // a deque: levels added later never move the others
    std::optional<RealAxisSaddle> saddle_;  // wrapping contours only, made on first use
};

// Talbot's contour and the Bromwich line with Euler summation as
// invlap.invert's methods "talbot" and "euler", placed by F's singularities.
std::unique_ptr<PointSolver> make_talbot_solver(const MethodContext& context);
std::unique_ptr<PointSolver> make_euler_solver(const MethodContext& context);
