// The rule, and why.
//
// With F exact to the working precision, GWR with m terms reaches about
// 0.93 m correct digits when the precision is about 2.1 m digits (Valko &
// Abate 2004). At 2.1 m the rounding noise that the Gaver differences and the
// rho algorithm magnify is close to the truncation error, so the error
// estimate (the spread of the last rho estimates) misses the noise at about
// one point in fifteen; at 2.4 m digits and 8 guard bits the noise stays a
// decade below the truncation error for m from 17 to 66 on the known pairs
// (compared with the same m at 5 m digits), so the estimate sees what matters
// (bench/bench_invert.py measures its honesty). The rho algorithm needs less:
// the noise is made by the Gaver differences, which cancel about 2^(2n) of
// the samples' size, while rho only divides by differences of functionals
// that are already rounded. Run at 1.7 m digits instead of 2.4 m it gives the
// same result to the last digit on the known pairs (m = 33); 1.8 m keeps a
// margin, and at m = 33 makes its quotients 3 limbs long instead of 5. The first level,
// 1.1 digits terms, meets the tolerance at most points of smooth transforms;
// functions that are flat at t = 0 (e^-sqrt(s)/s at small t) or tiny
// against their scale (e^-t at t = 10) need more terms, and get them from the
// later levels, each about 1.4 times the one before, which roughly adds half
// again as many correct digits. Three times the first level bounds the cost
// of a point that cannot converge (an oscillating f, a singularity off the
// real axis): there the estimate says how far it got.

#include "engine/gwr/gwr_plan.hpp"

#include <algorithm>
#include <cmath>

#include "core/gwr/gwr_memory.hpp"
#include "core/precision/precision_rules.hpp"

namespace {

constexpr double terms_per_digit = 1.1;
constexpr double precision_digits_per_term = 2.4;
constexpr double rho_digits_per_term = 1.8;
constexpr std::uint64_t level_guard_bits = 8;
constexpr double level_growth = 1.4;
constexpr std::uint64_t last_level_factor = 3;
// Fewer than four terms leave the rho algorithm too few estimates to judge
// its own convergence.
constexpr std::uint64_t fewest_terms = 4;

}  // namespace

namespace {

std::uint64_t unchecked_bits_for(double digits_per_term, std::uint64_t m) {
    double bits = std::ceil(digits_per_term * static_cast<double>(m) * bits_per_digit);
    return static_cast<std::uint64_t>(bits) + level_guard_bits;
}

Bits bits_for(double digits_per_term, std::uint64_t m) {
    return checked_bits(unchecked_bits_for(digits_per_term, m));
}

}  // namespace

std::uint64_t max_terms() {
    // The estimate from the rule itself, then corrected by the rule's own
    // rounding (ceil of a double product) at the boundary.
    auto m = static_cast<std::uint64_t>(static_cast<double>(max_precision_bits - level_guard_bits) /
                                        (precision_digits_per_term * bits_per_digit));
    while (unchecked_bits_for(precision_digits_per_term, m + 1) <= max_precision_bits) {
        ++m;
    }
    while (unchecked_bits_for(precision_digits_per_term, m) > max_precision_bits) {
        --m;
    }
    return m;
}

GwrLevel gwr_level(std::uint64_t m) {
    return GwrLevel{m, bits_for(precision_digits_per_term, m), bits_for(rho_digits_per_term, m)};
}

std::vector<GwrLevel> gwr_levels(std::uint32_t digits, std::uint64_t given_m) {
    std::vector<GwrLevel> levels;
    if (given_m != 0) {
        levels.push_back(gwr_level(given_m));
        return levels;
    }
    auto first = static_cast<std::uint64_t>(std::ceil(terms_per_digit * digits));
    first = std::max(first, fewest_terms);
    const std::uint64_t last = last_level_factor * first;
    for (std::uint64_t m = first;; m = static_cast<std::uint64_t>(std::ceil(level_growth * m))) {
        m = std::min(m, last);
        levels.push_back(gwr_level(m));
        levels.back().later = levels.size() > 1;
        if (m == last) {
            break;
        }
    }
    return levels;
}

const GwrTables& GwrLevelTables::tables() const {
    std::call_once(built_, [this] {
        // Checked here, when a point first needs them, at their own precision:
        // the job checked only its first level's up front.
        require_gwr_memory(level_.m, level_.bits, false);
        tables_.emplace(build_gwr_tables(level_.m, level_.bits));
    });
    return *tables_;
}
