#pragma once
// Where a wrapping contour should cross the real axis for F that decays
// exponentially there (e^(-sqrt(s)), K0(r sqrt(s))). No Python header.

#include <optional>

#include "engine/evaluate/accurate_evaluator.hpp"
#include "engine/program/program.hpp"

// The saddle of e^(u t) F(u + shift) on the real axis right of `from`: the u
// that minimises u t + ln|F(u + shift)|, when that function falls at `from`
// and rises again within 2^16 times `from` (nothing otherwise: F that does
// not decay faster than e^(-u t) there, or whose values cannot be read).
class RealAxisSaddle {
public:
    explicit RealAxisSaddle(const Program& program);

    std::optional<double> find(double from, double t, double shift, const double* parameters);

private:
    // u t + ln|F(u + shift)|, or nothing where F's value is 0, not finite or
    // unreadable at the search's precision.
    std::optional<double> exponent(double u, double t, double shift, const double* parameters);

    AccurateEvaluator evaluator_;
};
