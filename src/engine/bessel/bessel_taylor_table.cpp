// The Taylor tables of the fast Bessel pass, built piece by piece on first use.
//
// Layout. [2^-16, 8) is cut into 16 pieces per binade, so a piece's half
// width is at most 1/32 of its centre: K_n is singular at 0, and the Taylor
// series about c converges only for |h| < c. [8, 705) is cut into pieces of
// width 1/2: there f behaves like e^(+-x), whose coefficients fall like
// 1/j!, and |h| <= 1/4 needs about 16 terms. Above 705, I_n is near
// overflow and K_n near the subnormals, and below 2^-16 the points are few:
// both are left to the exact path. For x in a piece, h = x - c is exact: x
// and c lie in the same binade (or c is a multiple of 1/4 and x >= 8), and
// |h| is far below x.
//
// Coefficients. f = I_n or K_n solves x^2 y'' + x y' - (x^2 + n^2) y = 0
// (DLMF 10.25.1). Putting y = sum a_j h^j, x = c + h, and collecting h^m:
//   c^2 (m+1)(m+2) a_(m+2) = -[c (m+1)(2m+1) a_(m+1) + (m^2 - n^2 - c^2) a_m
//                              - 2c a_(m-1) - a_(m-2)],
// from a_0 = f(c) and a_1 = f'(c) = I_(n+1)(c) + (n/c) I_n(c), or
// -K_(n+1)(c) + (n/c) K_n(c) (DLMF 10.29.2). It runs in Arb balls at 192
// bits (more if the balls come out wide), from the engine's own values of
// I and K (real_bessel.hpp), so every a_j carries a proven radius.
//
// Truncation. By Cauchy's estimate |a_j| <= M / r^j for the maximum M of |f|
// on the circle |z - c| = r, and the tail beyond J terms is at most
// M q^J / (1 - q), q = delta / r. For Re z > 0, |K_n(z)| <= K_n(Re z) (the
// integral DLMF 10.32.9, whose integrand's modulus is that of the real one),
// and |I_n(z)| <= I_0(Re z) (DLMF 10.32.3 for integer n), so M is
// K_n(c - r) (r < c) or I_0(c + r). A few radii are tried, and the one
// needing the fewest terms for a tail below 2^-75 of min |f| on the piece
// (K_n(c + delta), or I_n(c - delta): K falls, I rises) is kept.
//
// Error of the piece, with delta the half width, a^_j the stored
// coefficients (a_0 ... a_4 as double words, the rest doubles) and
// u = 2^-53:
//   E = tail + sum |a_j - a^_j| delta^j                       (coefficients)
//     + delta^5 u (1+u)^J sum_(k=5)^(J-2) A_k delta^(k-5)     (double Horner)
//     + 40 u^2 S                                              (word steps)
// where A_k = sum_(j>=k) |a^_j| delta^(j-k) bounds the Horner value at step
// k (each FMA rounds once, within u of its result), and S = sum |a^_j|
// delta^j bounds every word step's result as seen at the end: the nine word
// operations (fast_bessel.cpp) each err by at most 4u^2 of their result
// (double_word.hpp), and 4 u^2 rounds up to leave room for the errors
// carried into later steps. The piece's relative error is E / min |f|,
// rounded up; a piece whose bound exceeds 2^-64 is not used.

#include "engine/bessel/bessel_taylor_table.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/program/arb_value.hpp"
#include "engine/evaluate/real_bessel.hpp"

