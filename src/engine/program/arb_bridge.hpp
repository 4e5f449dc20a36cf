#pragma once
// Moving numbers between Arb's balls and the MPFR working values of the GWR
// core. No Python header.

#include <arb.h>

#include "core/limb/limb_float.hpp"
#include "core/precision/working_value.hpp"

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

// v = the ball's midpoint rounded to nearest at `bits` bits, as a limb_float
// value of N limbs (64N >= bits). False when the ball is not finite, which a
// limb_float value cannot hold. `scratch` receives the rounded midpoint.
template <int N>
bool set_midpoint(limb_float::Value<N>& v, arb_srcptr ball, slong bits, arf_t scratch) {
    if (!arb_is_finite(ball)) {
        return false;
    }
    v = limb_float::Value<N>{};
    if (arf_is_zero(arb_midref(ball))) {
        v.zero = true;
        return true;
    }
    arf_set_round(scratch, arb_midref(ball), bits, ARF_RND_NEAR);
    // arf holds 0.d * 2^exp with d's top bit set, least significant limb
    // first and no trailing zero limbs: the same layout as limb_float's.
    mp_srcptr limbs = nullptr;
    mp_size_t count = 0;
    ARF_GET_MPN_READONLY(limbs, count, scratch);
    for (mp_size_t i = 0; i < count; ++i) {
        v.m[static_cast<std::size_t>(N - count + i)] = limbs[i];
    }
    v.e = fmpz_get_si(ARF_EXPREF(scratch));
    v.negative = ARF_SGNBIT(scratch) != 0;
    return true;
}
