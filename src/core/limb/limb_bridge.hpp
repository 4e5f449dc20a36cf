#pragma once
// Moving values between working values and limb_float values, and choosing
// the size N: the one part of the limb library that knows WorkingValue.
// No Python header.

#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "core/limb/limb_float.hpp"
#include "core/precision/working_value.hpp"

namespace limb_float {

inline int limbs_for(Bits bits) { return static_cast<int>((std::uint64_t{bits} + 63) / 64); }

// Values of larger exponent are left to MPFR. Below it, a pass moves an
// exponent by at most |e| + 35 (a product with q, a quotient by d < 2^34),
// so 99999 passes stay within 99999 * (2^13 + 35) < 8.3e8, inside MPFR's
// default exponent range of +-(2^30 - 1) = +-1.07e9: no MPFR step would have
// overflowed or underflowed either. (Values made from doubles have |e| <= 2050.)
constexpr std::int64_t exponent_limit = std::int64_t{1} << 13;

// The value of v, which has precision `bits` with N limbs, when it is regular
// or zero and of moderate exponent.
template <int N>
std::optional<Value<N>> import_value(const WorkingValue& v) {
    Value<N> out;
    out.negative = sign_bit(v);
    if (is_zero(v)) {
        out.zero = true;
        return out;
    }
    if (!is_regular(v) || exponent(v) >= exponent_limit || exponent(v) <= -exponent_limit) {
        return std::nullopt;
    }
    const mp_limb_t* limbs = significand(v);
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
        out.m[i] = limbs[i];
    }
    out.e = exponent(v);
    return out;
}

template <int N>
void export_value(WorkingValue& d, const Value<N>& v) {
    if (v.zero) {
        set_positive_zero(d);
        if (v.negative) {
            neg(d, d);
        }
        return;
    }
    set_significand(d, v.m.data(), N, static_cast<long>(v.e), v.negative);
}

// Calls visit(std::integral_constant<int, N>{}) for N = n if n is one of
// Ns + 1; says whether it did.
template <class Visitor, int... Ns>
bool visit_size(int n, Visitor& visit, std::integer_sequence<int, Ns...>) {
    return ((n == Ns + 1 ? (visit(std::integral_constant<int, Ns + 1>{}), true) : false) || ...);
}

// Calls visit(std::integral_constant<int, N>{}) with N = ceil(bits / 64) and
// returns true, or returns false when that exceeds max_limbs.
template <class Visitor>
bool with_limbs(Bits bits, Visitor&& visit) {
    return visit_size(limbs_for(bits), visit, std::make_integer_sequence<int, max_limbs>{});
}

}  // namespace limb_float
