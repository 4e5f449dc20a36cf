#pragma once
// The Gaver sums of an expression's limb level in one wide integer each,
// rounded once. No Python header.
//
// gaver_functionals_over rounds after every product and every addition: 2n + 2
// roundings per sum S_n = sum_{i=0..n} (-1)^i C(n, i) F_(n+i), each with the
// normalisation, comparison and alignment of a floating-point step. Where the
// binomials of a row are machine integers (every row up to n = 66), the terms
// C(n, i) F_(n+i) are exact integers of N + 1 limbs; added in fixed point into
// an accumulator of N + 2 limbs whose top lies above the largest term (with
// room for the carries of n + 1 terms), the sum is exact, or short of exact by
// less than a unit of the accumulator's last place per term for the terms that
// lie more than 128 bits under the largest (a unit there is 2^-(64N + 128) of
// the largest term, against the 2^-p of it that a single rounding of the
// floating-point sum may cost). The one rounding at the end then gives S_n at
// least as accurately as the sum rounded step by step, at a fraction of the
// cost: a row of N products and N + 2 additions per term, with no branches on
// the data. The noise estimates (gwr_estimate.hpp) assume the step-by-step
// rounding, which only overstates the noise of these sums; the samples'
// own rounding, which the sums magnify, is the same either way.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/gwr/gaver_functionals.hpp"
#include "core/gwr/gwr_arithmetic.hpp"
#include "engine/gwr/limb_gaver_tables.hpp"

namespace exact_gaver {

using limb_float::Limb;
using limb_float::Wide;
using limb_float::limb_bits;

// The accumulator, two's complement over L = N + 2 limbs, least significant
// first, worth A 2^(E - 64L).
template <int N>
struct Accumulator {
    static constexpr int L = N + 2;
    std::array<Limb, L> a{};
    bool inexact = false;
};

// Adds (or subtracts, when `negative`) P 2^shift, where P holds N + 1 limbs and
// shift <= 125 keeps the term inside the accumulator; the bits shifted out
// below its last place are dropped (truncating the magnitude) and noted.
template <int N>
[[gnu::always_inline]] inline void add_term(Accumulator<N>& acc, const std::array<Limb, N + 1>& P,
                                            std::int64_t shift, bool negative) {
    constexpr int L = N + 2;
    std::array<Limb, L> w;
    if (shift >= 0) {
        // The usual case, terms within 128 bits of the largest: a shift left by
        // b bits into N + 2 limbs, then by a whole limb where shift >= 64.
        const int b = static_cast<int>(shift & 63);
        w[0] = P[0] << b;
#pragma GCC unroll 10
        for (int j = 1; j <= N; ++j) {
            w[j] = (P[j] << b) | ((P[j - 1] >> 1) >> (63 - b));
        }
        w[N + 1] = (P[N] >> 1) >> (63 - b);
        if (shift >= limb_bits) {  // then the top limb is 0 (shift <= 125 bounds the term)
#pragma GCC unroll 10
            for (int j = L - 1; j > 0; --j) {
                w[j] = w[j - 1];
            }
            w[0] = 0;
        }
    } else {
        // A term far below the largest: its lowest bits fall under the last place.
#pragma GCC unroll 10
        for (int j = 0; j <= N; ++j) {
            w[j] = P[j];
        }
        w[N + 1] = 0;
        bool lost = false;
        limb_float::shift_right<L>(w, -shift, lost);
        acc.inexact = acc.inexact || lost;
    }
    const Limb mask = negative ? ~Limb{0} : 0;
    Limb carry = negative ? 1 : 0;
#pragma GCC unroll 10
    for (int k = 0; k < L; ++k) {
        const Wide t = Wide{acc.a[k]} + (w[k] ^ mask) + carry;
        acc.a[k] = static_cast<Limb>(t);
        carry = static_cast<Limb>(t >> limb_bits);
    }
}

// The accumulator's value A 2^(E - 64L), rounded to nearest at f (+0 when A is 0).
template <int N>
limb_float::Value<N> rounded(const Accumulator<N>& acc, std::int64_t E,
                             const limb_float::Format& f) {
    constexpr int L = N + 2;
    std::array<Limb, L> w = acc.a;
    const bool negative = (w[L - 1] >> 63) != 0;
    if (negative) {
        Limb carry = 1;
#pragma GCC unroll 10
        for (int k = 0; k < L; ++k) {
            const Wide t = Wide{~w[k]} + carry;
            w[k] = static_cast<Limb>(t);
            carry = static_cast<Limb>(t >> limb_bits);
        }
    }
    Limb any = 0;
#pragma GCC unroll 10
    for (int k = 0; k < L; ++k) {
        any |= w[k];
    }
    limb_float::Value<N> out;
    if (any == 0) {
        // The terms cancelled (exactly, or to below the accumulator's last
        // place): +0, as the sum from +0 rounded to nearest gives.
        out.zero = true;
        return out;
    }
    const int shift = limb_float::normalize<L>(w);
    return limb_float::round_nearest<N, L>(w, acc.inexact, E - shift, negative, f);
}

}  // namespace exact_gaver

