#pragma once
// Whether the automatic choice tries the Talbot contour before GWR: at high
// digits, by the measured costs of the two for the transform's class. No
// Python header.

#include <cstdint>

#include "engine/program/program.hpp"

bool contour_first(const Program& program, std::uint32_t digits);

// Whether F calls a function whose complex samples cost tens of times its
// real ones (Bessel functions, erf, erfc, gamma: the function table says).
bool has_costly_complex_sample(const Program& program);
