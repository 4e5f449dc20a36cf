#pragma once
// The automatic choice for expressions: GWR where it converges, Talbot where
// GWR's own estimate says it does not. No Python header.

#include <deque>

#include "engine/contour_point.hpp"
#include "engine/gwr_point.hpp"

class AutoPointSolver final : public PointSolver {
public:
    AutoPointSolver(const Program& program, const std::deque<GwrLevelTables>& levels,
                    std::uint32_t digits);

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override;

private:
    GwrPointSolver gwr_;
    ContourPointSolver talbot_;
    double tolerance_;
};
