#include "engine/methods/point_solver.hpp"

#include <algorithm>
#include <cmath>

// Past `least` plus this many digits the text says nothing more to its
// reader, who keeps that many (Python reads it three digits finer than it
// reports). An estimate that underflowed the double (0, its size carried in
// log10 alone) would otherwise call every digit right: J0(6600) by the
// Bromwich line at 20 digits came out as 4,740 digits, past what Python's
// integer parser takes.
constexpr double read_digits_past_least = 3.0;

std::size_t text_length(const PointResult& result, std::size_t least, std::uint32_t bits) {
    const double held = static_cast<double>(bits) * std::log10(2.0);
    double right = std::log10(std::fabs(result.value) / result.error) + 3.0;
    if (!(right > 0)) {
        right = 0;  // NaN or nothing right: the least is all there is
    }
    const double most = static_cast<double>(least) + read_digits_past_least;
    return static_cast<std::size_t>(
        std::max<double>(static_cast<double>(least), std::min({right, held, most})));
}

