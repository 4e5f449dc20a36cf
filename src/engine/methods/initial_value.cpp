// The initial-value theorem: f(0+) = lim_{s -> inf} s F(s) for the transforms
// that have the limit (Doetsch, "Introduction to the Theory and Application of
// the Laplace Transformation", Theorem 33.2). Numerically the limit is
// approached along s = 2^e for e growing geometrically, so that terms of s F
// that decay like a power of s (1/s, 1/sqrt(s)) fall below the working
// precision by the last points, and growth like log s or sqrt(s) shows as a
// steady increase.

#include "engine/methods/initial_value.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "engine/program/arb_bridge.hpp"
#include "engine/program/arb_value.hpp"
#include "engine/methods/limit_rule.hpp"
#include "engine/methods/point_solver.hpp"

namespace {

constexpr std::size_t limit_points = 4;

// s F(s) at s = 2^exponent.
void scaled_sample(AccurateEvaluator& evaluator, const double* parameters, slong exponent,
                   ArbValue& point, ArbValue& out) {
    arb_one(point.get());
    arb_mul_2exp_si(point.get(), point.get(), exponent);
    slong accuracy = 0;
    arb_srcptr value = evaluator.evaluate(point.get(), parameters, accuracy);
    arb_mul(out.get(), value, point.get(), static_cast<slong>(evaluator.bits()));
}

}  // namespace

PointResult initial_value(AccurateEvaluator& evaluator, const double* parameters,
                          std::uint32_t digits, std::string* text, std::size_t text_digits) {
    const auto b = static_cast<slong>(evaluator.bits());
    const std::array<slong, limit_points> exponents{b / 2, b, 2 * b, 4 * b};
    std::array<ArbValue, limit_points> g;
    ArbValue point;
    std::array<double, limit_points> magnitude{};
    for (std::size_t j = 0; j < limit_points; ++j) {
        scaled_sample(evaluator, parameters, exponents[j], point, g[j]);
        if (!arb_is_finite(g[j].get())) {
            if (text != nullptr) {
                *text = "nan";
            }
            const double nan = std::numeric_limits<double>::quiet_NaN();
            return PointResult{nan, nan};
        }
        magnitude[j] = std::fabs(arf_get_d(arb_midref(g[j].get()), ARF_RND_NEAR));
    }
    WorkingValue last(evaluator.bits());
    WorkingValue spread(evaluator.bits());
    set_midpoint(last, g[3].get());
    WorkingValue before(evaluator.bits());
    set_midpoint(before, g[2].get());
    sub(spread, last, before);
    const double d = std::fabs(to_double(spread));
    const bool same_sign = arf_sgn(arb_midref(g[2].get())) == arf_sgn(arb_midref(g[3].get()));
    PointResult result;
    switch (classify_limit(magnitude, d, same_sign, digits)) {
        case LimitKind::settled: {
            // A limit below the working precision's share of the values' size
            // is 0 (s F = s / (s^2 + 1) ends at 2^-4b): the value 0, the error
            // what was left of s F.
            const double scale = *std::max_element(magnitude.begin(), magnitude.end());
            if (magnitude[3] <= std::ldexp(scale, -static_cast<int>(b))) {
                result = PointResult{0.0, std::max(d, magnitude[3])};
                set_positive_zero(last);
            } else {
                result = PointResult{to_double(last), d};
            }
            if (text != nullptr) {
                *text = decimal_text(last, text_digits);
            }
            return result;
        }
        case LimitKind::unbounded: {
            const double infinity = std::numeric_limits<double>::infinity();
            result = PointResult{arf_sgn(arb_midref(g[3].get())) < 0 ? -infinity : infinity, 0.0};
            break;
        }
        case LimitKind::unsettled: {
            const double nan = std::numeric_limits<double>::quiet_NaN();
            result = PointResult{nan, nan};
            break;
        }
    }
    if (text != nullptr) {
        *text = std::isnan(result.value) ? "nan" : (result.value < 0 ? "-inf" : "inf");
    }
    return result;
}
