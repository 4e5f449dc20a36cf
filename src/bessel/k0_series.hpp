#pragma once
// The series of K_0 for small arguments. No Python header.

#include "precision/working_value.hpp"

// K_0(x) at `bits` bits by its ascending series, with its own I_0(x) from
// bessel_i0_series. x is the caller's, at `bits` bits. Never fails.
WorkingValue bessel_k0_series(const WorkingValue& x, Bits bits);

// K_0(x) together with the I_0(x) = bessel_i0_series(x, bits) it is built
// on, for K_1, which needs both: one evaluation of I_0 serves the two, and
// its terms are reused by the K_0 sum.
struct K0Series {
    WorkingValue k0;
    WorkingValue i0;
};
K0Series bessel_k0_i0_series(const WorkingValue& x, Bits bits);
