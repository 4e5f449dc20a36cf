#pragma once
// e^x, rounded to nearest, as mpfr_exp gives it. No Python header.

#include "core/precision/working_value.hpp"

// d = e^x rounded to nearest into d's precision: the correctly rounded value,
// bit for bit what mpfr_exp returns. d may be x itself.
void exponential(WorkingValue& d, const WorkingValue& x);
