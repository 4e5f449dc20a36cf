#pragma once
// The coefficient and binomial tables of the Gaver functionals, built once per
// call and shared by every time point. No Python header.

#include <cstdint>
#include <vector>

#include "precision/working_value.hpp"

struct GwrTables {
    ValueVector coefficients;                // element n-1: c_n = (2n)! / (n! (n-1)!)
    std::vector<ValueVector> binomial_rows;  // element n-1: C(n, 0) ... C(n, n)
    Bits precision;
};

// The tables for n = 1 ... m at `bits` bits; empty for m = 0. The caller has
// checked that they fit in memory. May end the call on Ctrl-C.
GwrTables build_gwr_tables(std::uint64_t m, Bits bits);
