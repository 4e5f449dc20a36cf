#pragma once
// The samples of the GWR core from a compiled expression, evaluated natively
// at the working precision. No Python header.

#include <arb.h>

#include "engine/accurate_evaluator.hpp"
#include "engine/arb_value.hpp"
#include "gwr/transform_sampler.hpp"

class ExpressionSampler final : public TransformSampler {
public:
    ExpressionSampler(const Program& program, Bits bits) : evaluator_(program, bits) {}

    // The parameters of the next samples (borrowed; one double per parameter).
    void set_parameters(const double* parameters) noexcept { parameters_ = parameters; }

    // samples[k-1] = F(k a) exactly at the point k a (a is exact, k a is
    // formed without rounding), its value right to the working precision
    // where raising the precision can make it so. Never stops the call.
    bool sample(const WorkingValue& a, ValueVector& samples) override;

    // The least relative accuracy, in bits, of the samples of the last call.
    slong worst_accuracy() const noexcept { return worst_accuracy_; }

    AccurateEvaluator& evaluator() noexcept { return evaluator_; }

private:
    AccurateEvaluator evaluator_;
    const double* parameters_ = nullptr;
    ArbValue a_;
    ArbValue point_;
    slong worst_accuracy_ = 0;
};
