#pragma once
// Wynn's rho algorithm, the convergence acceleration of the GWR method,
// written once over an arithmetic (gwr_arithmetic.hpp). No Python header.
//
// Wynn 1956; Valko & Abate 2004:
//   rho_(-1)^(j) = 0,  rho_0^(j) = G_(j+1),
//   rho_r^(j) = rho_(r-2)^(j+1) + r / (rho_(r-1)^(j+1) - rho_(r-1)^(j)),
// for r = 1 ... m-1 and j = 0 ... m-1-r. Only the even columns estimate the
// limit; the odd ones are auxiliary. Columns are built with r increasing and,
// within a column, from the highest j down to 0. The estimate is the first
// (highest-j) entry of the latest even column: rho_(m-2)^(1) for even m >= 4,
// rho_(m-1)^(0) for odd m >= 3, G_m itself for m = 1 and 2.
//
// An exactly zero difference means the sequence has become stationary at the
// working precision (or the input was degenerate) and the next entry would
// divide by zero: the acceleration stops there with the current estimate. A
// NaN or infinite difference does not stop it; it propagates instead.

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "core/gwr/gwr_arithmetic.hpp"
#include "core/gwr/interrupt_pacer.hpp"
#include "core/precision/working_value.hpp"

// The estimates kept for the error estimate: the latest and the two before it.
constexpr std::size_t kept_rho_estimates = 3;
// And those of the sequences one, two and three functionals shorter.
constexpr std::size_t kept_shorter_estimates = 3;

// The vectors and scratch values of the acceleration, made once per call for
// sequences of length m >= 1 and reused for every time point.
template <class A>
struct RhoTable {
    using Value = typename A::Value;

    RhoTable(std::size_t m, A arithmetic)
        : a(std::move(arithmetic)), difference(a.make()), quotient(a.make()) {
        before.reserve(m);
        next.reserve(m);
        for (std::size_t i = 0; i < m; ++i) {
            before.push_back(a.make());
            next.push_back(a.make());
        }
        estimates.reserve(kept_rho_estimates);
        for (std::size_t i = 0; i < kept_rho_estimates; ++i) {
            estimates.push_back(a.make());
        }
        shorter.reserve(kept_shorter_estimates);
        for (std::size_t i = 0; i < kept_shorter_estimates; ++i) {
            shorter.push_back(a.make());
        }
    }

    // The limit's estimate: G_m, or the first entry of the latest even column.
    const Value& latest_estimate() const { return estimates[0]; }

    A a;
    std::vector<Value> before;  // column r-2 of the rho table
    std::vector<Value> next;    // column r, being built
    Value difference;
    Value quotient;
    // The latest estimates, newest first: estimates[i] is the one i even
    // columns before the latest. Only the first estimate_count are set; how
    // fast they settle is what an error estimate can be made of.
    std::vector<Value> estimates;
    std::size_t estimate_count = 0;
    // The estimates of the sequences one to three shorter: shorter[i] is that
    // of G_1 ... G_(m-1-i), the (i+2)-th highest entry of the latest even
    // column that has one. They come from other runs of functionals than the
    // estimates above, which all end at G_m, and so see a bias those share:
    // a term of f that rho cannot accelerate (a fast wave, faded by t) can
    // settle all three on the same wrong value. The first shorter_count are set.
    std::vector<Value> shorter;
    std::size_t shorter_count = 0;
    // Whether the acceleration stopped on an exactly zero difference: the
    // sequence had become stationary at the working precision, and nothing
    // later could have changed the estimate.
    bool stationary = false;
};
using RhoWorkspace = RhoTable<GwrMpfr>;

// Makes `latest` the newest estimate, moving the older ones down by one.
template <class A>
void push_rho_estimate(RhoTable<A>& work, const typename A::Value& latest) {
    for (std::size_t i = kept_rho_estimates - 1; i > 0; --i) {
        std::swap(work.estimates[i], work.estimates[i - 1]);
    }
    work.a.assign(work.estimates[0], latest);
    if (work.estimate_count < kept_rho_estimates) {
        ++work.estimate_count;
    }
}

// Accelerates values[0] ... values[m-1] (m = values.size() >= 1) towards their
// limit, leaving the estimates in `work` until its next use. `values` is used
// as the rho table's column r-1 and holds garbage afterwards. May end the call
// on Ctrl-C.
template <class A>
void wynn_rho_over(std::vector<typename A::Value>& values, RhoTable<A>& work,
                   InterruptPacer& pacer) {
    const std::size_t m = values.size();
    std::vector<typename A::Value>& previous = values;  // column r-1; column 0 is G_1 ... G_m
    work.estimate_count = 0;
    work.stationary = false;
    work.shorter_count = 0;
    push_rho_estimate(work, previous[m - 1]);
    // Column -1 is all zeros. Only `before` needs clearing: every entry of
    // `next` that is read is written first in the same pass.
    for (auto& v : work.before) {
        work.a.zero(v);
    }
    // Pass k builds column r = k + 1, entries j = m-2-k down to 0.
    for (std::size_t k = 0; k + 2 <= m; ++k) {
        const std::size_t first = m - 2 - k;
        for (std::size_t j = first + 1; j-- > 0;) {
            // d = rho_(r-1)^(j+1) - rho_(r-1)^(j)
            work.a.sub(work.difference, previous[j + 1], previous[j]);
            if (work.a.is_zero(work.difference)) {
                work.stationary = true;
                return;
            }
            // rho_r^(j) = rho_(r-2)^(j+1) + (k+1) / d
            work.a.divide_into(work.quotient, k + 1, work.difference);
            work.a.add(work.next[j], work.before[j + 1], work.quotient);
            if (k % 2 == 1) {
                if (j == first) {
                    push_rho_estimate(work, work.next[j]);
                } else if (first - j <= kept_shorter_estimates) {
                    const std::size_t i = first - j - 1;
                    work.a.assign(work.shorter[i], work.next[j]);
                    work.shorter_count = std::max(work.shorter_count, i + 1);
                }
            }
            pacer.account(3);
        }
        // Shift the columns by rotating the three vectors instead of copying
        // before[i] = previous[i], previous[i] = next[i] value by value. Both
        // give the same values wherever they are read again: at the start of
        // pass k, entries 0 ... m-1-k of `previous` and `before` hold columns
        // k and k-1 (for k = 0: G and the zeros), and pass k reads only those
        // entries (j+1 <= m-1-k). It writes entries 0 ... m-2-k of `next`,
        // exactly the range that pass k+1 reads after the rotation. Entries
        // beyond it differ between the two schemes but are never read again.
        std::swap(work.before, previous);  // before <- column k, previous <- stale
        std::swap(previous, work.next);    // previous <- column k+1, next <- stale
    }
}

// wynn_rho_over in MPFR.
inline void wynn_rho_limit(ValueVector& values, RhoWorkspace& work, InterruptPacer& pacer) {
    wynn_rho_over(values, work, pacer);
}
