#pragma once
// The series of K_0 for small arguments, and K_1 from it. No Python header.

#include "core/bessel/series_stop.hpp"
#include "core/precision/working_value.hpp"

// Where Euler's constant comes from.
enum class EulerConstant {
    fifty_places,       // read from a 50-place decimal text: the rounded-to-double functions'
    correctly_rounded,  // MPFR's, correctly rounded at every precision
};

// K_0(x) at `bits` bits by its ascending series, stopped by `rule`, together
// with the I_0(x) = bessel_i0_series(x, bits, rule) it is built on: K_1
// needs both, and the K_0 sum reuses the I_0 terms. x is the caller's, at
// `bits` bits. Never fails.
struct K0Series {
    WorkingValue k0;
    WorkingValue i0;
};
K0Series bessel_k0_i0_series(const WorkingValue& x, Bits bits, const SeriesRule& rule,
                             EulerConstant gamma);

// K_1(x) at `bits` bits from the Wronskian I_0 K_1 + I_1 K_0 = 1/x
// (DLMF 10.28.2): (1/x - I_1 K_0) / I_0, with I_0, K_0 and I_1 of x.
WorkingValue wronskian_k1(const WorkingValue& x, const K0Series& k0_i0, const WorkingValue& i1,
                          Bits bits);
