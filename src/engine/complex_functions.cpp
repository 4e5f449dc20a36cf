#include "engine/complex_functions.hpp"

#include <acb_hypgeom.h>

void complex_unary(Op op, acb_ptr out, acb_srcptr x, slong prec) {
    switch (op) {
        case Op::neg: acb_neg(out, x); break;
        case Op::exp: acb_exp(out, x, prec); break;
        case Op::sin: acb_sin(out, x, prec); break;
        case Op::cos: acb_cos(out, x, prec); break;
        case Op::tan: acb_tan(out, x, prec); break;
        case Op::sinh: acb_sinh(out, x, prec); break;
        case Op::cosh: acb_cosh(out, x, prec); break;
        case Op::tanh: acb_tanh(out, x, prec); break;
        case Op::asinh: acb_asinh(out, x, prec); break;
        case Op::acosh: acb_acosh(out, x, prec); break;
        case Op::atanh: acb_atanh(out, x, prec); break;
        case Op::atan: acb_atan(out, x, prec); break;
        case Op::erf: acb_hypgeom_erf(out, x, prec); break;
        case Op::erfc: acb_hypgeom_erfc(out, x, prec); break;
        case Op::gamma: acb_hypgeom_gamma(out, x, prec); break;
        default: acb_indeterminate(out); break;
    }
}
