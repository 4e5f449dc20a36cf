#pragma once
// Unsigned fixed-point numbers of L fraction limbs and one integer limb, for
// the exponential's argument reduction and series. Pure integer code: no
// MPFR, no Python header.

#include <array>

#include "core/limb/limb_value.hpp"

namespace limb_float {

// value = limbs / 2^(64L), least significant limb first.
template <int L>
using Fixed = std::array<Limb, L + 1>;

// floor(a * b / 2^(64L)); the result must be below 2^64.
template <int L>
[[gnu::always_inline]] inline Fixed<L> fixed_mul(const Fixed<L>& a, const Fixed<L>& b) {
    std::array<Limb, 2 * L + 2> w{};
#pragma GCC unroll 8
    for (int i = 0; i <= L; ++i) {
        Limb carry = 0;
#pragma GCC unroll 8
        for (int j = 0; j <= L; ++j) {
            Wide t = Wide{a[i]} * b[j] + w[i + j] + carry;
            w[i + j] = static_cast<Limb>(t);
            carry = static_cast<Limb>(t >> limb_bits);
        }
        w[i + L + 1] = carry;
    }
    Fixed<L> out;
#pragma GCC unroll 8
    for (int i = 0; i <= L; ++i) {
        out[i] = w[i + L];
    }
    return out;
}

// a * u for an integer u; the result must be below 2^64.
template <int L>
Fixed<L> fixed_mul_integer(const Fixed<L>& a, Limb u) {
    Fixed<L> out;
    Limb carry = 0;
    for (int i = 0; i <= L; ++i) {
        Wide t = Wide{a[i]} * u + carry;
        out[i] = static_cast<Limb>(t);
        carry = static_cast<Limb>(t >> limb_bits);
    }
    return out;
}

// floor(a / d) for 0 < d.
template <int L>
Fixed<L> fixed_div_integer(const Fixed<L>& a, Limb d) {
    Fixed<L> out;
    Limb remainder = 0;
    for (int i = L; i >= 0; --i) {
        out[i] = divide_limb(remainder, a[i], d, remainder);
    }
    return out;
}

// a + b and a - b (a >= b).
template <int L>
Fixed<L> fixed_add(const Fixed<L>& a, const Fixed<L>& b) {
    Fixed<L> out;
    Limb carry = 0;
    for (int i = 0; i <= L; ++i) {
        Wide t = Wide{a[i]} + b[i] + carry;
        out[i] = static_cast<Limb>(t);
        carry = static_cast<Limb>(t >> limb_bits);
    }
    return out;
}

template <int L>
Fixed<L> fixed_sub(const Fixed<L>& a, const Fixed<L>& b) {
    Fixed<L> out;
    Limb borrow = 0;
    for (int i = 0; i <= L; ++i) {
        Wide t = Wide{a[i]} - b[i] - borrow;
        out[i] = static_cast<Limb>(t);
        borrow = static_cast<Limb>(t >> limb_bits) & 1;
    }
    return out;
}

template <int L>
bool fixed_less(const Fixed<L>& a, const Fixed<L>& b) {
    for (int i = L; i >= 0; --i) {
        if (a[i] != b[i]) {
            return a[i] < b[i];
        }
    }
    return false;
}

// floor(a / 2^k) for 0 < k < 64.
template <int L>
Fixed<L> fixed_shift_right(const Fixed<L>& a, int k) {
    Fixed<L> out;
    for (int i = 0; i <= L; ++i) {
        Limb high = i < L ? a[i + 1] : 0;
        out[i] = (a[i] >> k) | (high << (limb_bits - k));
    }
    return out;
}

}  // namespace limb_float
