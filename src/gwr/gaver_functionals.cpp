// The Gaver functionals (Gaver 1966; Valko & Abate 2004):
//   G_n = (a * c_n) * sum_{i=0..n} (-1)^i C(n, i) F((n+i) a),  a = ln 2 / t.
// Each G_n is a weighted finite difference of order n of the samples, so its
// terms cancel heavily: the rounding of F is magnified by the sum of the
// terms' magnitudes, which grows about eightfold with each n (about 10^13 at
// n = 16 for F = 1/(s+1), t = 1). That is why large m needs F to much more
// than double accuracy. The sum runs from i = 0 upwards, starting from +0 and
// adding or subtracting each rounded term, one rounding per step.

#include "gwr/gaver_functionals.hpp"

void gaver_functionals(const GwrTables& tables, const WorkingValue& a, const ValueVector& samples,
                       ValueVector& functionals, GaverScratch& scratch, InterruptPacer& pacer) {
    const std::size_t m = functionals.size();
    for (std::size_t n = 1; n <= m; ++n) {
        const ValueVector& tail = tables.binomial_tails[n - 1];
        const std::size_t tail_start = tables.binomial_tail_start[n - 1];
        const unsigned long* integers = tables.binomial_integers.data() + binomial_offset(n);
        // sum = sum_{i=0..n} (-1)^i C(n, i) F_(n+i); samples[n+i-1] holds F_(n+i).
        // Starting from +0 rather than from the first term keeps the sign of a zero sum.
        set_positive_zero(scratch.sum);
        for (std::size_t i = 0; i <= n; ++i) {
            // term = C(n, i) * F_(n+i). Where C(n, i) is held exactly as a machine
            // integer, F * C(n, i) by mul_ui is the correctly rounded product of
            // the very same two numbers, so the bits agree with mul; it is about
            // twice as fast as a general product.
            if (integers[i] != 0) {
                mul_ui(scratch.term, samples[n + i - 1], integers[i]);
            } else {
                mul(scratch.term, tail[i - tail_start], samples[n + i - 1]);
            }
            if (i % 2 == 0) {
                add(scratch.sum, scratch.sum, scratch.term);
            } else {
                sub(scratch.sum, scratch.sum, scratch.term);
            }
        }
        // G_n = (a * c_n) * sum
        mul(scratch.scale, a, tables.coefficients[n - 1]);
        mul(functionals[n - 1], scratch.scale, scratch.sum);
        pacer.account(2 * n + 4);
    }
}
