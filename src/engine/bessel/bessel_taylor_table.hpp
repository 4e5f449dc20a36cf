#pragma once
// Taylor expansions of I_n(x) and K_n(x) about fixed centres, each with a
// proven bound on its error over its interval: the tables of the fast first
// pass of the correctly rounded arrays (fast_bessel.hpp). No Python header.

#include <cstdint>

#include "engine/bessel/bessel_array.hpp"

// Coefficients a_0 ... a_4 are kept as double words, the rest as doubles.
constexpr int taylor_head_terms = 5;
constexpr int taylor_max_terms = 32;
// The orders with tables; higher orders take the exact path.
constexpr unsigned taylor_max_order = 16;

// f(c + h) for |h| <= half_width is sum_j a_j h^j, j < terms, within
// relative_error of f itself (truncation, the coefficients' own errors and
// every rounding of the evaluation in fast_bessel.cpp included). The
// coefficients are stored times 2^-scale, so that the values evaluated stay
// near 1 whatever the size of f.
struct TaylorPiece {
    double center;
    double relative_error;
    int scale;
    int terms;  // 0: the piece could not be proven; its x take the exact path
    double head[2 * taylor_head_terms];                // a_j as (hi, lo)
    double tail[taylor_max_terms - taylor_head_terms];  // a_(5+j)
};

// The piece whose interval holds x, built on its first use (by whichever
// thread comes first; the others wait), or nullptr when x lies outside
// [2^-16, 705) or n > taylor_max_order. Building polls for Ctrl-C like the
// exact path, and may end the call the same way.
const TaylorPiece* taylor_piece(BesselFamily family, unsigned n, double x);
