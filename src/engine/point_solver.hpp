#pragma once
// One method's inversion at one point, behind one interface. No Python header.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/point_result.hpp"

// The methods, as codes the results carry. initial_value marks f(0+), which
// no inversion method computes.
enum class Method : std::uint8_t {
    gwr = 0,
    talbot = 1,
    euler = 2,
    stehfest = 3,
    automatic = 4,
    initial_value = 5,
};

class PointSolver {
public:
    virtual ~PointSolver() = default;
    // f(t) for t > 0 with its error estimate; with `text`, also the value's
    // decimal digits (at least text_digits of them).
    virtual PointResult solve(double t, const double* parameters, std::string* text,
                              std::size_t text_digits) = 0;
};

// The result of the first level whose error estimate meets the tolerance
// (10^-digits relative), or of the last: solve_at(level) for each in turn.
template <class Levels, class SolveAt>
PointResult first_level_that_meets(Levels& levels, double tolerance, SolveAt solve_at) {
    PointResult result;
    for (auto& level : levels) {
        result = solve_at(level);
        // A NaN estimate ends it too: more terms or nodes cannot help a NaN.
        if (!(result.error > tolerance * std::fabs(result.value))) {
            break;
        }
    }
    return result;
}

// The digits a value's text carries: at least `least`, and as many as the
// error estimate says are right (plus three), up to what `bits` hold.
std::size_t text_length(const PointResult& result, std::size_t least, std::uint32_t bits);
