#pragma once
// The modified Bessel functions I_n(x) and K_n(x), rounded to a double.
// No Python header.

#include <cstdint>

#include "core/bessel/bessel_kind.hpp"
#include "core/precision/working_value.hpp"

// I_n(x) (first kind) or K_n(x) (second kind) rounded to a double, computed
// at `bits` bits. Ends the call with "Only nu=0,1 supported" for other
// orders below x = 25, and with MemoryError, naming `what`, when its values
// would not fit in memory.
double bessel_value(BesselKind kind, std::uint32_t n, double x, Bits bits, const char* what);
