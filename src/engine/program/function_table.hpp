#pragma once
// The expression language's functions, one row each: the one list that the
// compiler's names (through _engine.FUNCTIONS), the SymPy printer, the
// program's op names and every evaluator read. No Python header.
//
// Adding a function: its Op (program.hpp, among the functions, in the order
// of this table), one row in function_table.cpp, and, for a function with a
// branch cut or poles, the row's columns say so (see CONTRIBUTING.md).

#include <acb.h>
#include <arb.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/program/program.hpp"

// Where a function fails to be analytic, as the singularity scan must know:
// the cut of its principal branch, as a set of the plane its argument must
// not meet.
enum class Cut : std::uint8_t {
    none,                // entire, or meromorphic (see poles)
    negative_axis,       // sqrt, log, K_n, Y_n: (-inf, 0], the branch point 0 included
    imaginary_beyond_i,  // asinh, atan: i(-inf, -1] and i[1, inf)
    real_below_one,      // acosh: (-inf, 1]
    real_outside_unit,   // atanh: (-inf, -1] and [1, inf)
};

// Where a function is known never to be zero, so that a quotient by it
// needs no enclosure of its value.
enum class ZeroFree : std::uint8_t {
    nowhere,     // zeros may lie anywhere: only an enclosure can tell
    everywhere,  // exp; sqrt off its branch point
    right_half,  // K_n: no zeros with Re z > 0
    // sinh, cosh: zeros only on the imaginary axis (i k pi, i (k + 1/2) pi),
    // which an enclosure far right cannot show: cosh(x + iy) over a cell
    // taller than pi is a rectangle around 0 however large x is.
    off_imaginary_axis,
};

struct FunctionEntry {
    std::string_view name;   // in the expression language and the program's op names
    std::string_view sympy;  // SymPy's name for it
    Op op;
    bool order;  // f(n, x) with an integer order n >= 0 (the Bessel functions), else f(x)
    // The principal value over Arb balls; null for the ordered functions,
    // which the evaluators compute with their own order-aware code.
    void (*real)(arb_ptr, arb_srcptr, slong);
    void (*complex)(acb_ptr, acb_srcptr, slong);
    Cut cut;
    bool poles;  // tan, tanh, gamma: only their own value shows a pole
    ZeroFree zero_free;
    // Whether a complex sample costs tens of times a real one (Arb's complex
    // Bessel functions, erf, erfc and gamma against the real ones), which
    // keeps auto on real samples at high digits (contour_first.cpp).
    bool costly_complex;
};

std::span<const FunctionEntry> function_table();

// The row of a function's op (for op between Op::sqrt and the last Bessel op).
const FunctionEntry& function_of(Op op);

// The row named `name`, or null.
const FunctionEntry* find_function(std::string_view name);
