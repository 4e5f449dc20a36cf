#pragma once
// The series of K_0 for small arguments. No Python header.

#include "precision/working_value.hpp"

// K_0(x) at `bits` bits by its ascending series, with its own I_0(x) from
// bessel_i0_series. x is the caller's, at `bits` bits. Never fails.
WorkingValue bessel_k0_series(const WorkingValue& x, Bits bits);

// The same, given i0 = bessel_i0_series(x, bits) already computed by the
// caller (K_1 needs I_0 as well): the series is deterministic, so handing its
// value over gives the very bits a second evaluation would.
WorkingValue bessel_k0_series(const WorkingValue& x, Bits bits, const WorkingValue& i0);
