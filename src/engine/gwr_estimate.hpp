#pragma once
// The error estimate of a GWR result, from how its rho estimates settle.
// No Python header.

#include "gwr/wynn_rho.hpp"

// The estimated absolute error of rho.latest_estimate(); `scratch` is a value
// at the working precision for the differences.
double gwr_spread_error(const RhoWorkspace& rho, WorkingValue& scratch);
