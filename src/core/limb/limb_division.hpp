#pragma once
// Division of limb_float values by integers below 2^40, through reciprocals:
// the slowest step of the Bessel loops made a few independent multiplications.
// Correctly rounded like the operations of limb_float.hpp. No Python header.

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/limb/limb_value.hpp"

namespace limb_float {

// floor(2^(64R) / d) for 1 < d < 2^40, R = max_limbs + 1 limbs, least
// significant first: the reciprocal for every N up to max_limbs (see Divisor).
constexpr int reciprocal_limbs = max_limbs + 1;
using Reciprocal = std::array<Limb, reciprocal_limbs>;

constexpr Reciprocal reciprocal_of(Limb d) {
    Reciprocal out{};
    Wide r = 1;  // 2^(64R) is 1 followed by R zero limbs
    for (int i = reciprocal_limbs - 1; i >= 0; --i) {
        Wide n = r << limb_bits;
        out[i] = static_cast<Limb>(n / d);
        r = n % d;
    }
    return out;
}

// Reciprocals of the divisors the loops use at their first indices, made at
// compile time: k^2 and k(k+1) (the I series, the K_0 terms) and k (1/k in
// the K_0 sum, 8k in the expansion), k from 0 to the table's end. Entries
// for d = 0 and 1 are never read.
template <std::size_t Count, class Of>
constexpr std::array<Reciprocal, Count> reciprocal_table(Of divisor_of) {
    std::array<Reciprocal, Count> table{};
    for (std::size_t k = 2; k < Count; ++k) {
        table[k] = reciprocal_of(divisor_of(k));
    }
    table[1] = divisor_of(1) > 1 ? reciprocal_of(divisor_of(1)) : Reciprocal{};
    return table;
}

// The loops pass k = 90 rarely below |x| = 25 at a double's accuracy, and
// reach k = 400 or so at the full precision of 512 bits (where x may reach
// about 180). Beyond the table a divisor costs N+1 hardware divisions.
constexpr std::size_t table_size = 512;
inline constexpr auto square_reciprocals =
    reciprocal_table<table_size>([](std::size_t k) { return Limb{k} * k; });
inline constexpr auto pronic_reciprocals =
    reciprocal_table<table_size>([](std::size_t k) { return Limb{k} * (k + 1); });
inline constexpr auto index_reciprocals =
    reciprocal_table<table_size>([](std::size_t k) { return Limb{k}; });

// An integer divisor 0 < d < 2^40 with its reciprocal floor(2^(64(N+1)) / d)
// (N+1 limbs; unused for d = 1). With it the division becomes a few
// independent multiplications instead of a chain of N+1 hardware divisions,
// the slowest step of the loops. The reciprocal is the top N+1 limbs of
// floor(2^(64R) / d) (a floor of a floor), from the tables above or, beyond
// them, made here with N+1 hardware divisions; those depend on d alone, so
// the processor overlaps them with the pass before.
template <int N>
struct Divisor {
    explicit Divisor(Limb d_) : d(d_) {
        if (d > 1) {
            Limb r = 1;  // 2^(64(N+1)) is 1 followed by N+1 zero limbs; 1 < d
#pragma GCC unroll 8
            for (int i = N; i >= 0; --i) {
                inverse[i] = divide_limb(r, 0, d, r);
            }
        }
    }
    Divisor(Limb d_, const Reciprocal& reciprocal) : d(d_) {
#pragma GCC unroll 8
        for (int i = 0; i <= N; ++i) {
            inverse[i] = reciprocal[reciprocal_limbs - 1 - N + i];
        }
    }
    Limb d;
    std::array<Limb, N + 1> inverse{};
};

template <int N>
Divisor<N> divisor_square(std::uint64_t k) {
    if (k > 1 && k < table_size) {
        return Divisor<N>(k * k, square_reciprocals[k]);
    }
    return Divisor<N>(k * k);
}

template <int N>
Divisor<N> divisor_pronic(std::uint64_t k) {
    if (k < table_size) {
        return Divisor<N>(k * (k + 1), pronic_reciprocals[k]);
    }
    return Divisor<N>(k * (k + 1));
}

template <int N>
Divisor<N> divisor_index(std::uint64_t k) {
    if (k > 1 && k < table_size) {
        return Divisor<N>(k, index_reciprocals[k]);
    }
    return Divisor<N>(k);
}

// a / d for a regular a.
template <int N>
[[gnu::always_inline]] inline Value<N> div_integer(const Value<N>& a, const Divisor<N>& divisor,
                                                   const Format& f) {
    const Limb d = divisor.d;
    if (d == 1) {
        return a;
    }
    // U = a * 2^64 over N+1 limbs (the lowest zero), K = 64(N+1). With
    // inverse = floor(2^K / d) > 2^K / d - 1 and U < 2^K, the estimate
    // floor(U * inverse / 2^K) = floor(a * inverse / 2^(64N)) lies in
    // (U/d - 1, U/d], so it is floor(U/d) or one less. The remainder
    // U - estimate * d < 2d < 2^64 is exact in the lowest limb, where U is 0.
    std::array<Limb, 2 * N + 1> w{};
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
        Limb carry = 0;
#pragma GCC unroll 8
        for (int j = 0; j <= N; ++j) {
            Wide t = Wide{a.m[i]} * divisor.inverse[j] + w[i + j] + carry;
            w[i + j] = static_cast<Limb>(t);
            carry = static_cast<Limb>(t >> limb_bits);
        }
        w[i + N + 1] = carry;
    }
    std::array<Limb, N + 1> q;
#pragma GCC unroll 8
    for (int i = 0; i <= N; ++i) {
        q[i] = w[N + i];
    }
    Limb r = Limb{0} - q[0] * d;
    const Limb correction = r >= d ? 1 : 0;
    r -= correction * d;
    Limb carry = correction;
#pragma GCC unroll 8
    for (int i = 0; i <= N; ++i) {
        Wide t = Wide{q[i]} + carry;
        q[i] = static_cast<Limb>(t);
        carry = static_cast<Limb>(t >> limb_bits);
    }
    // floor(a * 2^64 / d) >= 2^(64N + 23): fewer than 41 leading zero bits,
    // so the zeros shifted in lie far under the round bit (at 64(N+1) - p - 1
    // >= 63) and the remainder alone decides the sticky bit.
    const int s = std::countl_zero(q[N]);
    shift_left_bits<N + 1>(q, s);
    return round_nearest<N, N + 1>(q, r != 0, a.e - s, a.negative, f);
}

}  // namespace limb_float
