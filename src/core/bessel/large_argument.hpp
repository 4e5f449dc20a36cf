#pragma once
// The large-argument (Hankel) expansion shared by I_n and K_n. No Python header.

#include <cstdint>

#include "core/bessel/bessel_kind.hpp"
#include "core/precision/working_value.hpp"

// The rounded-to-double functions' cap on the number of terms.
constexpr std::uint64_t last_expansion_index = 199;

// 1 + sum_{k>=1} t_k at `bits` bits, with t_k = t_{k-1} f_k / (8k) / x and
// f_k = +-((2k-1)^2 - mu) in double arithmetic (the sign pattern of I_n for
// the first kind, of K_n for the second), summed while the terms do not
// grow and can still change the sum, for at most `last_index` terms. x is at
// `bits` bits; mu = 4n^2 as a double.
WorkingValue large_argument_sum(const WorkingValue& x, Bits bits, double mu, BesselKind kind,
                                std::uint64_t last_index);

// mu = 4n^2 as a double, the nearest one for every 32-bit order.
double four_n_squared(unsigned long n);
