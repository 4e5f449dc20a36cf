#include "engine/evaluate/complex_functions.hpp"

#include "engine/program/function_table.hpp"

void complex_unary(Op op, acb_ptr out, acb_srcptr x, slong prec) {
    if (op == Op::neg) {
        acb_neg(out, x);
    } else if (is_function(op) && function_of(op).complex != nullptr) {
        function_of(op).complex(out, x, prec);
    } else {
        acb_indeterminate(out);
    }
}
