// Why this order. On smooth f, GWR's first level meets the tolerance at the
// cost of real samples only, and then nothing else runs: the automatic choice
// costs what GWR costs there. Where it does not, the cause is either a
// function GWR resolves only with more terms (flat at t = 0, tiny against its
// scale) or one it cannot resolve at all (oscillation, poles off the real
// axis, which the real axis does not show). Talbot's contour handles both
// kinds, at the price of complex samples; GWR's further levels come last, for
// what Talbot could not settle either, and the point keeps the result of
// least estimated error. Nothing here reads the expression's text: the
// estimates decide.

#include "engine/auto_point.hpp"

#include <cmath>
#include <string>

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
    if (!met(best)) {
        std::string candidate_text;
        consider(talbot_.solve(t, parameters, text ? &candidate_text : nullptr, text_digits),
                 candidate_text);
    }
    if (!met(best) && gwr_.level_count() > 1) {
        std::string candidate_text;
        consider(gwr_.solve_levels(1, gwr_.level_count(), t, parameters,
                                   text ? &candidate_text : nullptr, text_digits),
                 candidate_text);
    }
    if (text != nullptr) {
        *text = std::move(best_text);
    }
    return best;
}
