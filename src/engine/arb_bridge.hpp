#pragma once
// Moving numbers between Arb's balls and the MPFR working values of the GWR
// core. No Python header.

#include <arb.h>

#include "precision/working_value.hpp"

// ball = v exactly, with radius zero.
inline void set_exact_ball(arb_ptr ball, const WorkingValue& v) {
    arf_set_mpfr(arb_midref(ball), v.get());
    mag_zero(arb_radref(ball));
}

// d = the ball's midpoint rounded to nearest into d's precision; NaN when the
// ball is not finite, whose midpoint then means nothing.
inline void set_midpoint(WorkingValue& d, arb_srcptr ball) {
    if (!arb_is_finite(ball)) {
        mpfr_set_nan(d.get());
        return;
    }
    arf_get_mpfr(d.get(), arb_midref(ball), nearest);
}
