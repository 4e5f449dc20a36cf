#pragma once
// Refuses, before anything is allocated, work whose values cannot fit in the
// memory this process can still obtain. MPFR and GMP abort the process when an
// allocation fails, so the only safe moment to say no is before the first
// value exists. No Python header and no Python state: any thread may call these.

#include <cstdint>
#include <limits>

// The temporaries MPFR's exp and log allocate for themselves (AGM iterates,
// pi and log 2 cached at the working precision, binary splitting, FFT
// products), in values of the working precision. Counting every block GMP
// handed out, the peak of log was 68 values at 1e6 bits, 75 at 4e6, 83 at
// 1.6e7, 88 at 6.4e7 and 95 at 2.3e8: about 3 more per doubling, so about
// 110 at the largest precision, 2^32 bits. The address space peaked up to a
// fifth higher, but only while blocks stay under malloc's largest mmap
// threshold (32 MiB, values below 2.7e8 bits): there at most 95 * 1.2 = 114.
// Larger blocks are each mapped on their own and leave no fragments. exp
// stayed below log (64 to 77), a division near 10, a product near 12.
inline constexpr std::uint64_t exp_log_scratch_values = 128;

// Ends the call with MemoryError when `values` working values of `bits` bits
// each (plus MPFR's own temporaries, `scratch_values` of them) would not fit
// in the memory this process can still obtain, or when the count overflows.
void require_memory_for(std::uint64_t values, std::uint64_t bits, std::uint64_t scratch_values,
                        const char* what);

// The same check for a request already counted in bytes.
void require_memory_bytes(std::uint64_t bytes, const char* what);

// Sums and products of value counts that stay at the largest count instead of
// wrapping: a count that does not fit in 64 bits is refused as an overflow.
inline std::uint64_t saturating_add(std::uint64_t x, std::uint64_t y) {
    std::uint64_t r = 0;
    return __builtin_add_overflow(x, y, &r) ? std::numeric_limits<std::uint64_t>::max() : r;
}
inline std::uint64_t saturating_mul(std::uint64_t x, std::uint64_t y) {
    std::uint64_t r = 0;
    return __builtin_mul_overflow(x, y, &r) ? std::numeric_limits<std::uint64_t>::max() : r;
}
