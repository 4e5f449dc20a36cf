#pragma once
// Evaluates a compiled expression at a complex point in Arb's complex balls,
// continuing roots and logarithms along a contour. No Python header.

#include <acb.h>

#include <vector>

#include "engine/program/acb_value.hpp"
#include "engine/evaluate/branch_tracker.hpp"
#include "engine/program/program.hpp"

// One per thread, like RealEvaluator: registers made once and reused.
class ComplexEvaluator {
public:
    explicit ComplexEvaluator(const Program& program);

    // F(s) at `prec` bits, the branches chosen against the tracker's
    // previous node (which is not changed; commit() does that). `ambiguity`
    // receives the largest ambiguity of any choice (see BranchTracker).
    acb_srcptr evaluate(const acb_t s, const double* parameters, slong prec,
                        BranchTracker& tracker, double& ambiguity);

    // Makes this evaluation the tracker's previous node.
    void commit(BranchTracker& tracker) const { tracker.commit(registers_, pow_logs_); }

private:
    void run(std::size_t i, const acb_t s, const double* parameters, slong prec,
             BranchTracker& tracker, double& ambiguity);
    void set_constants(slong prec);

    const Program& program_;
    std::vector<AcbValue> registers_;
    std::vector<AcbValue> pow_logs_;   // for each pow: the continued logarithm of its base
    std::vector<AcbValue> constants_;  // the program's rationals at constants_prec_ bits
    slong constants_prec_ = 0;
};
