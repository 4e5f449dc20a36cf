#pragma once
// The Gaver-Wynn-Rho inverse Laplace transform of a sampled F. No Python header.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/gwr/transform_sampler.hpp"
#include "core/precision/working_value.hpp"

// f(t) rounded to a double for each t of `times`, in order, with m Gaver
// functionals at `bits` bits and samples held at `sample_bits`. Nothing when
// the sampler ended the call (at its first failure; no later sample is asked
// for). The tables are built even for no time at all, so that whether a call
// fails (memory, Ctrl-C) depends on m and the precision alone.
std::optional<std::vector<double>> gwr_invert(TransformSampler& sampler,
                                              const std::vector<double>& times, std::uint64_t m,
                                              Bits bits, Bits sample_bits);
