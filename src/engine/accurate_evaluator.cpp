#include "engine/accurate_evaluator.hpp"

namespace {

// Arb loses a bit or two to its own roundings in most operations; eight
// guard bits make the usual first evaluation come out at the working precision.
constexpr slong guard_bits = 8;
// A raise adds the shortfall plus this margin, so that a second shortfall
// of about the same size (cancellation that deepens with precision, as in
// x - sin(x) near 0) is covered by the next attempt.
constexpr slong raise_margin_bits = 32;
// Four raises: by then a shortfall that keeps growing is not cancellation
// that precision can cure (F is infinite or undefined there).
constexpr int max_raises = 4;

// The cap of any single evaluation: eight times the working precision (and
// 512 bits more for the small ones), far beyond the cancellation of ordinary
// transforms, and a bound on what a sample can cost in time and memory.
slong precision_cap(Bits bits) { return 8 * static_cast<slong>(bits) + 512; }

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