namespace {

constexpr int lowest_binade = -16;
constexpr int pieces_per_binade = 16;
constexpr double wide_start = 8.0;  // 2^3: the narrow pieces cover binades -16 ... 2
constexpr double wide_width = 0.5;
constexpr double upper_limit = 705.0;
constexpr int narrow_pieces = (3 - lowest_binade) * pieces_per_binade;
constexpr int piece_count = narrow_pieces + static_cast<int>((upper_limit - wide_start) / wide_width);
// Pieces built together: enough to spread the cost of a first call, few
// enough that an array of a narrow range builds little it does not use.
constexpr int chunk_pieces = 16;
constexpr int chunk_count = (piece_count + chunk_pieces - 1) / chunk_pieces;

// Bounds need no more than a few right bits.
constexpr slong bound_bits = 64;
// The recurrence loses a few bits a term where c is small (its terms cancel);
// at 192 bits the coefficients' radii stay far below the 2^-75 aimed at.
constexpr slong first_coefficient_bits = 192;
constexpr slong last_coefficient_bits = 768;
// The truncation is kept well below the Horner tail's rounding (about 2^-70
// of f from x = 8 on), so it adds little to the bound.
constexpr slong tail_target_exponent = -75;
// A bound of 2^-64 already leaves about 1 point in 2^10 to the exact path;
// a piece that cannot do better is left to it whole.
constexpr slong error_target_exponent = -64;
constexpr double unit_roundoff = 0x1p-53;
constexpr double head_error_units = 40;  // times u^2 S

int piece_index(double x) {
    if (!(x >= std::ldexp(1.0, lowest_binade) && x < upper_limit)) {
        return -1;
    }
    if (x >= wide_start) {
        return narrow_pieces + static_cast<int>((x - wide_start) / wide_width);
    }
    int exponent = 0;
    const double mantissa = std::frexp(x, &exponent);  // x = mantissa 2^exponent, in [1/2, 1)
    const int within = static_cast<int>(mantissa * 2 * pieces_per_binade) - pieces_per_binade;
    return (exponent - 1 - lowest_binade) * pieces_per_binade + within;
}

struct Interval {
    double lower;
    double width;
};

Interval piece_interval(int index) {
    if (index >= narrow_pieces) {
        return {wide_start + (index - narrow_pieces) * wide_width, wide_width};
    }
    const int binade = index / pieces_per_binade + lowest_binade;
    const int within = index % pieces_per_binade;
    return {std::ldexp(1.0 + static_cast<double>(within) / pieces_per_binade, binade),
            std::ldexp(1.0 / pieces_per_binade, binade)};
}

// v = v d, in balls (Arb has no product with a double).
void multiply(arb_ptr v, double d) {
    ArbValue factor;
    arb_set_d(factor.get(), d);
    arb_mul(v, v, factor.get(), bound_bits);
}

void bessel_ball(BesselFamily family, unsigned long n, arb_ptr out, arb_srcptr x, slong prec) {
    real_bessel(family == BesselFamily::first_kind ? Op::besseli : Op::besselk, n, out, x, prec,
                BesselOrders::one);
}

void bessel_at(BesselFamily family, unsigned long n, arb_ptr out, double x, slong prec) {
    ArbValue argument;
    arb_set_d(argument.get(), x);
    bessel_ball(family, n, out, argument.get(), prec);
}

// The fewest terms J whose tail bound is below 2^-75 of f_min, and that
// bound; false when no radius tried gets there within taylor_max_terms.
bool choose_terms(BesselFamily family, unsigned n, double c, double delta, arb_srcptr f_min,
                  int& terms, arb_ptr tail) {
    const bool first = family == BesselFamily::first_kind;
    // Fractions of c suit small c, where K's singularity at 0 keeps r below
    // c; fixed radii suit large c, where a wider circle gains more in q^J
    // than the growth of M, about e^r, costs.
    const std::array<double, 8> radii = {c / 2, 3 * c / 4, first ? c : 7 * c / 8, first ? 2 * c : 1.0,
                                         2.0, 4.0, 8.0, 16.0};
    ArbValue target, m, q, one_minus_q, bound, argument;
    arb_mul_2exp_si(target.get(), f_min, tail_target_exponent);
    terms = 0;
    for (double r : radii) {
        if (!(r > 2 * delta) || (!first && !(r < 15 * c / 16))) {
            continue;  // q < 1/2 keeps the tail's sum short; K needs Re z > 0
        }
        arb_set_d(argument.get(), c);
        ArbValue radius;
        arb_set_d(radius.get(), r);
        if (first) {
            arb_add(argument.get(), argument.get(), radius.get(), bound_bits);
            bessel_ball(family, 0, m.get(), argument.get(), bound_bits);
        } else {
            arb_sub(argument.get(), argument.get(), radius.get(), bound_bits);
            bessel_ball(family, n, m.get(), argument.get(), bound_bits);
        }
        if (!arb_is_finite(m.get())) {
            continue;
        }
        arb_set_d(q.get(), delta);
        arb_div(q.get(), q.get(), radius.get(), bound_bits);
        arb_sub_ui(one_minus_q.get(), q.get(), 1, bound_bits);
        arb_neg(one_minus_q.get(), one_minus_q.get());
        // bound = M q^j / (1 - q), for j = 0, 1, ...
        arb_div(bound.get(), m.get(), one_minus_q.get(), bound_bits);
        const int most = terms == 0 ? taylor_max_terms : terms - 1;
        for (int j = 1; j <= most; ++j) {
            arb_mul(bound.get(), bound.get(), q.get(), bound_bits);
            if (j > taylor_head_terms && arb_lt(bound.get(), target.get())) {
                terms = j;
                arb_set(tail, bound.get());
                break;
            }
        }
    }
    return terms != 0;
}

// a_0 ... a_(terms-1) of f about c, at `prec` bits.
void coefficients(BesselFamily family, unsigned n, double c, int terms, slong prec,
                  std::vector<ArbValue>& a) {
    ArbValue centre, next, step, factor;
    arb_set_d(centre.get(), c);
    bessel_ball(family, n, a[0].get(), centre.get(), prec);
    bessel_ball(family, n + 1, next.get(), centre.get(), prec);
    // a_1 = (+-) f_(n+1)(c) + (n / c) f_n(c)
    arb_mul_ui(a[1].get(), a[0].get(), n, prec);
    arb_div(a[1].get(), a[1].get(), centre.get(), prec);
    if (family == BesselFamily::first_kind) {
        arb_add(a[1].get(), a[1].get(), next.get(), prec);
    } else {
        arb_sub(a[1].get(), a[1].get(), next.get(), prec);
    }
    for (int m = 0; m + 2 < terms; ++m) {
        // sum = c (m+1)(2m+1) a_(m+1) + (m^2 - n^2 - c^2) a_m - 2c a_(m-1) - a_(m-2)
        arb_mul_ui(step.get(), centre.get(), static_cast<ulong>((m + 1) * (2 * m + 1)), prec);
        arb_mul(next.get(), step.get(), a[m + 1].get(), prec);
        arb_sqr(factor.get(), centre.get(), prec);
        arb_neg(factor.get(), factor.get());
        arb_add_si(factor.get(), factor.get(), static_cast<slong>(m) * m - static_cast<slong>(n) * n,
                   prec);
        arb_addmul(next.get(), factor.get(), a[m].get(), prec);
        if (m >= 1) {
            arb_mul_2exp_si(step.get(), centre.get(), 1);
            arb_submul(next.get(), step.get(), a[m - 1].get(), prec);
        }
        if (m >= 2) {
            arb_sub(next.get(), next.get(), a[m - 2].get(), prec);
        }
        // a_(m+2) = -sum / (c^2 (m+1)(m+2))
        arb_sqr(factor.get(), centre.get(), prec);
        arb_mul_ui(factor.get(), factor.get(), static_cast<ulong>((m + 1) * (m + 2)), prec);
        arb_div(a[m + 2].get(), next.get(), factor.get(), prec);
        arb_neg(a[m + 2].get(), a[m + 2].get());
    }
}

// Stores a_j times 2^-scale into the piece (the a_j are scaled in place),
// and sets `error` to the bound E of the file's comment, on the same scale.
void store(std::vector<ArbValue>& a, int terms, double delta, arb_srcptr tail, TaylorPiece& piece,
           arb_ptr error, slong prec) {
    const slong scale = arf_abs_bound_lt_2exp_si(arb_midref(a[0].get())) - 1;
    piece.scale = static_cast<int>(scale);
    arb_mul_2exp_si(error, tail, -scale);
    ArbValue stored, word, difference, power, sum, horner, horner_sum;
    ArfValue bound;
    arb_one(power.get());
    arb_zero(sum.get());
    for (int j = 0; j < terms; ++j) {
        arb_mul_2exp_si(a[j].get(), a[j].get(), -scale);
        const double hi = arf_get_d(arb_midref(a[j].get()), ARF_RND_NEAR);
        arb_set_d(stored.get(), hi);
        if (j < taylor_head_terms) {
            arb_sub(word.get(), a[j].get(), stored.get(), prec);
            const double lo = arf_get_d(arb_midref(word.get()), ARF_RND_NEAR);
            piece.head[2 * j] = hi;
            piece.head[2 * j + 1] = lo;
            arb_set_d(word.get(), lo);
            arb_add(stored.get(), stored.get(), word.get(), prec);  // a ball holding hi + lo
        } else {
            piece.tail[j - taylor_head_terms] = hi;
        }
        // E += |a_j - a^_j| delta^j
        arb_sub(difference.get(), a[j].get(), stored.get(), prec);
        arb_get_abs_ubound_arf(bound.get(), difference.get(), bound_bits);
        arb_set_arf(difference.get(), bound.get());
        arb_addmul(error, difference.get(), power.get(), bound_bits);
        // S += |a^_j| delta^j
        arb_abs(stored.get(), stored.get());
        arb_addmul(sum.get(), stored.get(), power.get(), bound_bits);
        multiply(power.get(), delta);  // exact: delta is a power of 2
    }
    // A_k = |a^_k| + delta A_(k+1), and the sum H_k = A_k + delta H_(k+1) of
    // A_k' delta^(k'-k) over k' = k ... J-2, both from k = J-1 down to 5.
    arb_zero(horner.get());
    arb_zero(horner_sum.get());
    for (int k = terms - 1; k >= taylor_head_terms; --k) {
        arb_set_d(stored.get(), std::fabs(piece.tail[k - taylor_head_terms]));
        multiply(horner.get(), delta);
        arb_add(horner.get(), horner.get(), stored.get(), bound_bits);
        if (k <= terms - 2) {
            multiply(horner_sum.get(), delta);
            arb_add(horner_sum.get(), horner_sum.get(), horner.get(), bound_bits);
        }
    }
    // E += delta^5 u (1 + 2^-40) horner_sum, where (1 + u)^J <= 1 + 2^-40.
    multiply(horner_sum.get(), unit_roundoff * (1 + 0x1p-40));
    multiply(horner_sum.get(), std::pow(delta, taylor_head_terms));
    arb_add(error, error, horner_sum.get(), bound_bits);
    // E += 40 u^2 S
    multiply(sum.get(), head_error_units * unit_roundoff * unit_roundoff);
    arb_add(error, error, sum.get(), bound_bits);
}

// The piece of `index`, with terms = 0 when no bound below 2^-64 is proven.
void build_piece(BesselFamily family, unsigned n, int index, TaylorPiece& piece) {
    const Interval interval = piece_interval(index);
    const double delta = interval.width / 2;
    const double c = interval.lower + delta;
    const bool first = family == BesselFamily::first_kind;
    piece.center = c;
    piece.terms = 0;
    ArbValue f_min, tail, fraction;
    ArfValue bound;
    bessel_at(family, n, f_min.get(), first ? interval.lower : interval.lower + interval.width,
              bound_bits);
    if (!arb_is_finite(f_min.get()) || !arb_is_positive(f_min.get())) {
        return;
    }
    arb_get_lbound_arf(bound.get(), f_min.get(), bound_bits);
    arb_set_arf(f_min.get(), bound.get());
    int terms = 0;
    if (!choose_terms(family, n, c, delta, f_min.get(), terms, tail.get())) {
        return;
    }
    for (slong prec = first_coefficient_bits; prec <= last_coefficient_bits; prec *= 2) {
        std::vector<ArbValue> a(static_cast<std::size_t>(terms));
        coefficients(family, n, c, terms, prec, a);
        if (!arb_is_finite(a[static_cast<std::size_t>(terms) - 1].get())) {
            continue;
        }
        ArbValue error;
        store(a, terms, delta, tail.get(), piece, error.get(), prec);
        arb_mul_2exp_si(fraction.get(), f_min.get(), -piece.scale);
        arb_div(fraction.get(), error.get(), fraction.get(), bound_bits);
        if (arb_is_finite(fraction.get())) {
            arb_get_ubound_arf(bound.get(), fraction.get(), bound_bits);
            const double relative = arf_get_d(bound.get(), ARF_RND_UP);
            if (relative <= std::ldexp(1.0, error_target_exponent)) {
                piece.relative_error = relative;
                piece.terms = terms;
                return;
            }
        }
    }
}

struct Table {
    std::vector<TaylorPiece> pieces = std::vector<TaylorPiece>(piece_count);
    std::array<std::once_flag, chunk_count> built;
};

constexpr std::size_t table_slots = 2 * (taylor_max_order + 1);

// Process-lifetime tables, one per family and order, made on first use.
Table& table_for(BesselFamily family, unsigned n) {
    static std::array<std::once_flag, table_slots> made;
    static std::array<std::unique_ptr<Table>, table_slots> tables;
    const std::size_t slot = 2 * n + (family == BesselFamily::first_kind ? 0 : 1);
    std::call_once(made[slot], [&] { tables[slot] = std::make_unique<Table>(); });
    return *tables[slot];
}

}  // namespace

const TaylorPiece* taylor_piece(BesselFamily family, unsigned n, double x) {
    const int index = piece_index(x);
    if (index < 0 || n > taylor_max_order) {
        return nullptr;
    }
    Table& table = table_for(family, n);
    const int chunk = index / chunk_pieces;
    // An exception (Ctrl-C, memory) leaves the chunk unbuilt for the next call.
    std::call_once(table.built[static_cast<std::size_t>(chunk)], [&] {
        const int end = std::min(piece_count, (chunk + 1) * chunk_pieces);
        for (int i = chunk * chunk_pieces; i < end; ++i) {
            build_piece(family, n, i, table.pieces[static_cast<std::size_t>(i)]);
        }
    });
    return &table.pieces[static_cast<std::size_t>(index)];
}