// functionals[n-1] = (a c_n) S_n, as gaver_functionals_over makes them, with
// each S_n of a row of integer binomials summed exactly (above) and the other
// rows step by step. May end the call on Ctrl-C.
template <int N, int M>
void exact_gaver_functionals(const LimbGaverTables<N>& tables, const GwrLimb<N>& g,
                             const GwrLimb<M>& r, const limb_float::Value<N>& a,
                             const std::vector<limb_float::Value<N>>& samples,
                             std::vector<limb_float::Value<M>>& functionals,
                             GaverScratchOf<GwrLimb<N>>& scratch, InterruptPacer& pacer) {
    using exact_gaver::Limb;
    using exact_gaver::Wide;
    const std::size_t m = functionals.size();
    for (std::size_t n = 1; n <= m; ++n) {
        const unsigned long* integers = tables.integers(n);
        if (tables.tail_start(n) <= n) {
            // Some binomials of the row are not machine integers: the steps of
            // gaver_functionals_over for this row.
            gaver_row_sum(tables, g, n, samples, scratch);
        } else {
            // E0 bounds every term: |C F| < 2^(e_F + bit_width(C)); the sum of
            // n + 1 of them stays below 2^(E0 + bit_width(n + 1)), and one
            // more bit keeps the two's complement sign clear.
            std::int64_t E0 = INT64_MIN;
            for (std::size_t i = 0; i <= n; ++i) {
                const auto& F = samples[n + i - 1];
                if (!F.zero) {
                    E0 = std::max<std::int64_t>(E0, F.e + std::bit_width(integers[i]));
                }
            }
            if (E0 == INT64_MIN) {
                g.zero(scratch.sum);  // every sample 0: the sum is +0
            } else {
                const std::int64_t E = E0 + static_cast<std::int64_t>(std::bit_width(n + 1)) + 1;
                exact_gaver::Accumulator<N> acc;
                for (std::size_t i = 0; i <= n; ++i) {
                    const auto& F = samples[n + i - 1];
                    if (F.zero) {
                        continue;
                    }
                    // P = C F's significand, exact; the term is P 2^(e_F - 64N),
                    // the accumulator's unit 2^(E - 64(N + 2)).
                    const std::int64_t shift = F.e - E + 2 * exact_gaver::limb_bits;
                    if (shift < -static_cast<std::int64_t>(exact_gaver::limb_bits) * (N + 1)) {
                        acc.inexact = true;  // wholly below the last place
                        continue;
                    }
                    std::array<Limb, N + 1> P{};
                    Limb carry = 0;
#pragma GCC unroll 8
                    for (int j = 0; j < N; ++j) {
                        const Wide t = Wide{F.m[j]} * integers[i] + carry;
                        P[j] = static_cast<Limb>(t);
                        carry = static_cast<Limb>(t >> exact_gaver::limb_bits);
                    }
                    P[N] = carry;
                    exact_gaver::add_term<N>(acc, P, shift, F.negative != (i % 2 == 1));
                }
                store_limb_value(scratch.sum, exact_gaver::rounded<N>(acc, E, g.format()));
            }
        }
        // G_n = (a c_n) S_n
        g.mul(scratch.scale, a, tables.coefficient(n));
        multiply_into(g, r, functionals[n - 1], scratch.scale, scratch.sum);
        pacer.account(2 * n + 4);
    }
}
