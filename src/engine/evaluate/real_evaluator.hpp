#pragma once
// Evaluates a compiled expression at a real point in Arb's ball arithmetic.
// No Python header.

#include <arb.h>

#include <vector>

#include "engine/program/arb_value.hpp"
#include "engine/program/program.hpp"
#include "engine/evaluate/real_bessel.hpp"

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
    // Per Bessel instruction: whether the program also asks for the other of
    // the orders 0 and 1 of the same kind and argument, which are then made
    // together (K_0 and K_1 share their series); otherwise one order alone.
    std::vector<BesselOrders> bessel_orders_;
    std::vector<ArbValue> registers_;
    std::vector<ArbValue> constants_;  // the program's rationals at constants_prec_ bits
    slong constants_prec_ = 0;
};
