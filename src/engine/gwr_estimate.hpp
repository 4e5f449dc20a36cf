#pragma once
// The error estimate of a GWR result, from how its rho estimates settle.
// No Python header.

#include <cmath>
#include <cstddef>

#include "gwr/wynn_rho.hpp"

// The estimated absolute error of an estimate of size |value| from the
// spreads between the latest rho estimates (spreads[0] = |e0 - e1|,
// spreads[1] = |e1 - e2|, `count` of them known), or from a sequence that
// became stationary at rho_bits bits.
double gwr_spread_error(double size, const double* spreads, std::size_t count, bool stationary,
                        Bits rho_bits);

// The same from a rho table of any arithmetic; to_double(v) rounds a value
// of it to a double, and the spreads are formed at the table's precision:
// in doubles they would vanish below the value's last bit, long before the
// digits asked for.
template <class A, class ToDouble>
double gwr_spread_error(RhoTable<A>& rho, Bits rho_bits, ToDouble to_double) {
    double spreads[2] = {0, 0};
    std::size_t count = 0;
    for (; count + 1 < rho.estimate_count && count < 2; ++count) {
        rho.a.sub(rho.difference, rho.estimates[count], rho.estimates[count + 1]);
        spreads[count] = std::fabs(to_double(rho.difference));
    }
    return gwr_spread_error(std::fabs(to_double(rho.latest_estimate())), spreads, count,
                            rho.stationary, rho_bits);
}
