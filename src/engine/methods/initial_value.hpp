#pragma once
// f(0+) of a compiled expression, by the initial-value theorem. No Python header.

#include <cstdint>
#include <string>

#include "engine/evaluate/accurate_evaluator.hpp"
#include "engine/methods/point_result.hpp"

// f(0+) = lim s F(s) as s -> infinity, with an error estimate. The limit is
// read off s F(s) at s = 2^(b/2), 2^b, 2^(2b), 2^(4b) for the evaluator's
// precision b: it is the last value when the last two agree (error: their
// spread), 0 when that value is below the precision's share of the values;
// +-inf when |s F(s)| grows at every step (error 0); NaN otherwise
// (error NaN), and also when F is not finite there.
PointResult initial_value(AccurateEvaluator& evaluator, const double* parameters,
                          std::uint32_t digits, std::string* text, std::size_t text_digits);
