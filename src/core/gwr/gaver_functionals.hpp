#pragma once
// The Gaver functionals G_1 ... G_m of one time point, written once over an
// arithmetic (gwr_arithmetic.hpp). No Python header.

#include <cstddef>
#include <type_traits>
#include <vector>

#include "core/gwr/gwr_arithmetic.hpp"
#include "core/gwr/gwr_tables.hpp"
#include "core/gwr/interrupt_pacer.hpp"
#include "core/precision/working_value.hpp"

// Scratch values of the sums, made once per call at the sums' precision.
template <class G>
struct GaverScratchOf {
    explicit GaverScratchOf(const G& g) : term(g.make()), sum(g.make()), scale(g.make()) {}
    typename G::Value term;
    typename G::Value sum;
    typename G::Value scale;
};
using GaverScratch = GaverScratchOf<GwrMpfr>;

// scratch.sum = sum_{i=0..n} (-1)^i C(n, i) F_(n+i), step by step in g, where
// samples[k-1] holds F_k and `tables` the binomials of row n (see below).
// (G may be const: the limb arithmetics' operations are.)
template <class Tables, class G>
void gaver_row_sum(const Tables& tables, G& g, std::size_t n,
                   const std::vector<typename std::remove_const_t<G>::Value>& samples,
                   GaverScratchOf<std::remove_const_t<G>>& scratch) {
    const auto& tail = tables.tail(n);
    const std::size_t tail_start = tables.tail_start(n);
    const unsigned long* integers = tables.integers(n);
    // Starting from +0 rather than from the first term keeps the sign of a zero sum.
    g.zero(scratch.sum);
    for (std::size_t i = 0; i <= n; ++i) {
        // term = C(n, i) * F_(n+i). Where C(n, i) is held exactly as a machine
        // integer, F * C(n, i) is the correctly rounded product of the very same
        // two numbers as with C(n, i) as a value, and cheaper.
        if (integers[i] != 0) {
            g.mul_integer(scratch.term, samples[n + i - 1], integers[i]);
        } else {
            g.mul(scratch.term, tail[i - tail_start], samples[n + i - 1]);
        }
        if (i % 2 == 0) {
            g.add(scratch.sum, scratch.sum, scratch.term);
        } else {
            g.sub(scratch.sum, scratch.sum, scratch.term);
        }
    }
}

// functionals[n-1] = (a * c_n) * sum_{i=0..n} (-1)^i C(n, i) F_(n+i), n = 1 ... m,
// from samples[k-1] = F_k, k = 1 ... 2m. The sums run in g, each functional
// is rounded once into r's precision. `tables` gives c_n (coefficient(n)),
// the binomials held as integers (integers(n), 0 where not) and the rest
// (tail(n), from tail_start(n) on). May end the call on Ctrl-C.
template <class Tables, class G, class R>
void gaver_functionals_over(const Tables& tables, G& g, R& r, const typename G::Value& a,
                            const std::vector<typename G::Value>& samples,
                            std::vector<typename R::Value>& functionals,
                            GaverScratchOf<G>& scratch, InterruptPacer& pacer) {
    const std::size_t m = functionals.size();
    for (std::size_t n = 1; n <= m; ++n) {
        gaver_row_sum(tables, g, n, samples, scratch);
        // G_n = (a * c_n) * sum
        g.mul(scratch.scale, a, tables.coefficient(n));
        multiply_into(g, r, functionals[n - 1], scratch.scale, scratch.sum);
        pacer.account(2 * n + 4);
    }
}

// The MPFR tables as the loop reads them.
class MpfrGaverTables {
public:
    explicit MpfrGaverTables(const GwrTables& tables) : tables_(tables) {}
    const WorkingValue& coefficient(std::size_t n) const { return tables_.coefficients[n - 1]; }
    const unsigned long* integers(std::size_t n) const {
        return tables_.binomial_integers.data() + binomial_offset(n);
    }
    const ValueVector& tail(std::size_t n) const { return tables_.binomial_tails[n - 1]; }
    std::size_t tail_start(std::size_t n) const { return tables_.binomial_tail_start[n - 1]; }

private:
    const GwrTables& tables_;
};

// gaver_functionals_over in MPFR at the tables' precision.
void gaver_functionals(const GwrTables& tables, const WorkingValue& a, const ValueVector& samples,
                       ValueVector& functionals, GaverScratch& scratch, InterruptPacer& pacer);
