#pragma once
// The samples of the GWR core from a compiled expression, evaluated natively
// at the working precision. No Python header.

#include <arb.h>

#include <algorithm>
#include <vector>

#include "engine/evaluate/accurate_evaluator.hpp"
#include "engine/evaluate/limb_rational_evaluator.hpp"
#include "engine/program/arb_bridge.hpp"
#include "engine/program/arb_value.hpp"
#include "core/gwr/transform_sampler.hpp"

class ExpressionSampler final : public TransformSampler {
public:
    ExpressionSampler(const Program& program, Bits bits) : evaluator_(program, bits) {}

    // The parameters of the next samples (borrowed; one double per parameter).
    void set_parameters(const double* parameters) noexcept { parameters_ = parameters; }

    // samples[k-1] = F(k a) exactly at the point k a (a is exact, k a is
    // formed without rounding), its value right to the working precision
    // where raising the precision can make it so. Never stops the call.
    bool sample(const WorkingValue& a, ValueVector& samples) override;

    // The same samples as limb_float values of N limbs at `bits` bits. False,
    // with the samples unfinished, when one is not finite: the caller takes
    // the MPFR way, which carries NaN and infinity through. Where `rational`
    // is given (F rational, limb_rational::supports), it makes each sample it
    // can vouch for to `bits` bits, Arb the others; `a_limbs` is a in limbs.
    template <int N>
    bool sample_limbs(const WorkingValue& a, std::vector<limb_float::Value<N>>& samples,
                      slong bits, LimbRationalEvaluator<N>* rational = nullptr,
                      const limb_float::Value<N>* a_limbs = nullptr) {
        set_exact_ball(a_.get(), a);
        worst_accuracy_ = ARF_PREC_EXACT;
        largest_exponent_ = -ARF_PREC_EXACT;
        widest_blind_radius_ = -ARF_PREC_EXACT;
        for (std::size_t k = 1; k <= samples.size(); ++k) {
            slong accuracy = 0;
            slong exponent = 0;
            if (rational != nullptr &&
                rational->sample(*a_limbs, k, parameters_, samples[k - 1], accuracy, exponent)) {
                worst_accuracy_ = std::min(worst_accuracy_, accuracy);
                largest_exponent_ = std::max(largest_exponent_, exponent);
                continue;
            }
            if (!set_midpoint<N>(samples[k - 1], sample_at(k), bits, rounded_.get())) {
                return false;
            }
        }
        return true;
    }

    // The least relative accuracy, in bits, of the samples of the last call.
    slong worst_accuracy() const noexcept { return worst_accuracy_; }

    // e with |F(k a)| < 2^e for every sample of the last call: -ARF_PREC_EXACT
    // when all are 0, ARF_PREC_EXACT when one is not finite.
    slong largest_exponent() const noexcept { return largest_exponent_; }

    // e with rad < 2^e for every sample of the last call whose ball holds no
    // right bit (its midpoint may be 0: 1/s - 1/s, or a sum whose small
    // term was rounded away); -ARF_PREC_EXACT when there is none.
    slong widest_blind_radius() const noexcept { return widest_blind_radius_; }

    AccurateEvaluator& evaluator() noexcept { return evaluator_; }

private:
    // F(k a) for the a of the current call, the accuracy recorded.
    arb_srcptr sample_at(std::size_t k);

    AccurateEvaluator evaluator_;
    const double* parameters_ = nullptr;
    ArbValue a_;
    ArbValue point_;
    ArfValue rounded_;
    ArfValue radius_;
    slong worst_accuracy_ = 0;
    slong largest_exponent_ = 0;
    slong widest_blind_radius_ = 0;
};
