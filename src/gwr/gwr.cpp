// gwr_rust: the Gaver-Wynn-Rho inverse Laplace transform of a Python callable
// (Valko & Abate 2004, "Comparison of sequence accelerators for the Gaver
// method of numerical Laplace transform inversion", Comput. Math. Appl. 48).
//
// The working precision comes from the caller's digits, or from m: about
// 2.1 m decimal digits for m terms, the precision Valko and Abate use with the
// method, since the Gaver sums cancel more digits with every term. The samples
// enter as doubles whatever the precision, so beyond m ~ 10 the magnified
// rounding of F itself dominates (m = 32 returns about 0.18 for F = 1/(s+1)
// at t = 1); callers whose F is accurate to double only should use m of 8 to 12.

#include "gwr/gwr.hpp"

#include "failure/internal_failure.hpp"
#include "gwr/gwr_invert_at.hpp"
#include "gwr/gwr_memory.hpp"
#include "gwr/gwr_tables.hpp"
#include "precision/precision_rules.hpp"
#include "precision/working_value.hpp"

Result<std::vector<double>> gwr_rust(PyObject* fn_obj, const std::vector<double>& times,
                                     std::uint64_t m, std::optional<std::uint32_t> digits) {
    free_mpfr_caches_at_thread_exit();
    const Bits bits = digits_to_bits(digits ? *digits : gwr_default_digits(m));
    // Before the first value exists: MPFR aborts the process on a failed allocation.
    require_gwr_memory(m, bits, !times.empty());
    // Built even without a time point: whether a call fails (memory, Ctrl-C)
    // then depends on m and the precision alone.
    GwrTables tables = build_gwr_tables(m, bits);
    if (times.empty()) {
        return std::vector<double>{};
    }
    if (m == 0) {
        // The acceleration starts from G_m, which does not exist.
        internal_failure("m must be at least 1 to invert at a time point");
    }
    GwrWorkspace work(m, bits);
    std::vector<double> results;
    results.reserve(times.size());
    for (double t : times) {
        Result<double> r = gwr_invert_at(tables, fn_obj, t, work);
        if (!r) {
            return std::unexpected(std::move(r.error()));
        }
        results.push_back(*r);
    }
    return results;
}
