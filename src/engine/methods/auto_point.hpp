#pragma once
// The automatic choice for expressions: GWR where F's singularities allow it
// and it converges, then the contour methods placed by those singularities,
// keeping the candidate of least relative error. No Python header.

#include <deque>

#include "engine/contours/contour_point.hpp"
#include "engine/gwr/gwr_point.hpp"
#include "engine/placement/method_validity.hpp"

class AutoPointSolver final : public PointSolver {
public:
    AutoPointSolver(const Program& program, const std::deque<GwrLevelTables>& levels,
                    std::uint32_t digits, MethodValidity& validity);

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override;

private:
    GwrPointSolver gwr_;
    ContourPointSolver talbot_;
    ContourPointSolver euler_;
    MethodValidity& validity_;
    Tolerance tolerance_;
    MethodCode gwr_code_;
    bool contour_first_;
    bool cheap_complex_samples_;  // F calls no function whose complex samples are costly
    std::uint64_t first_talbot_nodes_;
};

// The automatic choice as invlap.invert's method "auto".
std::unique_ptr<PointSolver> make_auto_solver(const MethodContext& context);

// Whether auto builds GWR's tables up front: not where it tries the contour
// first (high digits), which builds them only at the points it misses.
bool auto_gaver_tables(const Program& program, std::uint32_t digits);
