#include "engine/program/program.hpp"

#include <array>
#include <atomic>
#include <utility>

#include "engine/program/function_table.hpp"

namespace {

enum class Shape { leaf_none, leaf_param, leaf_constant, unary, binary, immediate_exponent,
                   immediate_order };

struct OpName {
    std::string_view name;
    Op op;
    Shape shape;
};

// The operations that are not the language's functions (those are the
// function table's rows).
constexpr std::array<OpName, 13> op_names{{
    {"s", Op::s, Shape::leaf_none},
    {"param", Op::param, Shape::leaf_param},
    {"const", Op::constant, Shape::leaf_constant},
    {"pi", Op::pi, Shape::leaf_none},
    {"e", Op::e, Shape::leaf_none},
    {"euler", Op::euler, Shape::leaf_none},
    {"neg", Op::neg, Shape::unary},
    {"add", Op::add, Shape::binary},
    {"sub", Op::sub, Shape::binary},
    {"mul", Op::mul, Shape::binary},
    {"div", Op::div, Shape::binary},
    {"pow", Op::pow, Shape::binary},
    {"powi", Op::powi, Shape::immediate_exponent},
}};

std::optional<OpName> find_op(std::string_view name) {
    for (const OpName& entry : op_names) {
        if (entry.name == name) {
            return entry;
        }
    }
    if (const FunctionEntry* f = find_function(name)) {
        return OpName{f->name, f->op, f->order ? Shape::immediate_order : Shape::unary};
    }
    return std::nullopt;
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
        const std::optional<OpName> entry = find_op(text.op);
        if (!entry) {
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
