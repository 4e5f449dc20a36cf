#pragma once
// The modified Bessel function of the first kind, I_n(x). No Python header.

#include <cstdint>

// I_n(x) rounded to a double, computed at `digits` decimal digits. Ends the
// call with "Only nu=0,1 supported" for other orders below x = 25.
double besseli_rust(std::uint32_t n, double x, std::uint32_t digits);
