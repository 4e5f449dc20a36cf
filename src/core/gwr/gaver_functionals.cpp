// The Gaver functionals (Gaver 1966; Valko & Abate 2004):
//   G_n = (a * c_n) * sum_{i=0..n} (-1)^i C(n, i) F((n+i) a),  a = ln 2 / t.
// Each G_n is a weighted finite difference of order n of the samples, so its
// terms cancel heavily: the rounding of F is magnified by the sum of the
// terms' magnitudes, which grows about eightfold with each n (about 10^13 at
// n = 16 for F = 1/(s+1), t = 1). That is why large m needs F to much more
// than double accuracy. The sum runs from i = 0 upwards, starting from +0 and
// adding or subtracting each rounded term, one rounding per step.

#include "core/gwr/gaver_functionals.hpp"

void gaver_functionals(const GwrTables& tables, const WorkingValue& a, const ValueVector& samples,
                       ValueVector& functionals, GaverScratch& scratch, InterruptPacer& pacer) {
    // The arithmetics only carry the precision of the values they make; every
    // operation here rounds into its destination's own precision.
    GwrMpfr g(a.bits());
    GwrMpfr r(functionals.empty() ? a.bits() : functionals.front().bits());
    gaver_functionals_over(MpfrGaverTables(tables), g, r, a, samples, functionals, scratch, pacer);
}
