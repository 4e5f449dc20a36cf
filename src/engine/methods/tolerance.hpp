#pragma once
// The one test of whether an error estimate meets the requested digits, used
// by every method's level loop, by auto's choice, and (through _engine) by
// invlap's own checks of a result, so that what the engine stops on and what
// the caller is warned about can never drift apart. No Python header.

#include <cmath>
#include <cstdint>
#include <limits>

class Tolerance {
public:
    explicit Tolerance(std::uint32_t digits)
        : digits_(static_cast<double>(digits)), relative_(std::pow(10.0, -digits_)) {}

    // error <= 10^-digits |value|. A value of exactly 0 (f(0+) = 0, a zero of
    // f) has no relative error: there the bound is 10^-digits itself, or no
    // method could ever meet it. An infinite value (f(0+) of 1/sqrt(s)) is
    // exact. A NaN value or estimate never meets it. error_log10, where not
    // NaN, is the estimate's logarithm, carried where the double estimate
    // fell below the double range; past about 307 digits the tolerance itself
    // is no double, and there the test is made in logarithms.
    bool met(double value, double error,
             double error_log10 = std::numeric_limits<double>::quiet_NaN()) const noexcept {
        if (std::isinf(value)) {
            return true;
        }
        const double scale = value == 0.0 ? 1.0 : std::fabs(value);
        if (std::isnan(error_log10) && relative_ >= std::numeric_limits<double>::min()) {
            return error <= relative_ * scale;
        }
        const double logarithm = std::isnan(error_log10) ? std::log10(error) : error_log10;
        return logarithm <= std::log10(scale) - digits_;
    }

    // Whether a level loop can stop here: the estimate is met, or it is NaN,
    // which more terms or nodes cannot mend.
    bool settled(double value, double error,
                 double error_log10 = std::numeric_limits<double>::quiet_NaN()) const noexcept {
        return met(value, error, error_log10) || std::isnan(value) || std::isnan(error);
    }

private:
    double digits_;
    double relative_;
};
