#pragma once
// F(s) to the working precision, whatever cancellation inside F costs.
// No Python header.

#include <arb.h>

#include "engine/program/program.hpp"
#include "engine/evaluate/real_evaluator.hpp"
#include "core/precision/working_value.hpp"

// Evaluates at the working precision plus a few guard bits and reads the
// ball: when its radius says fewer than `bits` bits of the midpoint are right
// (F subtracts nearly equal values, or a special function lost digits), it
// evaluates again at a precision raised by the shortfall, a few times at most.
class AccurateEvaluator {
public:
    AccurateEvaluator(const Program& program, Bits bits) : evaluator_(program), bits_(bits) {}

    // The ball of F(s); `accuracy` receives the relative accuracy reached, in
    // bits (at least `bits` unless the raises ran out, negative when the ball
    // says nothing, very large for an exact result).
    arb_srcptr evaluate(const arb_t s, const double* parameters, slong& accuracy);

    Bits bits() const noexcept { return bits_; }

private:
    RealEvaluator evaluator_;
    Bits bits_;
};

// The largest precision any evaluation of a job at `bits` bits may reach,
// for the memory check made before the job starts.
slong largest_evaluation_bits(Bits bits);
