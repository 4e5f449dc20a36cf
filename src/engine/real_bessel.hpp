#pragma once
// The Bessel functions of a compiled expression at a real argument. No Python header.

#include <arb.h>

#include "engine/program.hpp"

// out = I_n(x), K_n(x), J_n(x) or Y_n(x) (op is one of the four Bessel
// operations) for an integer order n >= 0, as a ball at about `prec` bits.
void real_bessel(Op op, unsigned long n, arb_ptr out, arb_srcptr x, slong prec);
