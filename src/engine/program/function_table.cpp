#include "engine/program/function_table.hpp"

#include <acb_hypgeom.h>
#include <arb_hypgeom.h>

#include <array>
#include <cstddef>

namespace {

constexpr std::array<FunctionEntry, 20> rows{{
    // name, sympy, op, order, real, complex, cut, poles, zero_free, costly_complex
    {"sqrt", "sqrt", Op::sqrt, false, arb_sqrt, acb_sqrt, Cut::negative_axis, false,
     ZeroFree::everywhere, false},
    {"exp", "exp", Op::exp, false, arb_exp, acb_exp, Cut::none, false, ZeroFree::everywhere, false},
    {"log", "log", Op::log, false, arb_log, acb_log, Cut::negative_axis, false,
     ZeroFree::nowhere, false},
    {"sin", "sin", Op::sin, false, arb_sin, acb_sin, Cut::none, false, ZeroFree::nowhere, false},
    {"cos", "cos", Op::cos, false, arb_cos, acb_cos, Cut::none, false, ZeroFree::nowhere, false},
    {"tan", "tan", Op::tan, false, arb_tan, acb_tan, Cut::none, true, ZeroFree::nowhere, false},
    {"sinh", "sinh", Op::sinh, false, arb_sinh, acb_sinh, Cut::none, false,
     ZeroFree::off_imaginary_axis, false},
    {"cosh", "cosh", Op::cosh, false, arb_cosh, acb_cosh, Cut::none, false,
     ZeroFree::off_imaginary_axis, false},
    {"tanh", "tanh", Op::tanh, false, arb_tanh, acb_tanh, Cut::none, true, ZeroFree::nowhere, false},
    {"asinh", "asinh", Op::asinh, false, arb_asinh, acb_asinh, Cut::imaginary_beyond_i, false,
     ZeroFree::nowhere, false},
    {"acosh", "acosh", Op::acosh, false, arb_acosh, acb_acosh, Cut::real_below_one, false,
     ZeroFree::nowhere, false},
    {"atanh", "atanh", Op::atanh, false, arb_atanh, acb_atanh, Cut::real_outside_unit, false,
     ZeroFree::nowhere, false},
    {"atan", "atan", Op::atan, false, arb_atan, acb_atan, Cut::imaginary_beyond_i, false,
     ZeroFree::nowhere, false},
    {"erf", "erf", Op::erf, false, arb_hypgeom_erf, acb_hypgeom_erf, Cut::none, false,
     ZeroFree::nowhere, true},
    {"erfc", "erfc", Op::erfc, false, arb_hypgeom_erfc, acb_hypgeom_erfc, Cut::none, false,
     ZeroFree::nowhere, true},
    {"gamma", "gamma", Op::gamma, false, arb_hypgeom_gamma, acb_hypgeom_gamma, Cut::none, true,
     ZeroFree::everywhere, true},
    // I_n and J_n of integer order are entire; K_n and Y_n have the
    // principal cut and a singularity at 0.
    {"besseli", "besseli", Op::besseli, true, nullptr, nullptr, Cut::none, false,
     ZeroFree::nowhere, true},
    {"besselk", "besselk", Op::besselk, true, nullptr, nullptr, Cut::negative_axis, false,
     ZeroFree::right_half, true},
    {"besselj", "besselj", Op::besselj, true, nullptr, nullptr, Cut::none, false,
     ZeroFree::nowhere, true},
    {"bessely", "bessely", Op::bessely, true, nullptr, nullptr, Cut::negative_axis, false,
     ZeroFree::nowhere, true},
}};

// function_of indexes the rows by op: they follow the ops' order.
constexpr bool rows_follow_ops() {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (static_cast<std::size_t>(rows[i].op) != static_cast<std::size_t>(Op::sqrt) + i) {
            return false;
        }
    }
    return rows.back().op == Op::bessely;
}
static_assert(rows_follow_ops(), "function rows out of the ops' order");

}  // namespace

std::span<const FunctionEntry> function_table() { return rows; }

const FunctionEntry& function_of(Op op) {
    return rows[static_cast<std::size_t>(op) - static_cast<std::size_t>(Op::sqrt)];
}

const FunctionEntry* find_function(std::string_view name) {
    for (const FunctionEntry& row : rows) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}
