#pragma once
// The fast first pass of the correctly rounded Bessel arrays: I_n(x) or
// K_n(x) from a Taylor piece in double-word arithmetic, rounded when its
// proven error bound cannot straddle a rounding boundary. No Python header.

#include "engine/bessel/bessel_array.hpp"

// For x > 0 (finite): true, with `out` the correctly rounded double of
// I_n(x) or K_n(x); false when the pass cannot prove the rounding (x or n
// beyond the tables, a value within the bound of a midpoint between two
// doubles, or a result outside the normal doubles), and the caller takes the
// exact path.
bool fast_correctly_rounded(BesselFamily family, double n, double x, double& out);
