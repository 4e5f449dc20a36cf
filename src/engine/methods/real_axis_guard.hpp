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
#include <optional>
#include <string>

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
          tolerance_(context.digits), digits_(context.digits),
          precise_(context.digits > std::numeric_limits<double>::digits10),
          cheap_complex_samples_(!has_costly_complex_sample(context.program)),
          line_(context.program, euler_rule(), method_code("euler"), context.digits, 0,
                &context.validity),
          talbot_(context.program, fixed_talbot_rule(), method_code("talbot"), context.digits, 0,
                  &context.validity) {}

    PointResult solve(double t, const double* parameters, std::string* text,
                      std::size_t text_digits) override {
        const Oscillation oscillation = validity_.oscillation(t, parameters);
        // A wave faded below the tolerance by t still biases the Gaver
        // functionals (auto_point.cpp), where complex samples are cheap to
        // check it by.
        const bool checked = oscillation == Oscillation::present ||
                             (cheap_complex_samples_ &&
                              (oscillation == Oscillation::fading ||
                               validity_.distant_waves(t, parameters)));
        // Past a double's resolution the two values are compared in their
        // full-precision texts: in doubles, GWR's 4e-57 off at 50 digits
        // beside a faded wave, against an estimate of 1.2e-57, was no
        // difference at all.
        std::string own_text;
        std::string* value_text = text;
        const std::size_t compared_digits = text_digits_for(digits_);
        if (checked && precise_ && text == nullptr) {
            value_text = &own_text;
            text_digits = compared_digits;
        }
        PointResult result = inner_->solve(t, parameters, value_text, text_digits);
        if (!validity_.real_axis_allows(t, parameters)) {
            result.error = std::numeric_limits<double>::infinity();
            result.error_log10 = std::numeric_limits<double>::quiet_NaN();
            return result;
        }
        const bool met = tolerance_.met(result.value, result.error, result.error_log10);
        judge_real_axis_estimate(result, met, oscillation);
        if (met && checked && std::isfinite(result.value)) {
            // Where the wave fades, Talbot's contour checks first, as auto's
            // does: it encloses what matters with digits to spare, where the
            // line's own estimate (3.5e-51 at 50 digits, against GWR's
            // 1.2e-57) can hide a bias it would not see. Where it cannot be
            // placed or misses, and where the wave is present, the line.
            std::string line_text;
            PointResult line;
            bool line_met = false;
            if (oscillation != Oscillation::present) {
                line = talbot_.solve(t, parameters, precise_ ? &line_text : nullptr, text_digits);
                line_met = tolerance_.met(line.value, line.error, line.error_log10);
            }
            if (!line_met) {
                line_text.clear();
                line = line_.solve(t, parameters, precise_ ? &line_text : nullptr, text_digits);
                line_met = tolerance_.met(line.value, line.error, line.error_log10);
            }
            // apart is between the two values as compared (texts or doubles),
            // each rounded by up to `rounding` of the value.
            double rounding = std::numeric_limits<double>::epsilon();
            double apart = std::fabs(line.value - result.value);
            if (precise_ && value_text != nullptr) {
                const std::optional<double> precise = texts_apart(*value_text, line_text);
                if (precise) {
                    apart = *precise;
                    rounding = std::pow(10.0, 1.0 - static_cast<double>(text_digits));
                }
            }
            if (!line_met || !(apart <= result.error + line.error)) {
                const double bound = apart + line.error + rounding * std::fabs(result.value);
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
    // |a - b| of two decimal texts of equal length, as a double; nothing where
    // either is not a finite number or the difference leaves the double range.
    static std::optional<double> texts_apart(const std::string& a, const std::string& b) {
        if (a.empty() || b.empty()) {
            return std::nullopt;
        }
        // Enough bits for every digit of either, so that the difference is exact
        // before its one rounding to a double.
        const Bits bits = static_cast<Bits>(4 * std::max(a.size(), b.size()) + 64);
        WorkingValue x(bits);
        WorkingValue y(bits);
        set_decimal(x, a.c_str());
        set_decimal(y, b.c_str());
        sub(x, x, y);
        abs(x, x);
        const double apart = to_double(x);
        if (!std::isfinite(apart) || (apart == 0.0 && !is_zero(x))) {
            return std::nullopt;
        }
        return apart;
    }

    Tolerance tolerance_;
    std::uint32_t digits_;
    bool precise_;  // the tolerance lies below a double's resolution
    bool cheap_complex_samples_;  // F calls no function whose complex samples are costly
    ContourPointSolver line_;
    ContourPointSolver talbot_;
};
