#pragma once
// The memory a gwr_rust call will need, checked before anything is allocated.

#include <cstdint>

#include "core/precision/working_value.hpp"

// Ends the call with MemoryError when the tables and factorials of m terms at
// `bits` bits (and, with `with_time_points`, the per-time vectors) cannot fit,
// or when their count does not fit in 64 bits.
void require_gwr_memory(std::uint64_t m, Bits bits, bool with_time_points);
