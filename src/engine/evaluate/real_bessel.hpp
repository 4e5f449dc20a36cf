#pragma once
// The Bessel functions of a real argument. No Python header.

#include <arb.h>

#include "engine/program/program.hpp"

// Whether a call may make both orders 0 and 1 of its argument at once and
// keep them for the next call (an expression that asks for K_0 and K_1 of
// sqrt(s)), or should make the one asked for alone (an array of one order).
enum class BesselOrders { both, one };

// out = I_n(x), K_n(x), J_n(x) or Y_n(x) (op is one of the four Bessel
// operations) for an integer order n >= 0, as a ball at about `prec` bits.
void real_bessel(Op op, unsigned long n, arb_ptr out, arb_srcptr x, slong prec,
                 BesselOrders orders = BesselOrders::both);
