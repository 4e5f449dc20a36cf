#pragma once
// How many Gaver terms and how many bits the inversion of an expression uses
// for the digits asked for. No Python header.

#include <cstdint>
#include <vector>

#include "gwr/gwr_tables.hpp"
#include "precision/working_value.hpp"

struct GwrLevel {
    std::uint64_t m;  // Gaver functionals
    Bits bits;        // working precision
};

// The levels tried in turn at each time point until the error estimate meets
// the tolerance: M0 = ceil(1.1 digits) terms (at least 4) first, then about
// 1.4 times as many each time, up to 3 M0. A given m is the only level.
// Each level works at ceil(2.3 m log2 10) bits.
std::vector<GwrLevel> gwr_levels(std::uint32_t digits, std::uint64_t given_m);

// The working precision for m terms.
Bits gwr_level_bits(std::uint64_t m);

// A level with its tables, built once per job and shared by every worker.
struct GwrLevelTables {
    GwrLevel level;
    GwrTables tables;
};
