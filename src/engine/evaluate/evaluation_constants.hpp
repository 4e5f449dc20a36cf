#pragma once
// The constants of F's evaluation that more than one part of the engine
// relies on, each with its reason, in one place: the precision a sample of F
// is computed at (real and complex samples alike), and how far inexact
// samples are magnified by the Gaver methods. Constants that tune one method
// alone stay in that method's file. No Python header.

#include <arb.h>

#include "core/precision/working_value.hpp"

namespace evaluation {

// Arb loses a bit or two to its own roundings in most operations; eight
// guard bits make the usual first evaluation come out at the working precision.
inline constexpr slong guard_bits = 8;

// A raise adds the shortfall plus this margin, so that a second shortfall of
// about the same size (cancellation that deepens with precision, as in
// x - sin(x) near 0) is covered by the next attempt.
inline constexpr slong raise_margin_bits = 32;

// Four raises: by then a shortfall that keeps growing is not cancellation
// that precision can cure (F is infinite or undefined there).
inline constexpr int max_raises = 4;

// The cap of any single evaluation: eight times the working precision (and
// 512 bits more for the small ones), far beyond the cancellation of ordinary
// transforms, and a bound on what a sample can cost in time and memory.
inline slong precision_cap(Bits bits) { return 8 * static_cast<slong>(bits) + 512; }

// Where a sample of F could not be made exact to the working precision (the
// raises ran out), GWR and Stehfest magnify its error like the rounding their
// precision is sized for: about 10^(1.4 m) for m terms at 2.4 m digits.
inline constexpr double noise_magnification_digits_per_term = 1.4;

inline constexpr double log10_2 = 0.30102999566398120;

}  // namespace evaluation
