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
#include <limits>

#include "engine/arb_bridge.hpp"

namespace {

constexpr double spread_safety = 2.0;
constexpr double level_growth = 1.4;
constexpr std::uint64_t last_level_factor = 4;
constexpr std::uint64_t spread_nodes = 2;
// Beyond the usual levels, a Talbot contour grown to enclose singularities
// high up the imaginary direction stops at this many times the first count:
// past it the Bromwich line serves better.
constexpr std::uint64_t most_talbot_factor = 16;

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

// The contour for time t: shift + the rule's z(p) / t, for the points
// between nodes.
class ScaledContour final : public Contour {
public:
    ScaledContour(const ContourRule& rule, std::uint64_t m, arb_srcptr t, arb_srcptr shift)
        : rule_(rule), m_(m), t_(t), shift_(shift) {}
    void point(acb_ptr s, arb_srcptr p, slong prec) const override {
        rule_.point(s, m_, p, prec);
        acb_div_arb(s, s, t_, prec);
        arb_add(acb_realref(s), acb_realref(s), shift_, prec);
    }

private:
    const ContourRule& rule_;
    std::uint64_t m_;
    arb_srcptr t_;
    arb_srcptr shift_;
};

}  // namespace

ContourPointSolver::ContourPointSolver(const Program& program, const ContourRule& rule,
                                       MethodCode code, std::uint32_t digits,
                                       std::uint64_t given_m, MethodValidity* validity)
    : program_(program), rule_(rule), code_(code), tolerance_(digits), given_(given_m != 0),
      validity_(validity) {
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

// out = (e^(shift t) / t) Re sum_k w_k F(shift + z_k / t), walking the nodes
// in order: the inversion of F(s + shift), whose singularities lie shift
// further left, times the growth that the shift took out.
void ContourPointSolver::invert(Level& level, const ContourNodes& nodes, std::uint64_t m, double t,
                                double shift, arb_ptr out) {
    const slong prec = static_cast<slong>(level.sampler->bits());
    ArbValue time, offset;
    arb_set_d(time.get(), t);
    arb_set_d(offset.get(), shift);  // exact: any double is a point
    const ScaledContour contour(rule_, m, time.get(), offset.get());
    AcbValue s, sum;
    for (std::size_t k = 0; k < nodes.z.size(); ++k) {
        acb_div_arb(s.get(), nodes.z[k].get(), time.get(), prec);
        if (shift != 0.0) {
            arb_add(acb_realref(s.get()), acb_realref(s.get()), offset.get(), prec);
        }
        slong accuracy = 0;
        acb_srcptr value = level.sampler->next(contour, nodes.parameter[k].get(), s.get(), accuracy);
        acb_addmul(sum.get(), nodes.weight[k].get(), value, prec);
    }
    arb_div(out, acb_realref(sum.get()), time.get(), prec);
    if (shift != 0.0) {
        ArbValue growth;
        arb_mul(growth.get(), offset.get(), time.get(), prec);
        arb_exp(growth.get(), growth.get(), prec);
        arb_mul(out, out, growth.get(), prec);
    }
}

PointResult ContourPointSolver::solve_at(Level& level, double t, double shift,
                                         const double* parameters, std::string* text,
                                         std::size_t text_digits) {
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
    invert(level, level.coarse, level.m, t, shift, coarse.get());
    level.sampler->start(parameters);
    invert(level, level.fine, level.m + spread_nodes, t, shift, fine.get());
    PointResult result;
    result.method = code_;
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

ContourPointSolver::Placement ContourPointSolver::place(std::uint64_t m, double t,
                                                        const double* parameters) {
    if (validity_ == nullptr) {
        return Placement{};
    }
    if (rule_.vertical_line()) {
        const std::optional<LinePlan> line = validity_->bromwich_line(t, parameters);
        if (!line) {
            return Placement{0.0, false};
        }
        return Placement{line->shift, m >= line->least_nodes};
    }
    const std::optional<double> shift = validity_->talbot_shift(t, m, parameters);
    return shift ? Placement{*shift, true} : Placement{0.0, false};
}

PointResult ContourPointSolver::solve(double t, const double* parameters, std::string* text,
                                      std::size_t text_digits) {
    if (validity_ != nullptr && rule_.vertical_line() && !given_) {
        // The line reaches higher with more nodes: where the singularities
        // that matter stand above every level's reach, one more level that
        // reaches them.
        const std::optional<LinePlan> line = validity_->bromwich_line(t, parameters);
        if (line && line->least_nodes > levels_.back().m) {
            levels_.push_back(Level{line->least_nodes, std::nullopt, {}, {}});
        }
    }
    if (validity_ != nullptr && !rule_.vertical_line() && !given_ &&
        !place(levels_.back().m, t, parameters).proven) {
        // A Talbot contour reaches higher with more nodes (r = 2M/5): where
        // no level's contour encloses the singularities that matter, the
        // first larger one that does, if any within reach.
        const std::uint64_t most = most_talbot_factor * levels_.front().m;
        for (std::uint64_t m = levels_.back().m; m < most;) {
            m = std::min(most, static_cast<std::uint64_t>(std::ceil(level_growth * m)));
            if (place(m, t, parameters).proven) {
                levels_.push_back(Level{m, std::nullopt, {}, {}});
                break;
            }
        }
    }
    PointResult result;
    bool computed = false;
    for (std::size_t l = 0; l < levels_.size(); ++l) {
        const Placement placement = place(levels_[l].m, t, parameters);
        // Levels that cannot be proven are skipped; the last one runs all
        // the same when none could be, so that the point has a value, flagged.
        if (!placement.proven && (computed || l + 1 < levels_.size())) {
            continue;
        }
        result = solve_at(levels_[l], t, placement.shift, parameters, text, text_digits);
        computed = true;
        if (!placement.proven) {
            result.error = std::numeric_limits<double>::infinity();
        }
        if (tolerance_.settled(result.value, result.error)) {
            break;
        }
    }
    return result;
}

std::unique_ptr<PointSolver> make_talbot_solver(const MethodContext& context) {
    return std::make_unique<ContourPointSolver>(context.program, fixed_talbot_rule(),
                                                method_code("talbot"), context.digits, context.m,
                                                &context.validity);
}

std::unique_ptr<PointSolver> make_euler_solver(const MethodContext& context) {
    return std::make_unique<ContourPointSolver>(context.program, euler_rule(),
                                                method_code("euler"), context.digits, context.m,
                                                &context.validity);
}
