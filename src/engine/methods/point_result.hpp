#pragma once
// What the engine computes at one point. No Python header.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "core/precision/working_value.hpp"

struct PointResult {
    double value = 0.0;
    double error = 0.0;       // estimated absolute error of value
    std::uint8_t method = 0;  // the Method that produced it
    // log10 of the estimate where `error` fell below the smallest normal double
    // (an estimate of e^-1 at 300 digits is about 1e-310) and the method could
    // carry it; NaN where it did not.
    double error_log10 = std::numeric_limits<double>::quiet_NaN();
};

// Where a job writes its results: one entry per point, each written by the
// one worker that computed the point.
struct PointOutputs {
    double* value;
    double* error;
    std::uint8_t* method;  // the Method of each point
    std::string* text;  // decimal digits of the full-precision value, or null when not wanted
    std::size_t text_digits;
    // log10 of each estimate where the double `error` cannot hold it, NaN
    // elsewhere; or null when not wanted. See carried_error_log10.
    double* error_log10 = nullptr;
};

// What the error_log10 output holds for a result: its carried logarithm; else,
// where the double estimate lost digits to underflow, the logarithm of what
// is left of it (below that of the smallest double for an estimate rounded
// to 0: the estimate is at most that); NaN for estimates in the double range.
inline double carried_error_log10(const PointResult& result) {
    if (!std::isnan(result.error_log10)) {
        return result.error_log10;
    }
    if (result.error >= std::numeric_limits<double>::min() || std::isnan(result.error) ||
        !std::isfinite(result.value)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (result.error > 0) {
        return std::log10(result.error);
    }
    // 0 beside a finite value that is not 0: rounded away, not exact.
    return result.value == 0 ? -std::numeric_limits<double>::infinity()
                             : std::log10(std::numeric_limits<double>::denorm_min());
}

// log10 of a result's estimate: the carried logarithm where there is one,
// else that of the double (-inf for 0, NaN for NaN).
inline double estimate_log10(const PointResult& result) {
    return std::isnan(result.error_log10) ? std::log10(result.error) : result.error_log10;
}

// Decimal texts carry ten digits beyond those asked for, so that reading them
// back adds no error of its own next to the value's: the error estimate, not
// the text's length, says how many digits hold.
constexpr std::size_t text_digits_for(std::uint32_t digits) { return std::size_t{digits} + 10; }
