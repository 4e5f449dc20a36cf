#pragma once
// A compiled expression F(s; parameters): the flat program the Python
// compiler produces, checked once and kept for every evaluation. No Python header.
//
// The program is in static single assignment form: instruction i defines
// register i from earlier registers (or from an immediate), and F is the
// last register. Common subexpressions were shared by the compiler, so
// sqrt(s) in K0(sqrt(s)) / (s sqrt(s) K1(sqrt(s))) is evaluated once.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/program/arb_value.hpp"

enum class Op : std::uint8_t {
    // leaves
    s, param, constant, pi, e, euler,
    // one operand
    neg,
    // the language's functions, in the order of their rows in function_table.cpp;
    // the last four take an integer immediate, the order, besides the operand
    sqrt, exp, log, sin, cos, tan, sinh, cosh, tanh, asinh, acosh, atanh, atan, erf, erfc,
    gamma, besseli, besselk, besselj, bessely,
    // two operands
    add, sub, mul, div, pow,
    // an operand and an integer immediate: the exponent
    powi,
};

constexpr bool is_leaf(Op op) { return op <= Op::euler; }
constexpr bool is_function(Op op) { return op >= Op::sqrt && op <= Op::bessely; }
constexpr bool is_bessel(Op op) { return op >= Op::besseli && op <= Op::bessely; }
constexpr bool is_binary(Op op) { return op >= Op::add && op <= Op::pow; }

struct Instruction {
    Op op;
    std::uint32_t a;  // operand register, parameter index or constant index
    std::int64_t b;   // second operand register or immediate
};

class Program {
public:
    // Checks every instruction: known operation, operands that refer to
    // earlier registers, indices in range, immediates in range. Returns the
    // program or a message naming the first bad instruction.
    struct Text {
        std::string_view op;
        std::int64_t a;
        std::int64_t b;
    };
    static std::optional<Program> make(const std::vector<Text>& code,
                                       std::vector<ExactRational> constants,
                                       std::size_t parameter_count, std::string& message);

    const std::vector<Instruction>& code() const noexcept { return code_; }
    const std::vector<ExactRational>& constants() const noexcept { return constants_; }
    std::size_t parameter_count() const noexcept { return parameter_count_; }
    // This program among all made in the process, for caches that outlive a call.
    std::uint64_t identity() const noexcept { return identity_; }

    Program(Program&&) noexcept = default;
    Program& operator=(Program&&) noexcept = default;

private:
    Program() = default;
    std::vector<Instruction> code_;
    std::vector<ExactRational> constants_;
    std::size_t parameter_count_ = 0;
    std::uint64_t identity_ = 0;
};

// Largest Bessel order and integer exponent the compiler hands over.
constexpr std::int64_t max_bessel_order = 1000000;
constexpr std::int64_t max_integer_exponent = 2147483647;
