#include "core/bessel/method_choice.hpp"

#include <cmath>

#include "core/failure/internal_failure.hpp"
#include "core/runtime/memory_budget.hpp"
#include "core/precision/precision_rules.hpp"

namespace {

constexpr double log2_e = 1.4426950408889634;
constexpr std::uint64_t series_extra_bits = 20;
// From 53 bits on, setting a double is exact and reading it back gives it.
constexpr Bits double_exact_bits = 53;

}  // namespace

double rounded_argument(double x, Bits bits) {
    if (bits >= double_exact_bits) {
        return x;
    }
    WorkingValue rounded(bits);
    set_d(rounded, x);
    return to_double(rounded);
}

Bits series_bits(Bits bits, double xd) {
    // ceil of the double product; <= 0 (including -0.0 and -inf) gives 0,
    // and below the threshold the product stays under 36.07: at most 37 bits.
    double extra = std::ceil(xd * log2_e);
    std::uint64_t argument_bits = extra > 0.0 ? static_cast<std::uint64_t>(extra) : 0;
    return checked_bits(std::uint64_t{bits} + series_extra_bits + argument_bits);
}

void require_bessel_memory(std::uint64_t values, Bits bits, const char* what) {
    require_memory_for(values, bits, exp_log_scratch_values, what);
}

Method choose_method(std::uint32_t n, double x, Bits bits, PathValues values, const char* what) {
    const double xd = rounded_argument(x, bits);
    if (!(xd < asymptotic_threshold)) {  // NaN takes the expansion too
        require_bessel_memory(values.expansion, bits, what);
        return Method{false, 0};
    }
    const Bits series = series_bits(bits, xd);
    // The order is checked before any value exists rather than after X and
    // its series-precision copy are set: nothing observable happens in
    // between, and so an unsupported order gets its own message even at a
    // precision whose values would not fit in memory.
    if (n > 1) {
        internal_failure("Only nu=0,1 supported");
    }
    require_bessel_memory(values.series, series, what);
    return Method{true, series};
}
