// Why a saddle. The fixed Talbot contour for time t crosses the real axis at
// 2M/(5t) and magnifies F there by e^(0.4 M). Where F falls like e^(-a
// sqrt(s)), f(t) ~ e^(-a^2/(4t)) is tiny at small t against the contour's
// terms, and only more nodes and precision dig it out: K0(sqrt(s))/s at
// t = 0.0056 (f = 4.5e-22) took 84 nodes at 600 bits, 0.9 s a point, and at
// t = 0.001 no level reached it. The integrand e^(st) F(s) has a saddle on
// the real axis at s* = a^2/(4t^2); a contour through it meets terms of about
// f's own size, with nothing to cancel. Scaling the contour by lambda =
// s*/(2M/(5t)) is Talbot's rule at time t/lambda applied to e^(s(t -
// t/lambda)) F(s), whose inverse at t/lambda is f(t): the rule is unchanged,
// its estimate as sound. In mpmath at 150 digits, 21 nodes then gave
// K0(sqrt(s))/s at t = 0.0056 to 3e-16 (against 21 at lambda = 1 and
// 2e-14 at 42), and 60 nodes gave it at t = 0.001 to 5e-24; a lambda 1.5 or
// 2 times the saddle's lost most of the gain, so the saddle is found to a
// per cent. Where F does not decay that fast (1/s, poles, branch points)
// u t + ln|F| rises from the crossing on, and the contour stays where it is.

#include "engine/contours/contour_saddle.hpp"

#include <cmath>

#include "engine/program/arb_value.hpp"

namespace {

// The search reads F to a double's worth: the saddle is wanted to a per cent.
constexpr Bits search_bits = 64;
// Steps of 2^(1/4) out to 2^16 times the crossing, then a golden section on
// log u down to the width that places the saddle within a per cent.
constexpr double step = 1.189207115002721;  // 2^(1/4)
constexpr int most_steps = 64;
constexpr int golden_steps = 12;
// Fewer right bits than this and the value says nothing about the saddle.
constexpr slong least_accuracy = 16;

}  // namespace

RealAxisSaddle::RealAxisSaddle(const Program& program) : evaluator_(program, search_bits) {}

std::optional<double> RealAxisSaddle::exponent(double u, double t, double shift,
                                               const double* parameters) {
    ArbValue s;
    arb_set_d(s.get(), u);
    if (shift != 0.0) {
        ArbValue offset;
        arb_set_d(offset.get(), shift);
        arb_add(s.get(), s.get(), offset.get(), 2 * search_bits);
    }
    slong accuracy = 0;
    arb_srcptr value = evaluator_.evaluate(s.get(), parameters, accuracy);
    if (accuracy < least_accuracy || !arb_is_finite(value) || arb_contains_zero(value)) {
        return std::nullopt;
    }
    ArbValue logarithm;
    arb_abs(logarithm.get(), value);
    arb_log(logarithm.get(), logarithm.get(), search_bits);
    const double log_abs = arf_get_d(arb_midref(logarithm.get()), ARF_RND_NEAR);
    if (!std::isfinite(log_abs)) {
        return std::nullopt;
    }
    return u * t + log_abs;
}

std::optional<double> RealAxisSaddle::find(double from, double t, double shift,
                                           const double* parameters) {
    if (!(from > 0.0) || !std::isfinite(from)) {
        return std::nullopt;
    }
    std::optional<double> previous = exponent(from, t, shift, parameters);
    double u = from * step;
    std::optional<double> current = exponent(u, t, shift, parameters);
    if (!previous || !current || !(*current < *previous)) {
        return std::nullopt;
    }
    for (int k = 1;; ++k) {
        if (k == most_steps) {
            return std::nullopt;  // still falling: no saddle in reach
        }
        const std::optional<double> next = exponent(u * step, t, shift, parameters);
        if (!next) {
            return std::nullopt;
        }
        if (*next > *current) {
            break;
        }
        current = next;
        u *= step;
    }
    // The minimum lies between u / step and u * step: a golden section on
    // log u, each step reusing one of the two inner points.
    const double golden = 0.6180339887498949;
    double low = std::log(u / step);
    double high = std::log(u * step);
    double left = high - golden * (high - low);
    double right = low + golden * (high - low);
    std::optional<double> at_left = exponent(std::exp(left), t, shift, parameters);
    std::optional<double> at_right = exponent(std::exp(right), t, shift, parameters);
    for (int k = 0; k < golden_steps; ++k) {
        if (!at_left || !at_right) {
            return std::nullopt;
        }
        if (*at_left < *at_right) {
            high = right;
            right = left;
            at_right = at_left;
            left = high - golden * (high - low);
            at_left = exponent(std::exp(left), t, shift, parameters);
        } else {
            low = left;
            left = right;
            at_left = at_right;
            right = low + golden * (high - low);
            at_right = exponent(std::exp(right), t, shift, parameters);
        }
    }
    return std::exp(0.5 * (low + high));
}
