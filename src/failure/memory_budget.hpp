#pragma once
// Refuses, before anything is allocated, work whose values cannot fit in memory.
// MPFR and GMP abort the process when an allocation fails, so the only safe
// moment to say no is before the first value exists. No Python header.

#include <cstdint>

// Ends the call with MemoryError when `values` working values of `bits` bits
// each (plus MPFR's own temporaries, `scratch_values` of them) would not fit
// in the memory this process can still obtain, or when the count overflows.
void require_memory_for(std::uint64_t values, std::uint64_t bits, std::uint64_t scratch_values,
                        const char* what);
