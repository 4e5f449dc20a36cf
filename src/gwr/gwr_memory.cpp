#include "gwr/gwr_memory.hpp"

#include "failure/memory_budget.hpp"

namespace {

// Scalars of the whole call: one product in the coefficients, and per time
// ln 2, a, the sample point, three for the Gaver sums and three for rho.
constexpr std::uint64_t scalar_values = 10;

// ln 2 = log(2) is made once per call, when the tables and the per-time
// vectors already exist, so the logarithm's temporaries come on top of them.
// The same allowance covers the temporaries of the products and quotients
// that build the tables, which are far fewer.
constexpr std::uint64_t scratch_values = scalar_values + exp_log_scratch_values;

}  // namespace

void require_gwr_memory(std::uint64_t m, Bits bits, bool with_time_points) {
    // Rows n = 1 ... m of n + 1 binomials: m (m + 3) / 2 values. One of m and
    // m + 3 is even, so halve that one first and the product stays exact.
    std::uint64_t m3 = saturating_add(m, 3);
    std::uint64_t binomials = m % 2 == 0 ? saturating_mul(m / 2, m3) : saturating_mul(m, m3 / 2);
    std::uint64_t factorials = saturating_add(saturating_mul(2, m), 1);
    std::uint64_t values = saturating_add(saturating_add(binomials, m), factorials);
    if (with_time_points) {
        // 2m samples, m functionals and the two further rho columns.
        values = saturating_add(values, saturating_mul(5, m));
    }
    // The per-row vectors add 24 bytes each and the integer mirror of the
    // binomials 8 bytes per entry, both far less than one value: the per-value
    // overhead that the check assumes covers them.
    require_memory_for(values, bits, scratch_values, "the GWR tables");
}
