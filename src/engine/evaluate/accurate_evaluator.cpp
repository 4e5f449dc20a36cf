#include "engine/evaluate/accurate_evaluator.hpp"

#include "engine/evaluate/evaluation_constants.hpp"

namespace {

using evaluation::guard_bits;
using evaluation::max_raises;
using evaluation::precision_cap;
using evaluation::raise_margin_bits;

}  // namespace

slong largest_evaluation_bits(Bits bits) { return precision_cap(bits); }

arb_srcptr AccurateEvaluator::evaluate(const arb_t s, const double* parameters,
                                       slong& accuracy) {
    const slong wanted = static_cast<slong>(bits_);
    slong prec = wanted + guard_bits;
    arb_srcptr value = evaluator_.evaluate(s, parameters, prec);
    accuracy = arb_rel_accuracy_bits(value);
    for (int raise = 0; raise < max_raises && accuracy < wanted; ++raise) {
        const slong shortfall = accuracy > 0 ? wanted - accuracy : wanted;
        prec += shortfall + raise_margin_bits;
        if (prec > precision_cap(bits_)) {
            break;
        }
        value = evaluator_.evaluate(s, parameters, prec);
        accuracy = arb_rel_accuracy_bits(value);
    }
    return value;
}
