#pragma once
// How many Gaver terms and how many bits the inversion of an expression uses
// for the digits asked for. No Python header.

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "core/gwr/gwr_tables.hpp"
#include "core/precision/working_value.hpp"

struct GwrLevel {
    std::uint64_t m;  // Gaver functionals
    Bits bits;        // working precision: the samples and the Gaver sums
    Bits rho_bits;    // the functionals and the rho algorithm
    // Tried only after an earlier level missed the tolerance: the error
    // estimate reads the shorter sequences more warily (gwr_estimate.cpp).
    bool later = false;
};

// The levels tried in turn at each time point until the error estimate meets
// the tolerance: M0 = ceil(1.1 digits) terms (at least 4) first, then about
// 1.4 times as many each time, up to 3 M0. A given m is the only level.
// Each level works at ceil(2.4 m log2 10) + 8 bits, and runs the rho
// algorithm at ceil(1.8 m log2 10) + 8 bits.
std::vector<GwrLevel> gwr_levels(std::uint32_t digits, std::uint64_t given_m);

// The most terms any method can be given: the largest m whose GWR level
// (2.4 m digits, the most precision per term of the methods) stays within
// the 2^32 - 1 bits of an MPFR precision.
std::uint64_t max_terms();

// The level of m terms.
GwrLevel gwr_level(std::uint64_t m);

// A level with its tables, shared by every worker of a job. The tables are
// built by the first point that needs the level: most points never go past
// the first, and the later levels' tables cost more than a point.
class GwrLevelTables {
public:
    explicit GwrLevelTables(GwrLevel level) : level_(level) {}
    const GwrLevel& level() const noexcept { return level_; }
    // Builds them on first use, once, whichever thread asks first.
    const GwrTables& tables() const;

private:
    GwrLevel level_;
    mutable std::once_flag built_;
    mutable std::optional<GwrTables> tables_;
};
