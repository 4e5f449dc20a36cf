#pragma once
// I_0, I_1, K_0 and K_1 of a real argument at any working precision, with a
// proven error bound, for callers that go on computing at that precision.
// Built from the same loops as the rounded-to-double functions, under rules
// that hold at every precision. No Python header.

#include "core/bessel/bessel_kind.hpp"
#include "core/precision/working_value.hpp"

// Every value below is within a relative error of 2^(error_margin_bits - bits)
// of the exact function value at x: the rounding to `bits` bits (at most
// 2^-bits) plus at most 2^-(bits + 4) from everything before it (see the
// definitions).
constexpr long full_precision_error_margin_bits = 1;

// The arguments served: 0 < x <= 2^29 (e^x stays far inside MPFR's exponent
// range), 1 <= bits <= 2^26 (every index of a series stays below 2^31).
// Beyond, the call ends with an internal failure, as it does for n > 1.
constexpr double full_precision_largest_argument = 0x1p29;
constexpr Bits full_precision_largest_bits = Bits{1} << 26;

// I_n(x) (first kind) or K_n(x) (second kind) for n = 0 or 1, at `bits`
// bits; x at any precision is first rounded to `bits` bits. Ends the call
// with MemoryError when its values would not fit in memory; polls for Ctrl-C
// (so the calling thread must hold the interpreter lock).
WorkingValue bessel_full_precision(BesselKind kind, unsigned n, const WorkingValue& x, Bits bits);

// The orders 0 and 1 of one kind at the same x, each within the same bound:
// they share the series of I_0 (and for K the K_0 sum), or the expansion's
// prefactor.
struct BesselPair {
    WorkingValue order0;
    WorkingValue order1;
};
BesselPair bessel_k01_full_precision(const WorkingValue& x, Bits bits);
BesselPair bessel_i01_full_precision(const WorkingValue& x, Bits bits);
