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

#include "engine/placement/method_validity.hpp"
#include "engine/methods/point_solver.hpp"
#include "engine/methods/tolerance.hpp"

// A real-axis estimate where singularities off the real axis matter at t (f
// oscillates) or may matter: one that misses the tolerance says nothing of by
// how much, and becomes infinite. One that meets it where they do matter is
// still less sure than on a smooth f, since the spread of the Gaver sequence
// can pass near a node of an oscillating error (on (1 - cos t)/t at t = 12
// and 12 digits, GWR's undercut its true error by 12 %). Ten times it keeps
// every point of sin t, e^(-t/5) sin t, J0(t), sin(t)/t and (1 - cos t)/t
// covered at 12 and 15 digits. (auto does not take real-axis methods there.)
inline void judge_real_axis_estimate(PointResult& result, bool met, Oscillation oscillation) {
    constexpr double oscillation_safety = 10.0;
    if (oscillation == Oscillation::none) {
        return;
    }
    if (!met) {
        result.error = std::numeric_limits<double>::infinity();
        result.error_log10 = std::numeric_limits<double>::quiet_NaN();
    } else if (oscillation == Oscillation::present) {
        result.error *= oscillation_safety;
        result.error_log10 += std::log10(oscillation_safety);  // NaN stays NaN
    }
}

class RealAxisGuard final : public PointSolver {
public:
    RealAxisGuard(std::unique_ptr<PointSolver> inner, MethodValidity& validity,
                  std::uint32_t digits)
        : inner_(std::move(inner)), validity_(validity),
          tolerance_(digits) {}

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override {
        PointResult result = inner_->solve(t, parameters, text, text_digits);
        if (!validity_.real_axis_allows(t, parameters)) {
            result.error = std::numeric_limits<double>::infinity();
            result.error_log10 = std::numeric_limits<double>::quiet_NaN();
        } else {
            judge_real_axis_estimate(
                result, tolerance_.met(result.value, result.error, result.error_log10),
                validity_.oscillation(t, parameters));
        }
        return result;
    }

private:
    std::unique_ptr<PointSolver> inner_;
    MethodValidity& validity_;
    Tolerance tolerance_;
};
