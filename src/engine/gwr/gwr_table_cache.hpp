#pragma once
// The Gaver tables of small term counts, made once per process and shared by
// every later call and thread: a call with callables returning doubles
// inverts a few points of a few term counts, and building the tables in MPFR
// would otherwise cost as much as the points. No Python header.

#include <cstdint>

#include "core/gwr/gwr_tables.hpp"
#include "core/precision/working_value.hpp"

// Whether the tables of m terms at `bits` bits are kept: up to 64 terms and
// 1024 bits, a few hundred kilobytes each at most.
bool gwr_tables_cacheable(std::uint64_t m, Bits bits);

// The tables of m terms at `bits` bits (cacheable sizes only), built by the
// first caller that asks for them and kept until the process ends. May end
// the call on Ctrl-C while building; nothing is kept then.
const GwrTables& cached_gwr_tables(std::uint64_t m, Bits bits);
