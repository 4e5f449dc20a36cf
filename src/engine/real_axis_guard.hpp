#pragma once
// GWR and Stehfest as the caller asked for them, flagged where F's
// singularities refute them: their samples F(k ln2/t) lie on the real axis
// from ln2/t up, and a singularity right of that (growth faster than the
// time can resolve) makes their value meaningless, however small their own
// estimate. Where singularities off the real axis matter (f oscillates),
// an estimate that misses the tolerance says nothing of by how much, since
// real samples cannot see the oscillation: it becomes infinite. No Python
// header.

#include <cmath>
#include <limits>
#include <memory>

#include "engine/method_validity.hpp"
#include "engine/point_solver.hpp"

class RealAxisGuard final : public PointSolver {
public:
    RealAxisGuard(std::unique_ptr<PointSolver> inner, MethodValidity& validity,
                  std::uint32_t digits)
        : inner_(std::move(inner)), validity_(validity),
          tolerance_(std::pow(10.0, -static_cast<double>(digits))) {}

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override {
        PointResult result = inner_->solve(t, parameters, text, text_digits);
        const bool met = !(result.error > tolerance_ * std::fabs(result.value));
        if (!validity_.real_axis_allows(t, parameters) ||
            (!met && !validity_.real_axis_resolves(t, parameters))) {
            result.error = std::numeric_limits<double>::infinity();
        }
        return result;
    }

private:
    std::unique_ptr<PointSolver> inner_;
    MethodValidity& validity_;
    double tolerance_;
};
