#include "engine/evaluate/real_evaluator.hpp"

#include "engine/program/function_table.hpp"
#include "engine/evaluate/real_bessel.hpp"
#include "core/runtime/interrupts.hpp"

namespace {

// a^k for an integer k: exact repeated squaring, and for k < 0 one inversion.
void integer_power(arb_ptr out, arb_srcptr a, std::int64_t k, slong prec) {
    const ExactInteger exponent(static_cast<slong>(k));
    arb_pow_fmpz(out, a, exponent.get(), prec);
}

void apply_unary(Op op, arb_ptr out, arb_srcptr x, slong prec) {
    if (op == Op::neg) {
        arb_neg(out, x);
    } else {
        function_of(op).real(out, x, prec);
    }
}

void apply_binary(Op op, arb_ptr out, arb_srcptr x, arb_srcptr y, slong prec) {
    switch (op) {
        case Op::add: arb_add(out, x, y, prec); break;
        case Op::sub: arb_sub(out, x, y, prec); break;
        case Op::mul: arb_mul(out, x, y, prec); break;
        case Op::div: arb_div(out, x, y, prec); break;
        case Op::pow: arb_pow(out, x, y, prec); break;
        default: break;
    }
}

}  // namespace

namespace {

std::vector<BesselOrders> bessel_orders(const Program& program) {
    const std::vector<Instruction>& code = program.code();
    std::vector<BesselOrders> orders(code.size(), BesselOrders::one);
    for (std::size_t i = 0; i < code.size(); ++i) {
        const Instruction& a = code[i];
        if ((a.op != Op::besseli && a.op != Op::besselk) || a.b > 1) {
            continue;
        }
        for (const Instruction& b : code) {
            if (b.op == a.op && b.a == a.a && b.b == 1 - a.b) {
                orders[i] = BesselOrders::both;
            }
        }
    }
    return orders;
}

}  // namespace

RealEvaluator::RealEvaluator(const Program& program)
    : program_(program), bessel_orders_(bessel_orders(program)),
      registers_(program.code().size()), constants_(program.constants().size()) {}

void RealEvaluator::set_constants(slong prec) {
    // The rationals are exact; their balls at `prec` bits are made once per
    // precision, not once per sample.
    for (std::size_t j = 0; j < constants_.size(); ++j) {
        arb_set_fmpq(constants_[j].get(), program_.constants()[j].get(), prec);
    }
    constants_prec_ = prec;
}

void RealEvaluator::run(const Instruction& instruction, arb_ptr out, const arb_t s,
                        const double* parameters, slong prec) {
    const Op op = instruction.op;
    switch (op) {
        case Op::s: arb_set(out, s); return;
        case Op::param: arb_set_d(out, parameters[instruction.a]); return;  // exact
        case Op::constant: arb_set(out, constants_[instruction.a].get()); return;
        case Op::pi: arb_const_pi(out, prec); return;
        case Op::e: arb_const_e(out, prec); return;
        case Op::euler: arb_const_euler(out, prec); return;
        default: break;
    }
    arb_srcptr x = registers_[instruction.a].get();
    if (is_binary(op)) {
        apply_binary(op, out, x, registers_[static_cast<std::size_t>(instruction.b)].get(), prec);
    } else if (op == Op::powi) {
        integer_power(out, x, instruction.b, prec);
    } else if (is_bessel(op)) {
        const auto index = static_cast<std::size_t>(&instruction - program_.code().data());
        real_bessel(op, static_cast<unsigned long>(instruction.b), out, x, prec,
                    bessel_orders_[index]);
    } else {
        apply_unary(op, out, x, prec);
    }
}

arb_srcptr RealEvaluator::evaluate(const arb_t s, const double* parameters, slong prec) {
    if (constants_prec_ != prec) {
        set_constants(prec);
    }
    const std::vector<Instruction>& code = program_.code();
    for (std::size_t i = 0; i < code.size(); ++i) {
        run(code[i], registers_[i].get(), s, parameters, prec);
    }
    // Special functions at high precision can take long: one poll per sample
    // keeps Ctrl-C and cancellation prompt without costing anything measurable.
    poll_interrupts();
    return registers_.back().get();
}
