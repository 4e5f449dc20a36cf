#pragma once
// The one test of whether an error estimate meets the requested digits, used
// by every method's level loop, by auto's choice, and (through _engine) by
// invlap's own checks of a result, so that what the engine stops on and what
// the caller is warned about can never drift apart. No Python header.

#include <cmath>
#include <cstdint>

class Tolerance {
public:
    explicit Tolerance(std::uint32_t digits)
        : relative_(std::pow(10.0, -static_cast<double>(digits))) {}

    // error <= 10^-digits |value|. A value of exactly 0 (f(0+) = 0, a zero of
    // f) has no relative error: there the bound is 10^-digits itself, or no
    // method could ever meet it. An infinite value (f(0+) of 1/sqrt(s)) is
    // exact. A NaN value or estimate never meets it.
    bool met(double value, double error) const noexcept {
        if (std::isinf(value)) {
            return true;
        }
        const double scale = value == 0.0 ? 1.0 : std::fabs(value);
        return error <= relative_ * scale;
    }

    // Whether a level loop can stop here: the estimate is met, or it is NaN,
    // which more terms or nodes cannot mend.
    bool settled(double value, double error) const noexcept {
        return met(value, error) || std::isnan(value) || std::isnan(error);
    }

private:
    double relative_;
};
