#pragma once
// F along a contour s(p), sampled node after node with branches continued and
// each value right to the working precision where raising it can make it so.
// No Python header.

#include <acb.h>

#include "engine/program/acb_value.hpp"
#include "engine/program/arb_value.hpp"
#include "engine/evaluate/branch_tracker.hpp"
#include "engine/evaluate/complex_evaluator.hpp"
#include "core/precision/working_value.hpp"

// A contour: s = s(p) at `prec` bits for a real parameter p.
class Contour {
public:
    virtual void point(acb_ptr s, arb_srcptr p, slong prec) const = 0;

protected:
    ~Contour() = default;
};

class ContourSampler {
public:
    ContourSampler(const Program& program, Bits bits);

    // A new walk: parameters of F (borrowed), and the contour's first node,
    // which lies on the positive real axis.
    void start(const double* parameters);

    // F(s) at the next node s = s(p), p beyond the previous one; stays valid
    // until the next call. Where a branch choice against the previous node is
    // ambiguous, points in between are walked first. `accuracy` receives the
    // relative accuracy of F's value, in bits.
    acb_srcptr next(const Contour& contour, arb_srcptr p, acb_srcptr s, slong& accuracy);

    Bits bits() const noexcept { return bits_; }

private:
    acb_srcptr evaluate(const Contour& contour, arb_srcptr p, acb_srcptr s, slong& accuracy,
                        double& ambiguity);
    acb_srcptr advance(const Contour& contour, arb_srcptr from, arb_srcptr to, acb_srcptr s,
                       int depth, slong& accuracy);

    ComplexEvaluator evaluator_;
    BranchTracker tracker_;
    Bits bits_;
    const double* parameters_ = nullptr;
    bool started_ = false;
    ArbValue last_;  // the parameter of the previous node
    slong learned_bits_ = 0;  // extra precision the last raised sample needed
    AcbValue point_;
};
