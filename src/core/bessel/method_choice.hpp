#pragma once
// Which method serves an argument, and at which precisions. Shared by I_n and
// K_n. No Python header.

#include <cstdint>

#include "core/precision/working_value.hpp"

// From here on the large-argument expansion is used. Its optimal truncation
// error, about e^-2x relative, is below 2^-70 there, while the series below
// it still stops after about 70 terms and needs only 37 extra bits.
constexpr double asymptotic_threshold = 25.0;

// The argument after rounding to `bits` bits, as a double: the value the
// method choice and the series precision are made from.
double rounded_argument(double x, Bits bits);

// The series precision: bits + 20 + ceil(xd log2 e) (0 for xd <= 0), to make
// up for the ~xd·log2(e) bits that e^-x I(x) and the K series cancel. Ends
// the call with "precision out of range" above 4294967295 bits.
Bits series_bits(Bits bits, double xd);

// Ends the call with MemoryError, before anything is allocated, when
// `values` working values of `bits` bits plus MPFR's temporaries cannot fit.
void require_bessel_memory(std::uint64_t values, Bits bits, const char* what);

// The values a path keeps alive at once, for the memory check.
struct PathValues {
    std::uint64_t series;
    std::uint64_t expansion;
};

// The method for x at `bits` bits, after every check that comes before the
// first value exists: the series precision ("precision out of range"), the
// order ("Only nu=0,1 supported", which only the series path needs) and the
// memory check (MemoryError, naming `what`).
struct Method {
    bool series;       // the power series; otherwise the large-argument expansion
    Bits series_bits;  // the series precision, when the series serves
};
Method choose_method(std::uint32_t n, double x, Bits bits, PathValues values, const char* what);
