// Why this order. On smooth f, GWR's first level meets the tolerance at the
// cost of real samples only, and then nothing else runs: the automatic choice
// costs what GWR costs there. GWR runs only where every singularity of F lies
// left of its first sample ln2/t (MethodValidity); growth faster than that
// would make its value meaningless whatever its estimate says. Nor does it
// run where a singularity off the real axis makes f oscillate by t: its
// estimate is less sure there (real_axis_guard.hpp), Talbot's is not.
//
// Where GWR does not meet the tolerance, the cause is either a function GWR
// resolves with more terms (flat at t = 0, tiny against its scale) or one it
// cannot resolve at all (oscillation, poles off the real axis). GWR's second
// level, with 1.4 times the terms, improves the first's estimate by orders of
// magnitude where GWR converges and hardly at all where it does not: a
// tenfold improvement keeps GWR going. Otherwise the contours: Talbot where a
// Talbot contour provably encloses every singularity that matters, then the
// Bromwich line (Euler), shifted right of every singularity and with nodes
// reaching above them, which serves where Talbot cannot (oscillation at late
// times, poles near the imaginary axis).
//
// Candidates are compared by their error relative to the value they claim:
// a value near 0 with a tiny absolute estimate is no better for it. Two
// candidates that disagree beyond their combined estimates cannot both be
// right, so the one kept carries the disagreement in its estimate.

#include "engine/methods/auto_point.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "engine/contours/contour_first.hpp"
#include "engine/methods/real_axis_guard.hpp"

namespace {

// How much GWR's second level must improve on the first's estimate for its
// further levels to be worth more than the contours.
constexpr double convergence_gain = 10.0;

// log10 of the estimate relative to the value; absolute where the value is
// 0 (the tolerance is absolute there too). In logarithms, so that estimates
// past the double range (hundreds of digits) still compare.
double relative_error(const PointResult& r) {
    const double error = estimate_log10(r);
    return r.value == 0.0 ? error : error - std::log10(std::fabs(r.value));
}

}  // namespace

AutoPointSolver::AutoPointSolver(const Program& program, const std::deque<GwrLevelTables>& levels,
                                 std::uint32_t digits, MethodValidity& validity)
    : gwr_(program, levels, digits),
      talbot_(program, fixed_talbot_rule(), method_code("talbot"), digits, 0, &validity),
      euler_(program, euler_rule(), method_code("euler"), digits, 0, &validity), validity_(validity),
      tolerance_(digits), gwr_code_(method_code("gwr")),
      contour_first_(contour_first(program, digits)),
      cheap_complex_samples_(!has_costly_complex_sample(program)),
      first_talbot_nodes_(fixed_talbot_rule().first_nodes(digits)) {}

PointResult AutoPointSolver::solve(double t, const double* parameters, std::string* text,
                                   std::size_t text_digits) {
    const auto met = [&](const PointResult& r) {
        return tolerance_.met(r.value, r.error, r.error_log10);
    };
    bool have = false;
    PointResult best;
    std::string best_text;
    // Every candidate that claimed to meet the tolerance, for the
    // disagreement check: one that does not claim it has already said its
    // estimate is not to be relied on.
    PointResult claims[6];  // at most: Talbot, three GWR runs, Euler
    std::size_t claim_count = 0;
    const auto consider = [&](PointResult candidate, std::string& candidate_text) {
        if (std::isfinite(candidate.value) && met(candidate)) {
            claims[claim_count++] = candidate;
        }
        // A NaN candidate never wins; an infinite estimate wins only over nothing.
        if (!have || relative_error(candidate) < relative_error(best) ||
            (std::isnan(best.error) && !std::isnan(candidate.error)) ||
            (std::isnan(best.value) && !std::isnan(candidate.value))) {
            best = candidate;
            best_text = std::move(candidate_text);
            have = true;
        }
    };
    std::string candidate_text;
    std::string* wanted = text ? &candidate_text : nullptr;
    // At high digits the contour costs less than GWR (contour_first.cpp):
    // where the scan placed F's singularities and Talbot's first contour
    // provably encloses those that matter, its value stands on its own
    // estimate as it does below, and GWR runs only where it misses.
    bool talbot_tried = false;
    if (contour_first_ && validity_.vouched(parameters) &&
        validity_.talbot_shift(t, first_talbot_nodes_, parameters)) {
        consider(talbot_.solve(t, parameters, wanted, text_digits), candidate_text);
        talbot_tried = true;
    }
    // Where f oscillates, real samples cannot see it, and GWR's estimate is
    // no longer sure (real_axis_guard.hpp): the contours serve.
    const Oscillation oscillation = validity_.oscillation(t, parameters);
    if (talbot_tried && met(best)) {
        // nothing more to try
    } else if (validity_.real_axis_allows(t, parameters) && oscillation != Oscillation::present) {
        consider(gwr_.solve_levels(0, 1, t, parameters, wanted, text_digits), candidate_text);
        const std::size_t levels = gwr_.level_count();
        if (!met(best) && levels > 1) {
            const double first_error = best.error;
            consider(gwr_.solve_levels(1, 2, t, parameters, wanted, text_digits), candidate_text);
            if (!met(best) && best.error < first_error / convergence_gain && levels > 2) {
                consider(gwr_.solve_levels(2, levels, t, parameters, wanted, text_digits),
                         candidate_text);
            }
        }
        if (best.method == gwr_code_) {
            judge_real_axis_estimate(best, met(best), oscillation);
        }
    }
    // Where the scan could not place F's singularities, a value that met the
    // tolerance is confirmed by Talbot's contour, an independent method: two
    // that claim the tolerance and disagree are caught below. So it is where
    // singularities off the axis may matter but fade faster than they turn
    // (poles at 135-180 degrees, unproven cells around a cut), wherever a
    // complex sample costs about what a real one does: beside 1/sqrt(s), the
    // wave of 10^4/((s + 76.6)^2 + 64.3^2) is still visible at t = 0.17, and
    // GWR's estimate there fell short of its error by 1.8 times at 15 digits.
    // So too where such singularities have faded below the tolerance by t
    // but not far enough to leave GWR's functionals alone (distant_waves).
    const auto unsure = [&] {
        return cheap_complex_samples_ &&
               (oscillation == Oscillation::fading ||
                (oscillation != Oscillation::present && best.method == gwr_code_ &&
                 validity_.distant_waves(t, parameters)));
    };
    if (!talbot_tried && (!have || !met(best) || !validity_.vouched(parameters) || unsure())) {
        consider(talbot_.solve(t, parameters, wanted, text_digits), candidate_text);
    }
    if (!met(best)) {
        consider(euler_.solve(t, parameters, wanted, text_digits), candidate_text);
    }
    for (std::size_t i = 0; i < claim_count; ++i) {
        const double apart = std::fabs(claims[i].value - best.value);
        if (apart > claims[i].error + best.error) {
            best.error = std::max(best.error, apart);
        }
    }
    if (text != nullptr) {
        *text = std::move(best_text);
    }
    return best;
}

std::unique_ptr<PointSolver> make_auto_solver(const MethodContext& context) {
    return std::make_unique<AutoPointSolver>(context.program, context.levels, context.digits,
                                             context.validity);
}

bool auto_gaver_tables(const Program& program, std::uint32_t digits) {
    return !contour_first(program, digits);
}
