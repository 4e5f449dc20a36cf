#pragma once
// The ranges of the counts a caller gives the engine. invlap reads them from
// _engine, so that Python and C++ refuse the same values. No Python header.

#include <cstdint>

// Decimal digits of a request: at 10^4 digits one sample of a Bessel
// function already takes seconds, and an inversion needs dozens.
inline constexpr std::uint64_t max_digits = 10000;

// Threads of one job. The pool never starts more threads than there are
// points, but a count past the machine's cores by this much is a mistake.
inline constexpr std::uint64_t max_workers = 4096;
