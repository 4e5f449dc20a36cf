#pragma once
// What the engine computes at one point. No Python header.

#include <cstddef>
#include <cstdint>
#include <string>

#include "precision/working_value.hpp"

struct PointResult {
    double value = 0.0;
    double error = 0.0;       // estimated absolute error of value
    std::uint8_t method = 0;  // the Method that produced it
};

// Where a job writes its results: one entry per point, each written by the
// one worker that computed the point.
struct PointOutputs {
    double* value;
    double* error;
    std::uint8_t* method;  // the Method of each point
    std::string* text;  // decimal digits of the full-precision value, or null when not wanted
    std::size_t text_digits;
};

// Decimal texts carry ten digits beyond those asked for, so that reading them
// back adds no error of its own next to the value's: the error estimate, not
// the text's length, says how many digits hold.
constexpr std::size_t text_digits_for(std::uint32_t digits) { return std::size_t{digits} + 10; }
