#pragma once
// From the caller's decimal digits to a working precision in bits. No Python header.

#include <cstdint>

#include "core/precision/working_value.hpp"

constexpr double bits_per_digit = 3.321928094887362;  // log2(10) as a double
constexpr std::uint64_t guard_bits = 10;
constexpr double gwr_digits_per_term = 2.1;
constexpr std::uint32_t bessel_default_digits = 34;  // 123 bits
constexpr std::uint64_t max_precision_bits = 4294967295;

// ceil(digits * log2(10)) without the guard bits, as the Bessel functions use it.
std::uint64_t digits_to_raw_bits(std::uint32_t digits);

// ceil(digits * log2(10)) + 10 guard bits. Ends the call with "precision out
// of range" from 1292913984 digits on.
Bits digits_to_bits(std::uint32_t digits);

// round(2.1 * m), halves away from zero, at most 4294967295.
std::uint32_t gwr_default_digits(std::uint64_t m);

// Ends the call with "precision out of range" unless 1 <= bits <= 4294967295.
Bits checked_bits(std::uint64_t bits);
