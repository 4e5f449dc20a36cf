// Evaluation of a Taylor piece (bessel_taylor_table.hpp) and the rounding
// test.
//
// With h = x - c (exact), the tail sum_(j>=5) a_j h^(j-5) is summed in
// doubles by Horner's rule with an FMA per step, then the head
// a_0 + h (a_1 + ... + h (a_4 + h s)) in double words: h s exactly, then
// five additions and four multiplications by h, the nine word operations
// the piece's bound counts. The result hi + lo is then within
// eps |f| of f = I_n(x) or K_n(x) (scaled by 2^-scale), eps the piece's
// relative error.
//
// Rounding test: hi is the nearest double of hi + lo, and every point
// within (hi - g/2, hi + g/2), g the smaller of the gaps on either side of
// hi, rounds to hi. So when |lo| + e < g/2, e a bound on |f - (hi + lo)|,
// f rounds to hi as well. From |f - v| <= eps |f| follows
// |f - v| <= eps |v| / (1 - eps) <= eps |hi| (1 + 2^-52) (1 + 2^-60), which
// e = eps |hi| (1 + 2^-40), however its two products round, exceeds; and
// the sum |lo| + e, rounded, is compared with g/2 (1 - 2^-40), which leaves
// room for that rounding. Scaling by a power of 2 does not move a value
// relative to the doubles' rounding boundaries unless the result leaves the
// normal range: such results are refused.
//
// The FMA: on a processor that has one, the fma clone of the evaluator
// runs; the default clone calls the C library's fma, which is also
// correctly rounded, so both give the same bits.

#include "engine/bessel/fast_bessel.hpp"

#include <cfloat>
#include <cmath>

#include "engine/bessel/bessel_taylor_table.hpp"
#include "engine/bessel/double_word.hpp"

namespace {

__attribute__((target_clones("fma", "default")))
bool evaluate(const TaylorPiece& piece, double x, double& out) {
    const double h = x - piece.center;
    const int tail_terms = piece.terms - taylor_head_terms;
    double s = piece.tail[tail_terms - 1];
    for (int j = tail_terms - 2; j >= 0; --j) {
        s = std::fma(s, h, piece.tail[j]);
    }
    DoubleWord y = double_word::fma_product(s, h);
    for (int j = taylor_head_terms - 1;; --j) {
        y = double_word::add(y, DoubleWord{piece.head[2 * j], piece.head[2 * j + 1]});
        if (j == 0) {
            break;
        }
        y = double_word::times_double(y, h);
    }
    const double size = std::fabs(y.hi);
    const double gap = size - std::nextafter(size, 0.0);
    const double error = piece.relative_error * size * (1 + 0x1p-40);
    // y.hi > 0 as well: I_n and K_n are positive for x > 0.
    if (!(y.hi > 0 && std::fabs(y.lo) + error < 0.5 * gap * (1 - 0x1p-40))) {
        return false;
    }
    out = std::ldexp(y.hi, piece.scale);
    return std::fabs(out) >= DBL_MIN && std::fabs(out) <= DBL_MAX;
}

}  // namespace

bool fast_correctly_rounded(BesselFamily family, double n, double x, double& out) {
    if (!(n <= taylor_max_order)) {
        return false;
    }
    const TaylorPiece* piece = taylor_piece(family, static_cast<unsigned>(n), x);
    if (piece == nullptr || piece->terms == 0) {
        return false;
    }
    return evaluate(*piece, x, out);
}
