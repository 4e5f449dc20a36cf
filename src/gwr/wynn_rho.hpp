#pragma once
// Wynn's rho algorithm, the convergence acceleration of the GWR method. No Python header.

#include <cstddef>

#include "gwr/interrupt_pacer.hpp"
#include "precision/working_value.hpp"

// The vectors and scratch values of the acceleration, made once per call for
// sequences of length m >= 1 and reused for every time point.
struct RhoWorkspace {
    RhoWorkspace(std::size_t m, Bits bits);

    // The limit's estimate: G_m, or the first entry of the latest even column.
    const WorkingValue& latest_estimate() const { return estimates[0]; }

    ValueVector before;  // column r-2 of the rho table
    ValueVector next;    // column r, being built
    WorkingValue order;  // the numerator r = k + 1 of the pass, held exactly
    WorkingValue difference;
    WorkingValue quotient;
    // The latest estimates, newest first: estimates[i] is the one i even
    // columns before the latest. Only the first estimate_count are set; how
    // fast they settle is what an error estimate can be made of.
    ValueVector estimates;
    std::size_t estimate_count = 0;
    // Whether the acceleration stopped on an exactly zero difference: the
    // sequence had become stationary at the working precision, and nothing
    // later could have changed the estimate.
    bool stationary = false;
};

// Accelerates values[0] ... values[m-1] (m = values.size() >= 1) towards their
// limit, leaving the estimates in `work` until its next use. `values` is used
// as the rho table's column r-1 and holds garbage afterwards. May end the call
// on Ctrl-C.
void wynn_rho_limit(ValueVector& values, RhoWorkspace& work, InterruptPacer& pacer);
