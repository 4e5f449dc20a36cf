#include "engine/program.hpp"

#include <atomic>

#include <array>
#include <utility>

namespace {

enum class Shape { leaf_none, leaf_param, leaf_constant, unary, binary, immediate_exponent,
                   immediate_order };

struct OpName {
    std::string_view name;
    Op op;
    Shape shape;
};

constexpr std::array<OpName, 33> op_names{{
    {"s", Op::s, Shape::leaf_none},
    {"param", Op::param, Shape::leaf_param},
    {"const", Op::constant, Shape::leaf_constant},
    {"pi", Op::pi, Shape::leaf_none},
    {"e", Op::e, Shape::leaf_none},
    {"euler", Op::euler, Shape::leaf_none},
    {"neg", Op::neg, Shape::unary},
    {"sqrt", Op::sqrt, Shape::unary},
    {"exp", Op::exp, Shape::unary},
    {"log", Op::log, Shape::unary},
    {"sin", Op::sin, Shape::unary},
    {"cos", Op::cos, Shape::unary},
    {"tan", Op::tan, Shape::unary},
    {"sinh", Op::sinh, Shape::unary},
    {"cosh", Op::cosh, Shape::unary},
    {"tanh", Op::tanh, Shape::unary},
    {"asinh", Op::asinh, Shape::unary},
    {"acosh", Op::acosh, Shape::unary},
    {"atanh", Op::atanh, Shape::unary},
    {"atan", Op::atan, Shape::unary},
    {"erf", Op::erf, Shape::unary},
    {"erfc", Op::erfc, Shape::unary},
    {"gamma", Op::gamma, Shape::unary},
    {"add", Op::add, Shape::binary},
    {"sub", Op::sub, Shape::binary},
    {"mul", Op::mul, Shape::binary},
    {"div", Op::div, Shape::binary},
    {"pow", Op::pow, Shape::binary},
    {"powi", Op::powi, Shape::immediate_exponent},
    {"besseli", Op::besseli, Shape::immediate_order},
    {"besselk", Op::besselk, Shape::immediate_order},
    {"besselj", Op::besselj, Shape::immediate_order},
    {"bessely", Op::bessely, Shape::immediate_order},
}};

const OpName* find_op(std::string_view name) {
    for (const OpName& entry : op_names) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

bool earlier(std::int64_t operand, std::size_t index) {
    return operand >= 0 && static_cast<std::uint64_t>(operand) < index;
}

// Whether operands a and b fit the shape; `index` is the instruction's own register.
bool operands_fit(Shape shape, std::int64_t a, std::int64_t b, std::size_t index,
                  std::size_t parameters, std::size_t constants) {
    switch (shape) {
        case Shape::leaf_none:
            return a == 0 && b == 0;
        case Shape::leaf_param:
            return a >= 0 && static_cast<std::uint64_t>(a) < parameters && b == 0;
        case Shape::leaf_constant:
            return a >= 0 && static_cast<std::uint64_t>(a) < constants && b == 0;
        case Shape::unary:
            return earlier(a, index) && b == 0;
        case Shape::binary:
            return earlier(a, index) && earlier(b, index);
        case Shape::immediate_exponent:
            return earlier(a, index) && b >= -max_integer_exponent && b <= max_integer_exponent;
        case Shape::immediate_order:
            return earlier(a, index) && b >= 0 && b <= max_bessel_order;
    }
    return false;
}

}  // namespace

std::optional<Program> Program::make(const std::vector<Text>& code,
                                     std::vector<ExactRational> constants,
                                     std::size_t parameter_count, std::string& message) {
    if (code.empty()) {
        message = "a program needs at least one instruction";
        return std::nullopt;
    }
    Program program;
    program.code_.reserve(code.size());
    for (std::size_t i = 0; i < code.size(); ++i) {
        const Text& text = code[i];
        const OpName* entry = find_op(text.op);
        if (entry == nullptr) {
            message = "instruction " + std::to_string(i) + ": unknown operation '" +
                      std::string(text.op) + "'";
            return std::nullopt;
        }
        if (!operands_fit(entry->shape, text.a, text.b, i, parameter_count, constants.size())) {
            message = "instruction " + std::to_string(i) + ": bad operands for '" +
                      std::string(text.op) + "'";
            return std::nullopt;
        }
        program.code_.push_back(
            Instruction{entry->op, static_cast<std::uint32_t>(text.a), text.b});
    }
    program.constants_ = std::move(constants);
    program.parameter_count_ = parameter_count;
    // Never 0 and never reused, however programs come and go: what caches
    // keyed by a program rely on.
    static std::atomic<std::uint64_t> made{0};
    program.identity_ = made.fetch_add(1, std::memory_order_relaxed) + 1;
    return program;
}
