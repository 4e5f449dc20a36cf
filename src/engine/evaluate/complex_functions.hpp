#pragma once
// The expression language's one-operand functions over Arb's complex balls,
// in one place for every evaluator that needs them. No Python header.

#include <acb.h>

#include "engine/program/program.hpp"

// out = op(x) at `prec` bits, principal branch, for neg and the one-operand
// functions of the function table (callers that follow branches choose
// sqrt's and log's themselves); an indeterminate ball for any other op.
void complex_unary(Op op, acb_ptr out, acb_srcptr x, slong prec);
