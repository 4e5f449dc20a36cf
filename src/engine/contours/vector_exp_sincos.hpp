#pragma once
// e^x, sin x and cos x of four doubles at once, within a few ulps, for the
// terms of contour sums: written once on GCC's vector types, and compiled by
// the caller for each instruction set it dispatches to (the functions are
// inlined into it). Reductions by ln 2 and pi/2 in parts (Cody & Waite) and
// Taylor polynomials. No Python header.

// Every function here is inlined into its caller, so the four-double
// arguments never cross a call whose convention would depend on AVX.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

using Double4 = double __attribute__((vector_size(32)));
using Int4 = long long __attribute__((vector_size(32)));

namespace vector_exp_detail {

// Adding and taking away 1.5 * 2^52 rounds a double below 2^51 to an integer
// (in the default rounding mode), and leaves that integer in the low bits.
constexpr double rounder = 0x1.8p52;
// pi/2 in three parts: the first two of 33 bits, so that n times them is
// exact for |n| < 2^20, the third of 53; together pi/2 to within 1e-37.
constexpr double half_pi_1 = 0x1.921fb544p+0;
constexpr double half_pi_2 = 0x1.0b4611a6p-34;
constexpr double half_pi_3 = 0x1.3198a2e037073p-69;
constexpr double two_over_pi = 0x1.45f306dc9c883p-1;
constexpr double log2_e = 0x1.71547652b82fep0;
// ln 2 in two parts, the first of 33 bits so that n times it is exact.
constexpr double ln2_high = 0x1.62e42fefp-1;
constexpr double ln2_low = 0x1.473de6af278edp-34;
// Beyond +-1400 e^x is 0 or infinite in doubles; the clamp keeps the
// exponent's integer where the scaling below builds it exactly.
constexpr double exponent_limit = 1400.0;

}  // namespace vector_exp_detail

// Beyond this the three parts of pi/2 no longer reduce exactly: sincos4
// wants every |x| below it.
constexpr double sincos4_limit = 0x1p20;

[[gnu::always_inline]] inline Double4 splat(double x) { return Double4{x, x, x, x}; }
[[gnu::always_inline]] inline Double4 load4(const double* p) {
    return Double4{p[0], p[1], p[2], p[3]};
}

// e^x: x = n ln2 + r with |r| <= ln2/2, e^r by Taylor's terms to r^13 (the
// next below 2^-57), and 2^n in two halves so that results below the
// smallest normal double come out as the subnormals they are.
[[gnu::always_inline]] inline Double4 exp4(Double4 x) {
    using namespace vector_exp_detail;
    x = x < splat(-exponent_limit) ? splat(-exponent_limit) : x;
    x = x > splat(exponent_limit) ? splat(exponent_limit) : x;
    const Double4 shifted = x * log2_e + rounder;
    const Double4 n = shifted - rounder;
    const Double4 r = (x - n * ln2_high) - n * ln2_low;
    Double4 p = splat(1.0 / 6227020800);
    constexpr double coefficients[] = {1.0 / 479001600, 1.0 / 39916800, 1.0 / 3628800,
                                       1.0 / 362880, 1.0 / 40320, 1.0 / 5040, 1.0 / 720,
                                       1.0 / 120, 1.0 / 24, 1.0 / 6, 0.5, 1.0, 1.0};
    for (double c : coefficients) {
        p = p * r + c;
    }
    // The integer n sits in the low bits of `shifted`, offset by those of the
    // rounder; 2^h as the bits of h + 1023 in the exponent field.
    const Int4 whole = (Int4)shifted - (Int4)splat(rounder);
    const Int4 half = whole >> 1;
    const Double4 first = (Double4)((half + 1023) << 52);
    const Double4 second = (Double4)((whole - half + 1023) << 52);
    return p * first * second;
}

// sin x and cos x where every |x| < sincos4_limit (the caller checks):
// x = n pi/2 + r with |r| <= pi/4, Taylor's terms to r^15 and r^16 (the next
// below 2^-53 of the result), and the quadrant's signs and swap applied
// without branches: the quadrants of a sum's phases follow no pattern.
[[gnu::always_inline]] inline void sincos4(Double4 x, Double4& sine, Double4& cosine) {
    using namespace vector_exp_detail;
    const Double4 shifted = x * two_over_pi + rounder;
    const Double4 n = shifted - rounder;
    const Double4 r = ((x - n * half_pi_1) - n * half_pi_2) - n * half_pi_3;
    const Double4 z = r * r;
    Double4 ps = splat(-1.0 / 1307674368000);
    Double4 pc = splat(1.0 / 20922789888000);
    constexpr double sin_terms[] = {1.0 / 6227020800, -1.0 / 39916800, 1.0 / 362880,
                                    -1.0 / 5040, 1.0 / 120, -1.0 / 6};
    constexpr double cos_terms[] = {-1.0 / 87178291200, 1.0 / 479001600, -1.0 / 3628800,
                                    1.0 / 40320, -1.0 / 720, 1.0 / 24};
    for (int i = 0; i < 6; ++i) {
        ps = ps * z + sin_terms[i];
        pc = pc * z + cos_terms[i];
    }
    const Double4 s = r + r * z * ps;
    // 1 - z/2 rounded once; the polynomial's share is below a quarter.
    const Double4 half = z * 0.5;
    const Double4 head = 1.0 - half;
    const Double4 c = head + (((1.0 - head) - half) + z * z * pc);
    const Int4 q = (Int4)shifted - (Int4)splat(rounder);
    const Int4 swap = (q & 1) != 0;
    const Double4 sine_base = swap ? c : s;
    const Double4 cosine_base = swap ? s : c;
    // Sine's sign flips in quadrants 2 and 3, cosine's in 1 and 2.
    sine = (Double4)((Int4)sine_base ^ ((q & 2) << 62));
    cosine = (Double4)((Int4)cosine_base ^ (((q + 1) & 2) << 62));
}

#pragma GCC diagnostic pop
