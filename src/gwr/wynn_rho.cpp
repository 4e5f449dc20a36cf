// Wynn's rho algorithm (Wynn 1956; Valko & Abate 2004), which
// accelerates the Gaver functionals towards f(t):
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

#include "gwr/wynn_rho.hpp"

#include <utility>

namespace {

// r = k + 1 <= m - 1 < 2^64 is exact in 64 bits; at the working precision
// from 64 bits on, so that numerator, divisor and quotient share one
// precision and MPFR takes its fast division paths for 1 and 2 limbs.
Bits order_bits(Bits bits) { return bits < 64 ? 64 : bits; }

// The estimates kept for the error estimate: the latest and the two before it.
constexpr std::size_t kept_estimates = 3;

// Makes `latest` the newest estimate, moving the older ones down by one.
void push_estimate(RhoWorkspace& work, const WorkingValue& latest) {
    for (std::size_t i = kept_estimates - 1; i > 0; --i) {
        std::swap(work.estimates[i], work.estimates[i - 1]);
    }
    set(work.estimates[0], latest);
    if (work.estimate_count < kept_estimates) {
        ++work.estimate_count;
    }
}

}  // namespace

RhoWorkspace::RhoWorkspace(std::size_t m, Bits bits)
    : order(order_bits(bits)), difference(bits), quotient(bits) {
    before.reserve(m);
    next.reserve(m);
    for (std::size_t i = 0; i < m; ++i) {
        before.emplace_back(bits);
        next.emplace_back(bits);
    }
    estimates.reserve(kept_estimates);
    for (std::size_t i = 0; i < kept_estimates; ++i) {
        estimates.emplace_back(bits);
    }
}

void wynn_rho_limit(ValueVector& values, RhoWorkspace& work, InterruptPacer& pacer) {
    const std::size_t m = values.size();
    ValueVector& previous = values;  // column r-1; column 0 is G_1 ... G_m
    work.estimate_count = 0;
    work.stationary = false;
    push_estimate(work, previous[m - 1]);
    // Column -1 is all zeros. Only `before` needs clearing: every entry of
    // `next` that is read is written first in the same pass.
    for (WorkingValue& v : work.before) {
        set_positive_zero(v);
    }
    // Pass k builds column r = k + 1, entries j = m-2-k down to 0.
    for (std::size_t k = 0; k + 2 <= m; ++k) {
        const std::size_t first = m - 2 - k;
        set_ui(work.order, k + 1);
        for (std::size_t j = first + 1; j-- > 0;) {
            // d = rho_(r-1)^(j+1) - rho_(r-1)^(j)
            sub(work.difference, previous[j + 1], previous[j]);
            if (is_zero(work.difference)) {
                work.stationary = true;
                return;
            }
            // q = (k+1) / d, with k+1 held exactly in `order` rather than
            // passed as the double k+1 (also exact: k+1 < 2^53 for every m whose
            // tables fit in memory). Either way MPFR returns the correctly
            // rounded quotient of the same two exact numbers, so the bits agree.
            div(work.quotient, work.order, work.difference);
            // rho_r^(j) = rho_(r-2)^(j+1) + q
            add(work.next[j], work.before[j + 1], work.quotient);
            if (j == first && k % 2 == 1) {
                push_estimate(work, work.next[j]);
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
