#include "engine/real_bessel.hpp"

#include <arb_hypgeom.h>

#include "engine/arb_value.hpp"

void real_bessel(Op op, unsigned long n, arb_ptr out, arb_srcptr x, slong prec) {
    ArbValue order;
    arb_set_ui(order.get(), n);
    switch (op) {
        case Op::besseli: arb_hypgeom_bessel_i(out, order.get(), x, prec); break;
        case Op::besselk: arb_hypgeom_bessel_k(out, order.get(), x, prec); break;
        case Op::besselj: arb_hypgeom_bessel_j(out, order.get(), x, prec); break;
        default: arb_hypgeom_bessel_y(out, order.get(), x, prec); break;
    }
}
