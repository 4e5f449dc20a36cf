// The rho algorithm's even columns give a sequence of estimates e_0 (the
// result), e_1, e_2 of f(t), each from two more Gaver functionals than the
// next. Their spread d1 = |e_0 - e_1| follows the error of e_1 and usually
// overstates that of e_0; but now and then two successive estimates agree by
// chance while both are still off, and d1 alone then understates the error
// by a decade or more. The earlier spread d2 = |e_1 - e_2| catches those
// cases: convergence rarely improves by more than a factor 30 per column.
// Hence 5 max(d1, d2 / 30): on the known transform pairs, at many m and t,
// 3 max(...) covered the true error at 96-97 % of the points, 5 max(...) at
// 98 %, with a median overstatement of about 30 times, well inside the 100
// that keeps the estimate useful (bench/bench_invert.py measures both).

#include "engine/gwr_estimate.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr double spread_safety = 5.0;
constexpr double column_improvement = 30.0;

}  // namespace

double gwr_spread_error(double size, const double* spreads, std::size_t count, bool stationary,
                        Bits rho_bits) {
    if (stationary) {
        // Two functionals or estimates agreed to the last bit: f is reached to
        // the working precision (a constant f gives equal Gaver functionals),
        // up to the roundings of the sums, which a few hundred units of the
        // last place bound.
        return std::ldexp(size, stationary_error_bits - static_cast<int>(rho_bits));
    }
    // With fewer than three estimates there is nothing to compare: the
    // estimate is the value's own size.
    const double d1 = count > 0 ? spreads[0] : size;
    const double d2 = count > 1 ? spreads[1] : size;
    return spread_safety * std::max(d1, d2 / column_improvement);
}
