#pragma once
// The coefficient and binomial tables of the Gaver functionals, built once per
// call and shared by every time point. No Python header.

#include <cstdint>
#include <vector>

#include "core/precision/working_value.hpp"

struct GwrTables {
    ValueVector coefficients;  // element n-1: c_n = (2n)! / (n! (n-1)!)
    // The binomial rows C(n, 0) ... C(n, n), n = 1 ... m, as machine integers,
    // row after row in one vector (row n starts at binomial_offset(n)), where
    // the recurrence at the working precision gives exactly that integer and it fits
    // in an unsigned long; 0 elsewhere. That holds for a prefix of each row,
    // often the whole row, and products with them take MPFR's single-limb
    // multiplication.
    std::vector<unsigned long> binomial_integers;
    // The rest of each row as working values: element n-1 holds C(n, k) for
    // k = binomial_tail_start[n-1] ... n (empty when the integers cover the row).
    std::vector<ValueVector> binomial_tails;
    std::vector<std::uint64_t> binomial_tail_start;
};

// The tables for n = 1 ... m at `bits` bits; empty for m = 0. The caller has
// checked that they fit in memory. May end the call on Ctrl-C.
GwrTables build_gwr_tables(std::uint64_t m, Bits bits);

// Where row n (n >= 1) of binomial_integers starts: rows 1 ... n-1 hold 2 ... n entries.
inline std::size_t binomial_offset(std::uint64_t n) { return (n - 1) * (n + 2) / 2; }
