#pragma once
// The large-argument (Hankel) expansion shared by I_n and K_n. No Python header.

#include "precision/working_value.hpp"

// The two expansions differ only in the sign pattern of their terms.
enum class Expansion {
    first_kind,   // I_n: terms alternate, factor (2k-1)^2 - mu
    second_kind,  // K_n: factor mu - (2k-1)^2
};

// 1 + sum_{k>=1} t_k at `bits` bits, with t_k = t_{k-1} f_k / (8k) / x and
// f_k = +-((2k-1)^2 - mu) in double arithmetic, summed while the terms do not
// grow, for at most 199 terms. x is at `bits` bits; mu = 4n^2 as a double.
WorkingValue large_argument_sum(const WorkingValue& x, Bits bits, double mu, Expansion kind);

// mu = 4n^2 as a double, the nearest one for every 32-bit order.
double four_n_squared(unsigned long n);
