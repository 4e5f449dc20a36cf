#include "engine/methods/point_solver.hpp"

#include <algorithm>
#include <cmath>

std::size_t text_length(const PointResult& result, std::size_t least, std::uint32_t bits) {
    const double held = static_cast<double>(bits) * std::log10(2.0);
    double right = std::log10(std::fabs(result.value) / result.error) + 3.0;
    if (!(right > 0)) {
        right = 0;  // NaN or nothing right: the least is all there is
    }
    return static_cast<std::size_t>(std::max<double>(static_cast<double>(least), std::min(right, held)));
}

