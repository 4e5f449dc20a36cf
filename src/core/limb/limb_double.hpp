#pragma once
// Doubles into limb_float values and back: a double's 53 bits enter exactly,
// and a value leaves rounded once to nearest, as MPFR's mpfr_get_d would
// round it, wherever the result is a normal double. No MPFR, no Python
// header; limb_bridge.hpp serves the rest of the range through MPFR.

#include <bit>
#include <cstdint>
#include <optional>

#include "core/limb/limb_value.hpp"

namespace limb_float {

// The finite double y, exactly (subnormals included). Every format of at
// least 53 bits holds it: its 53 bits sit at the top of the highest limb.
template <int N>
[[gnu::always_inline]] inline Value<N> from_double(double y) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(y);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    Value<N> v;
    v.negative = (bits >> 63) != 0;
    if (biased != 0) {
        // (2^52 + fraction) 2^(biased - 1075), the 53 bits moved to the top
        v.m[N - 1] = (fraction | (std::uint64_t{1} << 52)) << 11;
        v.e = biased - 1022;
    } else if (fraction != 0) {
        // fraction 2^-1074, normalised
        const int shift = std::countl_zero(fraction);
        v.m[N - 1] = fraction << shift;
        v.e = -1010 - shift;
    } else {
        v.zero = true;
    }
    return v;
}

// v rounded to nearest (ties to even) to a double, when the result is a
// normal double or zero; nothing where it would overflow, or where v lies
// below the normal range (the subnormals round at another position).
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
    // kept 2^(e - 53), with |v| in [2^(e-1), 2^e): a carry to 2^53 moves it
    // into the next binade. Normal while e - 1 >= -1022, finite while e <= 1024.
    std::int64_t e = v.e;
    if (kept >> 53 != 0) {
        kept >>= 1;
        ++e;
    }
    const std::int64_t biased = e + 1022;
    if (biased < 1 || biased > 2046) {
        return std::nullopt;
    }
    const std::uint64_t bits = (static_cast<std::uint64_t>(biased) << 52) |
                               (kept & ((std::uint64_t{1} << 52) - 1)) |
                               (static_cast<std::uint64_t>(v.negative) << 63);
    return std::bit_cast<double>(bits);
}

}  // namespace limb_float
