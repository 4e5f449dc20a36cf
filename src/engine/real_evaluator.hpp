#pragma once
// Evaluates a compiled expression at a real point in Arb's ball arithmetic.
// No Python header.

#include <arb.h>

#include <vector>

#include "engine/arb_value.hpp"
#include "engine/program.hpp"

// One evaluator per thread: it owns the registers and reuses them for every
// evaluation, so that a sample costs no allocation once the first has run.
class RealEvaluator {
public:
    explicit RealEvaluator(const Program& program);

    // F(s) at the given parameters, every operation at `prec` bits. The
    // result stays valid until the next evaluation.
    arb_srcptr evaluate(const arb_t s, const double* parameters, slong prec);

private:
    void run(const Instruction& instruction, arb_ptr out, const arb_t s, const double* parameters,
             slong prec);
    void set_constants(slong prec);

    const Program& program_;
    std::vector<ArbValue> registers_;
    std::vector<ArbValue> constants_;  // the program's rationals at constants_prec_ bits
    slong constants_prec_ = 0;
};
