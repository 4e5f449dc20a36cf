#include "core/gwr/gwr_memory.hpp"

#include <algorithm>

#include "core/runtime/memory_budget.hpp"

namespace {

// The temporaries of MPFR's full products and quotients at the working
// precision (measured near 12 for a product and 10 for a division): the
// coefficients c_n need both, while the factorials and the binomial rows
// beside them are alive.
constexpr std::uint64_t product_scratch_values = 16;

// Scalars of one time point's workspace: ln 2, a, three for the Gaver sums,
// and for rho its difference, its quotient and the three kept estimates.
constexpr std::uint64_t workspace_scalars = 10;

// Rows n = 1 ... m of n + 1 binomials: m (m + 3) / 2 values. One of m and
// m + 3 is even, so halve that one first and the product stays exact.
std::uint64_t binomial_values(std::uint64_t m) {
    std::uint64_t m3 = saturating_add(m, 3);
    return m % 2 == 0 ? saturating_mul(m / 2, m3) : saturating_mul(m, m3 / 2);
}

}  // namespace

// The peak of what the call allocates, phase by phase and in the call's own
// order, so that a call which makes almost nothing is not refused for values
// it never makes. m = 0 makes the factorial f_0 and the coefficients'
// product p and nothing else: the loops that would multiply and divide do not
// run, and a time point ends the call before any workspace or logarithm.
void require_gwr_memory(std::uint64_t m, Bits bits, bool with_time_points) {
    if (m == 0) {
        require_memory_for(2, bits, 0, "the GWR tables");
        return;
    }
    // Factorials f_0 ... f_2m, p and the coefficients, with the products'
    // and quotients' temporaries on top.
    const std::uint64_t coefficients = m;
    const std::uint64_t first_phase =
        saturating_add(saturating_add(saturating_mul(2, m), 2), coefficients);
    // The factorials are gone once the coefficients exist; the binomial rows
    // are counted whole at P bits although their exact heads are integers.
    const std::uint64_t tables = saturating_add(coefficients, binomial_values(m));
    std::uint64_t values = std::max(first_phase, tables);
    std::uint64_t scratch = product_scratch_values;
    if (with_time_points) {
        // 2m samples, m functionals and two rho columns of m beside the
        // tables; ln 2 = log(2) is made when all of them exist, so the
        // logarithm's temporaries come on top.
        const std::uint64_t workspace =
            saturating_add(saturating_mul(5, m), workspace_scalars);
        values = std::max(first_phase, saturating_add(tables, workspace));
        scratch = exp_log_scratch_values;
    }
    // The per-row vectors add 24 bytes each and the integer mirror of the
    // binomials 8 bytes per entry, both far less than one value: the per-value
    // overhead that the check assumes covers them.
    require_memory_for(values, bits, scratch, "the GWR tables");
}
