#include "engine/evaluate/expression_sampler.hpp"

#include <algorithm>

#include "engine/program/arb_bridge.hpp"

arb_srcptr ExpressionSampler::sample_at(std::size_t k) {
    // The very point whose k-th multiple the Gaver functionals assume: an
    // error in s would enter F's value and be magnified with it.
    arb_mul_ui(point_.get(), a_.get(), k, ARF_PREC_EXACT);
    slong accuracy = 0;
    arb_srcptr value = evaluator_.evaluate(point_.get(), parameters_, accuracy);
    worst_accuracy_ = std::min(worst_accuracy_, accuracy);
    if (accuracy <= 0) {
        arf_set_mag(radius_.get(), arb_radref(value));
        widest_blind_radius_ =
            std::max(widest_blind_radius_, arf_abs_bound_lt_2exp_si(radius_.get()));
    }
    largest_exponent_ = std::max(largest_exponent_, arf_abs_bound_lt_2exp_si(arb_midref(value)));
    return value;
}

bool ExpressionSampler::sample(const WorkingValue& a, ValueVector& samples) {
    set_exact_ball(a_.get(), a);
    worst_accuracy_ = ARF_PREC_EXACT;
    largest_exponent_ = -ARF_PREC_EXACT;
    widest_blind_radius_ = -ARF_PREC_EXACT;
    for (std::size_t k = 1; k <= samples.size(); ++k) {
        set_midpoint(samples[k - 1], sample_at(k));
    }
    return true;
}
