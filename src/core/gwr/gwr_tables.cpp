// Tables of the Gaver functionals.
//
// Gaver (1966) writes the n-th functional of f at t, with a = ln 2 / t, as
//   G_n = a (2n)! / (n! (n-1)!) * sum_{i=0..n} (-1)^i C(n, i) F((n+i) a)
// (also Valko & Abate 2004; Abate & Whitt 2006, on the Gaver-Stehfest method).
// The coefficient c_n and the binomial coefficients do not depend on t, so
// they are made once.
//
// The order of operations is fixed, each rounding to nearest at P bits:
// factorials by repeated mul_ui, c_n = f_2n / ((f_(n-1) * f_(n-1)) * n), and
// each binomial row by the recurrence C(n, k) = C(n, k-1) * (n+1-k) / k. While
// the exact integers fit in P bits every step is exact; beyond that (large m
// at a small explicit precision) the results carry the rounding of exactly
// these steps, which the results are tied to bit for bit.

#include "core/gwr/gwr_tables.hpp"

#include <bit>

#include "core/gwr/interrupt_pacer.hpp"

// mul_ui takes k up to 2m as an unsigned long; m is a 64-bit count, and the
// memory check has already refused every m for which 2m could overflow.
static_assert(sizeof(unsigned long) == sizeof(std::uint64_t));

namespace {

// f_0 ... f_(2m): f_0 = 1, f_k = f_(k-1) * k.
ValueVector factorials(std::uint64_t m, Bits bits, InterruptPacer& pacer) {
    ValueVector f;
    f.reserve(2 * m + 1);
    f.emplace_back(bits);
    set_si(f.back(), 1);
    for (std::uint64_t k = 1; k <= 2 * m; ++k) {
        WorkingValue next(bits);
        mul_ui(next, f.back(), k);
        f.push_back(std::move(next));
        pacer.account(1);
    }
    return f;
}

// c_n = f_(2n) / ((f_(n-1) * f_(n-1)) * n) for n = 1 ... m.
ValueVector coefficients(std::uint64_t m, Bits bits, const ValueVector& f,
                         InterruptPacer& pacer) {
    ValueVector c;
    c.reserve(m);
    WorkingValue p(bits);
    for (std::uint64_t n = 1; n <= m; ++n) {
        mul(p, f[n - 1], f[n - 1]);
        mul_ui(p, p, n);
        WorkingValue cn(bits);
        div(cn, f[2 * n], p);
        c.push_back(std::move(cn));
        // A full product and quotient cost more than a linear operation: weigh them so.
        pacer.account(8);
    }
    return c;
}

// C(n, start) ... C(n, n) by the recurrence C(n, k) = (C(n, k-1) * (n+1-k)) / k,
// from C(n, start-1) = `previous`, which the integer row holds exactly: that
// is the value the recurrence run from C(n, 0) = 1 has reached there.
ValueVector binomial_tail(std::uint64_t n, std::uint64_t start, unsigned long previous, Bits bits,
                          InterruptPacer& pacer) {
    ValueVector tail;
    if (start > n) {
        return tail;
    }
    tail.reserve(n + 1 - start);
    WorkingValue first(bits);
    set_uj(first, previous);  // exact: an entry of the P-bit table
    for (std::uint64_t k = start; k <= n; ++k) {
        WorkingValue next(bits);
        mul_ui(next, tail.empty() ? first : tail.back(), n + 1 - k);
        div_ui(next, next, k);
        tail.push_back(std::move(next));
        pacer.account(2);
    }
    return tail;
}

// Row n as machine integers: C(n, k) by the same recurrence in exact integer
// arithmetic, for as long as every step of the recurrence at `bits` bits is
// exact too. A step is exact when the product C(n, k-1) * (n+1-k) has at most
// `bits` bits (mul_ui rounds nothing) and, C(n, k) being an integer no larger
// than that product, the quotient then is exact as well. While so, the P-bit
// recurrence would give the integer here; from the first step that could
// round, and for entries of 2^64 or more, the row holds 0 and the rest of it
// is computed at P bits. Returns the index of that first 0 (n + 1 if none).
std::uint64_t append_exact_binomials(std::uint64_t n, Bits bits, std::vector<unsigned long>& out) {
    __extension__ typedef unsigned __int128 Wide;  // GCC and Clang
    Wide c = 1;
    out.push_back(1);
    for (std::uint64_t k = 1; k <= n; ++k) {
        Wide product = c * (n + 1 - k);  // c < 2^64 and n < 2^64: no overflow
        std::uint64_t high = static_cast<std::uint64_t>(product >> 64);
        int width = high != 0 ? 128 - std::countl_zero(high)
                              : 64 - std::countl_zero(static_cast<std::uint64_t>(product));
        c = product / k;
        if (static_cast<unsigned>(width) > bits || (c >> 64) != 0) {
            out.insert(out.end(), n + 1 - k, 0);
            return k;
        }
        out.push_back(static_cast<unsigned long>(c));
    }
    return n + 1;
}

}  // namespace

GwrTables build_gwr_tables(std::uint64_t m, Bits bits) {
    InterruptPacer pacer(bits);
    GwrTables tables;
    // The factorials live only while the coefficients are made.
    {
        ValueVector f = factorials(m, bits, pacer);
        tables.coefficients = coefficients(m, bits, f, pacer);
    }
    tables.binomial_integers.reserve(binomial_offset(m + 1));
    tables.binomial_tails.reserve(m);
    tables.binomial_tail_start.reserve(m);
    for (std::uint64_t n = 1; n <= m; ++n) {
        std::uint64_t start = append_exact_binomials(n, bits, tables.binomial_integers);
        unsigned long previous = tables.binomial_integers[binomial_offset(n) + start - 1];
        tables.binomial_tails.push_back(binomial_tail(n, start, previous, bits, pacer));
        tables.binomial_tail_start.push_back(start);
        pacer.account(1);
    }
    return tables;
}
