// The error estimate of a contour method: the rule with m and with m + 2
// nodes, on two slightly different contours. Their spread follows the error
// of the m-node value, which the truncation error of the (m + 2)-node value
// undercuts by about 10^1.2; on the known pairs the spread alone covered the
// true error at every point, with a median overstatement of about 20 times.
// But where poles sit off the real axis (sin t: +-i) the errors alternate in
// sign and size from one node count to the next, and the m- and (m+2)-node
// values can agree by chance while both stand off: at 15 digits and
// t = 4.138, 2e-18 apart and 1e-16 off. The rule with m + 1 nodes, off by
// about as much with the other sign, shows it: the larger of the two spreads
// is taken. It costs half as many samples again, so it runs below 80 digits
// only, where a contour serves because f oscillates; from there on Talbot
// runs first by cost (contour_first.cpp), and on sin t, cos 2t and
// e^-t sin 3t at 80, 100 and 200 digits the two spreads covered every point.
// Twice the spread keeps a margin; the ball radius of the (m + 2)-node value
// adds the rounding and the samples' own errors, which Arb bounds.
//
// More nodes, 1.4 times as many each time, up to 4 times the first count,
// serve where the estimate misses the tolerance: oscillating f at large t
// needs the contour to reach further up the imaginary axis, which takes
// nodes in proportion to the frequency times t.

#include "engine/contours/contour_point.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/program/arb_bridge.hpp"
#include "engine/contours/contour_node_cache.hpp"

