#pragma once
// One method's inversion at one point, behind one interface. No Python header.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/methods/point_result.hpp"
#include "engine/methods/tolerance.hpp"

class PointSolver {
public:
    virtual ~PointSolver() = default;
    // f(t) for t > 0 with its error estimate; with `text`, also the value's
    // decimal digits (at least text_digits of them).
    virtual PointResult solve(double t, const double* parameters, std::string* text,
                              std::size_t text_digits) = 0;
};

// The result of the first level whose error estimate meets the tolerance,
// or of the last: solve_at(level) for each in turn.
template <class Levels, class SolveAt>
PointResult first_level_that_meets(Levels& levels, const Tolerance& tolerance, SolveAt solve_at) {
    PointResult result;
    for (auto& level : levels) {
        result = solve_at(level);
        if (tolerance.settled(result.value, result.error)) {
            break;
        }
    }
    return result;
}

// The digits a value's text carries: at least `least`, and as many as the
// error estimate says are right (plus three), up to what `bits` hold and
// three past `least`.
std::size_t text_length(const PointResult& result, std::size_t least, std::uint32_t bits);
