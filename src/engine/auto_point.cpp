// Why this order. On smooth f, GWR's first level meets the tolerance at the
// cost of real samples only, and then nothing else runs: the automatic choice
// costs what GWR costs there. Where it does not, the cause is either a
// function GWR resolves with more terms (flat at t = 0, tiny against its
// scale) or one it cannot resolve at all (oscillation, poles off the real
// axis, which the real axis does not show). The estimates tell the two apart:
// GWR's second level, with 1.4 times the terms, improves the first's estimate
// by orders of magnitude where GWR converges and hardly at all where it does
// not. A tenfold improvement keeps GWR going, with its further levels, at the
// cost of real samples; anything less turns to Talbot's contour, which
// handles both kinds at the price of complex samples (several times GWR's).
// The point keeps the result of least estimated error. Nothing here reads the
// expression's text: the estimates decide.

#include "engine/auto_point.hpp"

#include <cmath>
#include <string>

namespace {

// How much GWR's second level must improve on the first's estimate for its
// further levels to be worth more than Talbot.
constexpr double convergence_gain = 10.0;

}  // namespace

AutoPointSolver::AutoPointSolver(const Program& program, const std::deque<GwrLevelTables>& levels,
                                 std::uint32_t digits)
    : gwr_(program, levels, digits),
      talbot_(program, fixed_talbot_rule(), Method::talbot, digits, 0),
      tolerance_(std::pow(10.0, -static_cast<double>(digits))) {}

PointResult AutoPointSolver::solve(double t, const double* parameters, std::string* text,
                                   std::size_t text_digits) {
    const auto met = [&](const PointResult& r) {
        return !(r.error > tolerance_ * std::fabs(r.value));
    };
    std::string best_text;
    PointResult best = gwr_.solve_levels(0, 1, t, parameters, text ? &best_text : nullptr,
                                         text_digits);
    // Keeps the candidate of least estimated error (a NaN one never wins).
    const auto consider = [&](PointResult candidate, std::string& candidate_text) {
        if (candidate.error < best.error || std::isnan(best.error)) {
            best = candidate;
            best_text = std::move(candidate_text);
        }
    };
    const std::size_t levels = gwr_.level_count();
    if (!met(best) && levels > 1) {
        const double first_error = best.error;
        std::string candidate_text;
        consider(gwr_.solve_levels(1, 2, t, parameters, text ? &candidate_text : nullptr,
                                   text_digits),
                 candidate_text);
        if (!met(best) && best.error < first_error / convergence_gain && levels > 2) {
            consider(gwr_.solve_levels(2, levels, t, parameters,
                                       text ? &candidate_text : nullptr, text_digits),
                     candidate_text);
        }
    }
    if (!met(best)) {
        std::string candidate_text;
        consider(talbot_.solve(t, parameters, text ? &candidate_text : nullptr, text_digits),
                 candidate_text);
    }
    if (text != nullptr) {
        *text = std::move(best_text);
    }
    return best;
}
