#pragma once
// Wynn's rho algorithm, the convergence acceleration of the GWR method. No Python header.

#include <cstddef>

#include "gwr/interrupt_pacer.hpp"
#include "precision/working_value.hpp"

// The vectors and scratch values of the acceleration, made once per call for
// sequences of length m >= 1 and reused for every time point.
struct RhoWorkspace {
    RhoWorkspace(std::size_t m, Bits bits);
    ValueVector before;  // column r-2 of the rho table
    ValueVector next;    // column r, being built
    WorkingValue order;  // the numerator r = k + 1 of the pass, held exactly
    WorkingValue difference;
    WorkingValue quotient;
    WorkingValue estimate;
};

// The accelerated limit of values[0] ... values[m-1] (m = values.size() >= 1).
// `values` is used as the rho table's column r-1 and holds garbage afterwards.
// The result lives in `work` until its next use. May end the call on Ctrl-C.
const WorkingValue& wynn_rho_limit(ValueVector& values, RhoWorkspace& work, InterruptPacer& pacer);
