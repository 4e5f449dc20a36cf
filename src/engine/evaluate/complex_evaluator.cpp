#include "engine/evaluate/complex_evaluator.hpp"

#include <acb_hypgeom.h>

#include <algorithm>

#include "engine/program/arb_value.hpp"
#include "engine/evaluate/complex_functions.hpp"
#include "core/runtime/interrupts.hpp"

namespace {

void apply_binary(Op op, acb_ptr out, acb_srcptr x, acb_srcptr y, slong prec) {
    switch (op) {
        case Op::add: acb_add(out, x, y, prec); break;
        case Op::sub: acb_sub(out, x, y, prec); break;
        case Op::mul: acb_mul(out, x, y, prec); break;
        case Op::div: acb_div(out, x, y, prec); break;
        default: break;
    }
}

// Whether the ball x reaches the negative real axis, the principal branch cut
// of sqrt and log: there the principal functions of the ball cover both
// sides of the cut, a ball as wide as the jump, whatever the precision.
bool touches_negative_axis(acb_srcptr x) {
    return arb_contains_zero(acb_imagref(x)) && !arb_is_nonnegative(acb_realref(x));
}

// A square root of x: the principal one, or, on the negative axis, i sqrt(-x),
// whose cut lies on the positive axis instead. Which of the two roots it is
// does not matter: the branch tracker picks the sign.
void square_root(acb_ptr out, acb_srcptr x, slong prec) {
    if (!touches_negative_axis(x)) {
        acb_sqrt(out, x, prec);
        return;
    }
    acb_neg(out, x);
    acb_sqrt(out, out, prec);
    acb_mul_onei(out, out);
}

// A logarithm of x, principal or, on the negative axis, log(-x) + i pi; the
// tracker adds the multiple of 2 pi i.
void logarithm(acb_ptr out, acb_srcptr x, slong prec) {
    if (!touches_negative_axis(x)) {
        acb_log(out, x, prec);
        return;
    }
    acb_neg(out, x);
    acb_log(out, out, prec);
    ArbValue pi;
    arb_const_pi(pi.get(), prec);
    arb_add(acb_imagref(out), acb_imagref(out), pi.get(), prec);
}

// The library's own Bessel functions of complex argument and integer order.
void complex_bessel(Op op, std::int64_t n, acb_ptr out, acb_srcptr z, slong prec) {
    AcbValue order;
    acb_set_si(order.get(), static_cast<slong>(n));
    switch (op) {
        case Op::besseli: acb_hypgeom_bessel_i(out, order.get(), z, prec); break;
        case Op::besselk: acb_hypgeom_bessel_k(out, order.get(), z, prec); break;
        case Op::besselj: acb_hypgeom_bessel_j(out, order.get(), z, prec); break;
        default: acb_hypgeom_bessel_y(out, order.get(), z, prec); break;
    }
}

}  // namespace

ComplexEvaluator::ComplexEvaluator(const Program& program)
    : program_(program), registers_(program.code().size()), pow_logs_(program.code().size()),
      constants_(program.constants().size()) {}

void ComplexEvaluator::set_constants(slong prec) {
    for (std::size_t j = 0; j < constants_.size(); ++j) {
        arb_set_fmpq(acb_realref(constants_[j].get()), program_.constants()[j].get(), prec);
        arb_zero(acb_imagref(constants_[j].get()));
    }
    constants_prec_ = prec;
}

void ComplexEvaluator::run(std::size_t i, const acb_t s, const double* parameters, slong prec,
                           BranchTracker& tracker, double& ambiguity) {
    const Instruction& instruction = program_.code()[i];
    acb_ptr out = registers_[i].get();
    const Op op = instruction.op;
    switch (op) {
        case Op::s: acb_set(out, s); return;
        case Op::param: acb_set_d(out, parameters[instruction.a]); return;  // exact
        case Op::constant: acb_set(out, constants_[instruction.a].get()); return;
        case Op::pi: acb_const_pi(out, prec); return;
        case Op::e: acb_one(out); acb_exp(out, out, prec); return;
        case Op::euler: arb_const_euler(acb_realref(out), prec); arb_zero(acb_imagref(out)); return;
        default: break;
    }
    acb_srcptr x = registers_[instruction.a].get();
    if (op == Op::sqrt) {
        square_root(out, x, prec);
        ambiguity = std::max(ambiguity, tracker.choose(i, out, prec));
    } else if (op == Op::log) {
        logarithm(out, x, prec);
        ambiguity = std::max(ambiguity, tracker.choose(i, out, prec));
    } else if (op == Op::pow) {
        // x^y = exp(y log x) with the logarithm continued along the contour.
        acb_ptr base_log = pow_logs_[i].get();
        logarithm(base_log, x, prec);
        ambiguity = std::max(ambiguity, tracker.choose(i, base_log, prec));
        acb_mul(out, registers_[static_cast<std::size_t>(instruction.b)].get(), base_log, prec);
        acb_exp(out, out, prec);
    } else if (op >= Op::add && op <= Op::div) {
        apply_binary(op, out, x, registers_[static_cast<std::size_t>(instruction.b)].get(), prec);
    } else if (op == Op::powi) {
        const ExactInteger exponent(static_cast<slong>(instruction.b));
        acb_pow_fmpz(out, x, exponent.get(), prec);
    } else if (is_bessel(op)) {
        complex_bessel(op, instruction.b, out, x, prec);
    } else {
        complex_unary(op, out, x, prec);
    }
}

acb_srcptr ComplexEvaluator::evaluate(const acb_t s, const double* parameters, slong prec,
                                      BranchTracker& tracker, double& ambiguity) {
    if (constants_prec_ != prec) {
        set_constants(prec);
    }
    ambiguity = 0.0;
    for (std::size_t i = 0; i < registers_.size(); ++i) {
        run(i, s, parameters, prec, tracker, ambiguity);
    }
    poll_interrupts();
    return registers_.back().get();
}
