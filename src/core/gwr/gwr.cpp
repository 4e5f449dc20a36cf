// The Gaver-Wynn-Rho inverse Laplace transform (Valko & Abate 2004,
// "Comparison of sequence accelerators for the Gaver method of numerical
// Laplace transform inversion", Comput. Math. Appl. 48).
//
// The caller chooses the precision; about 2.1 m decimal digits for m terms
// is the precision Valko and Abate use with the method, since the Gaver sums
// cancel more digits with every term. Samples that enter as doubles limit the
// accuracy whatever the precision: beyond m ~ 10 the magnified rounding of F
// itself dominates (m = 32 returns about 0.18 for F = 1/(s+1) at t = 1), so
// callers whose F is accurate to double only should use m of 8 to 12.

#include "core/gwr/gwr.hpp"

#include "core/failure/internal_failure.hpp"
#include "core/gwr/gwr_invert_at.hpp"
#include "core/gwr/gwr_memory.hpp"
#include "core/gwr/gwr_tables.hpp"

std::optional<std::vector<double>> gwr_invert(TransformSampler& sampler,
                                              const std::vector<double>& times, std::uint64_t m,
                                              Bits bits, Bits sample_bits) {
    free_mpfr_caches_at_thread_exit();
    // Before the first value exists: MPFR aborts the process on a failed allocation.
    require_gwr_memory(m, bits, !times.empty());
    GwrTables tables = build_gwr_tables(m, bits);
    if (times.empty()) {
        return std::vector<double>{};
    }
    if (m == 0) {
        // The acceleration starts from G_m, which does not exist.
        internal_failure("m must be at least 1 to invert at a time point");
    }
    GwrWorkspace work(m, bits, sample_bits, bits);
    std::vector<double> results;
    results.reserve(times.size());
    for (double t : times) {
        if (!gwr_invert_at(tables, sampler, t, work)) {
            return std::nullopt;
        }
        results.push_back(to_double(work.rho.latest_estimate()));
    }
    return results;
}
