#include "engine/evaluate/limb_rational_evaluator.hpp"

namespace limb_rational {

bool supports(const Program& program) {
    for (const Instruction& in : program.code()) {
        switch (in.op) {
            case Op::s:
            case Op::param:
            case Op::constant:
            case Op::neg:
            case Op::add:
            case Op::sub:
            case Op::mul:
            case Op::div:
                break;
            case Op::powi:
                if (in.b == 0 || in.b < -largest_power || in.b > largest_power) {
                    return false;
                }
                break;
            default:
                return false;
        }
    }
    return !program.code().empty();
}

}  // namespace limb_rational
