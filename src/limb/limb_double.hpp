#pragma once
// Doubles into limb_float values and back: a double's 53 bits enter exactly,
// and a value leaves rounded once to nearest, as MPFR's mpfr_get_d would
// round it, wherever the result is a normal double. No MPFR, no Python
// header; limb_bridge.hpp serves the rest of the range through MPFR.

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "limb/limb_value.hpp"

namespace limb_float {

// The finite double y, exactly (subnormals included). Every format of at
// least 53 bits holds it: its 53 bits sit at the top of the highest limb.
template <int N>
[[gnu::always_inline]] inline Value<N> from_double(double y) {
    Value<N> v;
    v.negative = std::signbit(y);
    if (y == 0) {
        v.zero = true;
        return v;
    }
    int e = 0;
    const double f = std::frexp(std::fabs(y), &e);  // f in [1/2, 1): 53 bits at most
    v.m[N - 1] = static_cast<Limb>(std::ldexp(f, limb_bits));
    v.e = e;
    return v;
}

// v rounded to nearest (ties to even) to a double, when the result is a
// normal double or zero; nothing where it would overflow, or underflow into
// the subnormals, where the rounding position moves.
template <int N>
[[gnu::always_inline]] inline std::optional<double> to_double(const Value<N>& v) {
    if (v.zero) {
        return v.negative ? -0.0 : 0.0;
    }
    // |v| = (top / 2^64 + rest) 2^e with the top bit of `top` set: keep 53
    // bits of it, decide by the 11 below and whether anything else is set.
    const Limb top = v.m[N - 1];
    bool sticky = false;
#pragma GCC unroll 8
    for (int i = 0; i < N - 1; ++i) {
        sticky = sticky || v.m[i] != 0;
    }
    Limb kept = top >> 11;
    const Limb dropped = top & 0x7ff;
    const bool round_up = dropped > 0x400 || (dropped == 0x400 && (sticky || (kept & 1) != 0));
    kept += round_up ? 1 : 0;  // 2^53 after a carry: still exact as a double
    // kept 2^(e - 53), with |v| in [2^(e-1), 2^e): normal while e - 1 >= -1022,
    // finite while the rounded value stays below 2^1024.
    const std::int64_t e = v.e;
    if (e - 1 < std::numeric_limits<double>::min_exponent - 1 ||
        e > std::numeric_limits<double>::max_exponent ||
        (e == std::numeric_limits<double>::max_exponent && kept >> 53 != 0)) {
        return std::nullopt;
    }
    const double magnitude = std::ldexp(static_cast<double>(kept), static_cast<int>(e) - 53);
    return v.negative ? -magnitude : magnitude;
}

}  // namespace limb_float