namespace {

constexpr double spread_safety = 2.0;
// On a contour moved out to the saddle the rule converges more slowly per
// node, and two node counts stand closer to each other's error: twice the
// spread left 1 point in 6 of the e^(-a sqrt(s)) family short by up to 1.6
// times at 15 digits (contour_saddle.cpp).
constexpr double moved_spread_safety = 8.0;
constexpr double level_growth = 1.4;
constexpr std::uint64_t last_level_factor = 4;
constexpr std::uint64_t spread_nodes = 2;
constexpr std::uint32_t third_rule_below_digits = 80;
// Beyond the usual levels, a Talbot contour grown to enclose singularities
// high up the imaginary direction stops at this many times the first count:
// past it the Bromwich line serves better.
constexpr std::uint64_t most_talbot_factor = 16;

double midpoint_double(arb_srcptr ball) {
    return arf_get_d(arb_midref(ball), ARF_RND_NEAR);
}

double radius_double(arb_srcptr ball) { return mag_get_d(arb_radref(ball)); }

// Past the double range (estimates below about 1e-300, at hundreds of
// digits) the double estimate above is no estimate: mag_get_d clamps a tiny
// radius up to 2^-1000, and the spread's double rounds to 0. There the same
// rule is taken in Arb and carried as its logarithm; the double keeps what
// of it a double can hold.
constexpr slong double_range_exponent = -1000;

// The estimate, safety times the spread plus the ball's radius, rounded up
// in Arb: out's midpoint.
void estimate_in_arb(arb_srcptr spread, arb_srcptr fine, double safety, arb_ptr out) {
    arf_abs(arb_midref(out), arb_midref(spread));
    arf_mul_ui(arb_midref(out), arb_midref(out), static_cast<ulong>(safety), 64, ARF_RND_UP);
    ArbValue radius;
    arf_set_mag(arb_midref(radius.get()), arb_radref(fine));
    arf_add(arb_midref(out), arb_midref(out), arb_midref(radius.get()), 64, ARF_RND_UP);
}

void carry_small_estimate(arb_srcptr spread, arb_srcptr fine, double safety, PointResult& result) {
    ArbValue estimate;
    estimate_in_arb(spread, fine, safety, estimate.get());
    const arf_struct* e = arb_midref(estimate.get());
    if (arf_is_zero(e) || fmpz_cmp_si(ARF_EXPREF(e), double_range_exponent) > 0) {
        return;  // within the double range, or exactly 0: the double says it
    }
    ArbValue mantissa;
    ExactIntegerValue exponent;
    arf_frexp(arb_midref(mantissa.get()), exponent.get(), e);
    constexpr double log10_2 = 0.30102999566398120;
    result.error_log10 = std::log10(arf_get_d(arb_midref(mantissa.get()), ARF_RND_UP)) +
                         fmpz_get_d(exponent.get()) * log10_2;
    result.error = arf_get_d(e, ARF_RND_UP);
}

// Whether the estimate (safety times the spread, plus the ball's radius)
// is at most 2^-16 of the value, in Arb: for values past the double range,
// where the doubles cannot compare them. A value that overflows the double
// but stands that far above its spread is one the method vouches for.
bool within_estimate_share(arb_srcptr spread, arb_srcptr fine, double safety) {
    constexpr slong share_bits = 16;
    ArbValue estimate;
    estimate_in_arb(spread, fine, safety, estimate.get());
    ArbValue bound;
    arf_abs(arb_midref(bound.get()), arb_midref(fine));
    arf_mul_2exp_si(arb_midref(bound.get()), arb_midref(bound.get()), -share_bits);
    return arf_cmp(arb_midref(estimate.get()), arb_midref(bound.get())) <= 0;
}

// The nodes are made with guard bits and then taken as exact points (their
// midpoints, contour_node_cache.cpp): F is then sampled at exactly known s, whose ball is as narrow
// as dividing by t makes it, and F's value comes out to the working
// precision without a raise. The quadrature rule at nodes moved by 2^-(P+16)
// is the same rule to far below the working precision.
constexpr slong node_guard_bits = 16;

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
      third_rule_(digits < third_rule_below_digits), validity_(validity) {
    if (given_m != 0) {
        levels_.push_back(Level{given_m, std::nullopt, nullptr, nullptr, nullptr});
        return;
    }
    const std::uint64_t first = std::max<std::uint64_t>(rule.first_nodes(digits), 4);
    const std::uint64_t last = last_level_factor * first;
    for (std::uint64_t m = first;; m = static_cast<std::uint64_t>(std::ceil(level_growth * m))) {
        m = std::min(m, last);
        levels_.push_back(Level{m, std::nullopt, nullptr, nullptr, nullptr});
        if (m == last) {
            break;
        }
    }
}

// out = (e^(shift t) / t) Re sum_k w_k F(shift + z_k / t), walking the nodes
// in order: the inversion of F(s + shift), whose singularities lie shift
// further left, times the growth that the shift took out. On the contour of
// an earlier time `scaled` = t / lambda, the rule at that time of
// e^(u (t - scaled)) F(u + shift), whose inverse there is f's at t.
void ContourPointSolver::invert(Level& level, const ContourNodes& nodes, std::uint64_t m, double t,
                                double scaled, double shift, arb_ptr out) {
    const slong prec = static_cast<slong>(level.sampler->bits());
    // The node for time t carries guard bits beyond the working precision:
    // rounded to it, the node's ball alone would hold F's value below the
    // precision asked of it, and every sample would be made twice.
    const slong node_prec = prec + node_guard_bits;
    ArbValue time, contour_time, offset, advance;
    arb_set_d(time.get(), t);
    arb_set_d(contour_time.get(), scaled);
    arb_set_d(offset.get(), shift);  // exact: any double is a point
    const bool moved = scaled != t;
    if (moved) {
        arb_sub(advance.get(), time.get(), contour_time.get(), node_prec);
    }
    const ScaledContour contour(rule_, m, contour_time.get(), offset.get());
    // z_k / t as a product with 1/t, made once: at hundreds of digits a
    // quotient costs about two products, and the sample itself only a few.
    ArbValue inverse_time;
    arb_inv(inverse_time.get(), contour_time.get(), node_prec);
    AcbValue s, factor, moved_value;
    ArbValue sum;
    for (std::size_t k = 0; k < nodes.z.size(); ++k) {
        acb_mul_arb(s.get(), nodes.z[k].get(), inverse_time.get(), node_prec);
        if (moved) {
            // e^(u (t - scaled)) at u = z_k / scaled, before the shift moves s.
            acb_mul_arb(factor.get(), s.get(), advance.get(), prec);
            acb_exp(factor.get(), factor.get(), prec);
        }
        if (shift != 0.0) {
            arb_add(acb_realref(s.get()), acb_realref(s.get()), offset.get(), node_prec);
        }
        slong accuracy = 0;
        acb_srcptr value = level.sampler->next(contour, nodes.parameter[k].get(), s.get(), accuracy);
        if (moved) {
            acb_mul(moved_value.get(), value, factor.get(), prec);
            value = moved_value.get();
        }
        // Only the sum's real part is wanted: Re(w F) = Re w Re F - Im w Im F,
        // two real products where the complex one takes three or four.
        const acb_struct* weight = nodes.weight[k].get();
        arb_addmul(sum.get(), acb_realref(weight), acb_realref(value), prec);
        arb_submul(sum.get(), acb_imagref(weight), acb_imagref(value), prec);
    }
    arb_div(out, sum.get(), contour_time.get(), prec);
    if (shift != 0.0) {
        ArbValue growth;
        arb_mul(growth.get(), offset.get(), time.get(), prec);
        arb_exp(growth.get(), growth.get(), prec);
        arb_mul(out, out, growth.get(), prec);
    }
}

PointResult ContourPointSolver::solve_at(Level& level, double t, double scaled, double shift,
                                         const double* parameters, std::string* text,
                                         std::size_t text_digits) {
    const Bits bits = rule_.bits(level.m + spread_nodes);
    if (!level.sampler) {
        level.sampler.emplace(program_, bits);
        const slong prec = static_cast<slong>(bits) + node_guard_bits;
        level.coarse = shared_contour_nodes(rule_, level.m, prec);
        if (third_rule_) {
            level.middle = shared_contour_nodes(rule_, level.m + 1, prec);
        }
        level.fine = shared_contour_nodes(rule_, level.m + spread_nodes, prec);
    }
    ArbValue coarse;
    ArbValue middle;
    ArbValue fine;
    level.sampler->start(parameters);
    invert(level, *level.coarse, level.m, t, scaled, shift, coarse.get());
    if (level.middle) {
        level.sampler->start(parameters);
        invert(level, *level.middle, level.m + 1, t, scaled, shift, middle.get());
    }
    level.sampler->start(parameters);
    invert(level, *level.fine, level.m + spread_nodes, t, scaled, shift, fine.get());
    PointResult result;
    result.method = code_;
    if (!arb_is_finite(fine.get())) {
        result.value = result.error = std::nan("");
    } else {
        result.value = midpoint_double(fine.get());
        ArbValue spread;
        arb_sub(spread.get(), fine.get(), coarse.get(), static_cast<slong>(bits));
        if (level.middle) {
            ArbValue other;
            arb_sub(other.get(), fine.get(), middle.get(), static_cast<slong>(bits));
            if (arf_cmpabs(arb_midref(other.get()), arb_midref(spread.get())) > 0) {
                arb_swap(spread.get(), other.get());
            }
        }
        const double safety = scaled != t ? moved_spread_safety : spread_safety;
        result.error = safety * std::fabs(midpoint_double(spread.get())) + radius_double(fine.get());
        carry_small_estimate(spread.get(), fine.get(), safety, result);
        if (std::isinf(result.value) && !within_estimate_share(spread.get(), fine.get(), safety)) {
            // A sum past the double range whose spread is of its own size says
            // nothing (Talbot by name before a delay's front, where f = 0,
            // came to -inf): no value, rather than an infinite one that the
            // tolerance would take as f's own.
            result.value = std::nan("");
        }
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
            levels_.push_back(Level{line->least_nodes, std::nullopt, nullptr, nullptr, nullptr});
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
                levels_.push_back(Level{m, std::nullopt, nullptr, nullptr, nullptr});
                break;
            }
        }
    }
    PointResult result;
    bool computed = false;
    // The saddle of e^(st) F(s), sought once a point from the first level's
    // crossing, for the shift it was sought at.
    std::optional<double> saddle;
    std::optional<double> saddle_shift;
    for (std::size_t l = 0; l < levels_.size(); ++l) {
        const Placement placement = place(levels_[l].m, t, parameters);
        // Levels that cannot be proven are skipped; the last one runs all
        // the same when none could be, so that the point has a value, flagged.
        if (!placement.proven && (computed || l + 1 < levels_.size())) {
            continue;
        }
        double scaled = t;
        if (!rule_.vertical_line() && placement.proven) {
            if (saddle_shift != placement.shift) {
                if (!saddle_) {
                    saddle_.emplace(program_);
                }
                saddle = saddle_->find(rule_.real_crossing(levels_.front().m) / t, t,
                                       placement.shift, parameters);
                saddle_shift = placement.shift;
            }
            scaled = saddle_time(levels_[l].m, t, saddle, placement, parameters);
        }
        result = solve_at(levels_[l], t, scaled, placement.shift, parameters, text, text_digits);
        computed = true;
        if (!placement.proven) {
            result.error = std::numeric_limits<double>::infinity();
            result.error_log10 = std::numeric_limits<double>::quiet_NaN();
        }
        if (tolerance_.settled(result.value, result.error, result.error_log10)) {
            break;
        }
    }
    return result;
}

double ContourPointSolver::saddle_time(std::uint64_t m, double t,
                                       const std::optional<double>& saddle,
                                       const Placement& placement, const double* parameters) {
    const double crossing = rule_.real_crossing(m) / t;
    if (!saddle || !(*saddle > crossing)) {
        return t;
    }
    // The contour of an earlier time is this one grown by lambda: it encloses
    // more, and is placed, and proven, at that time (a missed singularity p
    // would cost e^(p t) all the same).
    const double scaled = t * crossing / *saddle;
    const Placement grown = place(m, scaled, parameters);
    return grown.proven && grown.shift == placement.shift ? scaled : t;
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
