// The error estimate of a contour method: the rule with m and with m + 2
// nodes, on two slightly different contours. Their spread follows the error
// of the m-node value, which the truncation error of the (m + 2)-node value
// undercuts by about 10^1.2; on the known pairs the spread alone covered the
// true error at every point, with a median overstatement of about 20 times.
// Twice the spread keeps a margin; the ball radius of the (m + 2)-node value
// adds the rounding and the samples' own errors, which Arb bounds.
//
// More nodes, 1.4 times as many each time, up to 4 times the first count,
// serve where the estimate misses the tolerance: oscillating f at large t
// needs the contour to reach further up the imaginary axis, which takes
// nodes in proportion to the frequency times t.

#include "engine/contour_point.hpp"

#include <algorithm>
#include <cmath>

#include "engine/arb_bridge.hpp"

namespace {

constexpr double spread_safety = 2.0;
constexpr double level_growth = 1.4;
constexpr std::uint64_t last_level_factor = 4;
constexpr std::uint64_t spread_nodes = 2;

double midpoint_double(arb_srcptr ball) {
    return arf_get_d(arb_midref(ball), ARF_RND_NEAR);
}

double radius_double(arb_srcptr ball) { return mag_get_d(arb_radref(ball)); }

// The nodes are made with guard bits and then taken as exact points (their
// midpoints): F is then sampled at exactly known s, whose ball is as narrow
// as dividing by t makes it, and F's value comes out to the working
// precision without a raise. The quadrature rule at nodes moved by 2^-(P+16)
// is the same rule to far below the working precision.
constexpr slong node_guard_bits = 16;

void exact_nodes(ContourNodes& nodes) {
    for (AcbValue& z : nodes.z) {
        mag_zero(arb_radref(acb_realref(z.get())));
        mag_zero(arb_radref(acb_imagref(z.get())));
    }
}

// The contour for time t: the rule's z(p) / t, for the points between nodes.
class ScaledContour final : public Contour {
public:
    ScaledContour(const ContourRule& rule, std::uint64_t m, arb_srcptr t)
        : rule_(rule), m_(m), t_(t) {}
    void point(acb_ptr s, arb_srcptr p, slong prec) const override {
        rule_.point(s, m_, p, prec);
        acb_div_arb(s, s, t_, prec);
    }

private:
    const ContourRule& rule_;
    std::uint64_t m_;
    arb_srcptr t_;
};

}  // namespace

ContourPointSolver::ContourPointSolver(const Program& program, const ContourRule& rule,
                                       Method method, std::uint32_t digits,
                                       std::uint64_t given_m)
    : program_(program), rule_(rule), method_(method),
      tolerance_(std::pow(10.0, -static_cast<double>(digits))) {
    if (given_m != 0) {
        levels_.push_back(Level{given_m, std::nullopt, {}, {}});
        return;
    }
    const std::uint64_t first = std::max<std::uint64_t>(rule.first_nodes(digits), 4);
    const std::uint64_t last = last_level_factor * first;
    for (std::uint64_t m = first;; m = static_cast<std::uint64_t>(std::ceil(level_growth * m))) {
        m = std::min(m, last);
        levels_.push_back(Level{m, std::nullopt, {}, {}});
        if (m == last) {
            break;
        }
    }
}

// out = (1/t) Re sum_k w_k F(z_k / t), walking the nodes in order.
void ContourPointSolver::invert(Level& level, const ContourNodes& nodes, std::uint64_t m, double t,
                                arb_ptr out) {
    const slong prec = static_cast<slong>(level.sampler->bits());
    ArbValue time;
    arb_set_d(time.get(), t);
    const ScaledContour contour(rule_, m, time.get());
    AcbValue s, sum;
    for (std::size_t k = 0; k < nodes.z.size(); ++k) {
        acb_div_arb(s.get(), nodes.z[k].get(), time.get(), prec);
        slong accuracy = 0;
        acb_srcptr value = level.sampler->next(contour, nodes.parameter[k].get(), s.get(), accuracy);
        acb_addmul(sum.get(), nodes.weight[k].get(), value, prec);
    }
    arb_div(out, acb_realref(sum.get()), time.get(), prec);
}

PointResult ContourPointSolver::solve_at(Level& level, double t, const double* parameters,
                                         std::string* text, std::size_t text_digits) {
    const Bits bits = rule_.bits(level.m + spread_nodes);
    if (!level.sampler) {
        level.sampler.emplace(program_, bits);
        rule_.nodes(level.m, static_cast<slong>(bits) + node_guard_bits, level.coarse);
        rule_.nodes(level.m + spread_nodes, static_cast<slong>(bits) + node_guard_bits, level.fine);
        exact_nodes(level.coarse);
        exact_nodes(level.fine);
    }
    ArbValue coarse;
    ArbValue fine;
    level.sampler->start(parameters);
    invert(level, level.coarse, level.m, t, coarse.get());
    level.sampler->start(parameters);
    invert(level, level.fine, level.m + spread_nodes, t, fine.get());
    PointResult result;
    result.method = static_cast<std::uint8_t>(method_);
    if (!arb_is_finite(fine.get())) {
        result.value = result.error = std::nan("");
    } else {
        result.value = midpoint_double(fine.get());
        ArbValue spread;
        arb_sub(spread.get(), fine.get(), coarse.get(), static_cast<slong>(bits));
        result.error = spread_safety * std::fabs(midpoint_double(spread.get())) +
                       radius_double(fine.get());
    }
    if (text != nullptr) {
        WorkingValue middle(bits);
        set_midpoint(middle, fine.get());
        *text = decimal_text(middle, text_length(result, text_digits, bits));
    }
    return result;
}

PointResult ContourPointSolver::solve(double t, const double* parameters, std::string* text,
                                      std::size_t text_digits) {
    return first_level_that_meets(levels_, tolerance_, [&](Level& level) {
        return solve_at(level, t, parameters, text, text_digits);
    });
}
