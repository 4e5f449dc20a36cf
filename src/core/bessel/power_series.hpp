#pragma once
// Power series of the modified Bessel functions of the first kind, I_0 and I_1.
// Used by I_n (small arguments) and by the K_0 and K_1 series. No Python header.

#include "core/bessel/series_stop.hpp"
#include "core/precision/working_value.hpp"

// Partial sum of I_0(v) = sum_k (v^2/4)^k / (k!)^2 at `bits` bits, stopped by
// `rule`. v is the caller's, usually at `bits` bits as well. Never fails.
WorkingValue bessel_i0_series(const WorkingValue& v, Bits bits, const SeriesRule& rule);

// Partial sum of I_1(v) = (v/2) sum_k (v^2/4)^k / (k! (k+1)!) at `bits` bits.
WorkingValue bessel_i1_series(const WorkingValue& v, Bits bits, const SeriesRule& rule);

// q = v^2/4 at `bits` bits (v*v, then /4): the ratio that advances all three
// series of the small-argument range (I_0, I_1 and the K_0 sum).
WorkingValue quarter_square(const WorkingValue& v, Bits bits);
