#pragma once
// Proves, box by box, that a compiled expression is analytic: the evidence a
// method needs before it trusts its contour or its real-axis samples. No
// Python header.
//
// F is evaluated over a complex box in Arb's balls, whose results enclose
// every value F takes there. A pole or an essential singularity in the box
// makes that enclosure unbounded, so a finite result rules them out; what a
// finite result cannot rule out is a branch cut, across which the principal
// functions jump while staying bounded. So every root and logarithm whose
// argument box meets its principal cut is evaluated on each side's branch,
// and the box passes only when every combination stays finite; an argument
// box that holds 0 (the branch point) fails. A failure says "cannot prove",
// not "singular": the caller refines the box or stays careful.

#include <acb.h>

#include <vector>

#include "engine/program/acb_value.hpp"
#include "engine/program/program.hpp"

class BoxEvaluator {
public:
    explicit BoxEvaluator(const Program& program);

    // Whether F (the continuation from the right half-plane, across at most
    // three principal cuts) is proven analytic on the box.
    bool analytic(acb_srcptr box, const double* parameters);

    // Whether the last analytic() failed because a function's value at the
    // box's middle could not be computed (a Bessel function far out of Arb's
    // reach at this precision), which says nothing of F's singularities.
    bool unevaluable() const noexcept { return unevaluable_; }

private:
    // One pass with the branch sides chosen by the bits of `sides`; counts
    // the cuts it met in `crossings`. False where a singularity cannot be
    // ruled out.
    bool run(acb_srcptr box, const double* parameters, unsigned sides, unsigned& crossings);

    const Program& program_;
    std::vector<AcbValue> registers_;
    std::vector<AcbValue> constants_;
    // What each register must be known as: most need only be analytic (an
    // entire function of an analytic operand is), a denominator only nonzero
    // (a product of nonzero factors is, without enclosing it), and only the
    // arguments of roots, logarithms, Bessel functions and poles need an
    // enclosure of their values. Complex Bessel values cost tens of
    // microseconds each, so the enclosures are made only where asked for.
    std::vector<char> need_value_;
    std::vector<char> need_nonzero_;
    std::vector<char> nonzero_;
    bool unevaluable_ = false;
};
