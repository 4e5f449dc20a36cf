#pragma once
// GWR and Stehfest as the caller asked for them, flagged where F's
// singularities refute them: their samples F(k ln2/t) lie on the real axis
// from ln2/t up, and a singularity right of that (growth faster than the
// time can resolve) makes their value meaningless, however small their own
// estimate. Where singularities off the real axis matter (f oscillates),
// an estimate that misses the tolerance says nothing of by how much, since
// real samples cannot see the oscillation: it becomes infinite; one that
// meets it is confirmed on the Bromwich line. No Python header.

#include <cmath>
#include <limits>
#include <memory>

#include "engine/contours/contour_first.hpp"
#include "engine/contours/contour_point.hpp"
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

// Where f oscillates and the real-axis value still claims the tolerance, the
// Bromwich line (euler) checks it. A wave that fades or turns fast enough is
// smoothed out of every Gaver functional, and the estimate, made from how
// they settle, cannot know of it: beside 1/sqrt(s), the wave of
// 10^4/((s + 3.5)^2 + 99.9^2) at t = 3.16 left GWR 0.5 % off with an
// estimate of 9e-16 at 15 digits, ten times over. The line sees it. Two
// values that disagree beyond their estimates cannot both be right, and the
// one reported carries the disagreement; where the line itself misses the
// tolerance, its error joins the disagreement, since nothing else bounds
// what GWR could not see. Where the singularities off the axis fade faster
// than they turn, the line checks too, as auto's Talbot does, wherever a
// complex sample costs about what a real one does.
class RealAxisGuard final : public PointSolver {
public:
    RealAxisGuard(std::unique_ptr<PointSolver> inner, const MethodContext& context)
        : inner_(std::move(inner)), validity_(context.validity),
          tolerance_(context.digits),
          cheap_complex_samples_(!has_costly_complex_sample(context.program)),
          line_(context.program, euler_rule(), method_code("euler"), context.digits, 0,
                &context.validity) {}

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override {
        PointResult result = inner_->solve(t, parameters, text, text_digits);
        if (!validity_.real_axis_allows(t, parameters)) {
            result.error = std::numeric_limits<double>::infinity();
            result.error_log10 = std::numeric_limits<double>::quiet_NaN();
            return result;
        }
        const Oscillation oscillation = validity_.oscillation(t, parameters);
        const bool met = tolerance_.met(result.value, result.error, result.error_log10);
        judge_real_axis_estimate(result, met, oscillation);
        const bool checked = oscillation == Oscillation::present ||
                             (oscillation == Oscillation::fading && cheap_complex_samples_);
        if (met && checked && std::isfinite(result.value)) {
            const PointResult line = line_.solve(t, parameters, nullptr, 0);
            const bool line_met = tolerance_.met(line.value, line.error, line.error_log10);
            const double apart = std::fabs(line.value - result.value);
            if (!line_met || !(apart <= result.error + line.error)) {
                // apart is between the two values rounded to doubles: half
                // a unit in the last place of each is added back.
                const double bound = apart + line.error +
                                     std::numeric_limits<double>::epsilon() * std::fabs(result.value);
                result.error = std::isnan(bound) ? std::numeric_limits<double>::infinity()
                                                 : std::max(result.error, bound);
                result.error_log10 = std::numeric_limits<double>::quiet_NaN();
            }
        }
        return result;
    }

private:
    std::unique_ptr<PointSolver> inner_;
    MethodValidity& validity_;
    Tolerance tolerance_;
    bool cheap_complex_samples_;  // F calls no function whose complex samples are costly
    ContourPointSolver line_;
};
