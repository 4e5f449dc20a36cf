// Why the work is shared, and why the precision is enough.
//
// The MPFR way inverts each term count m on its own, three times: on the
// plain samples and on two nudged copies. Here:
//  * One pass of Gaver sums, of the largest m, serves every m: G_n does not
//    depend on m, and the shorter rho tables are corners of the largest one
//    (nested_rho.hpp).
//  * The nudged runs reuse the plain sums. G_n is linear in the samples, so
//    the sum over nudged samples y_k + d_k is the plain sum S_n plus the same
//    sum D_n over the nudges d_k = nudged_sample(y_k) - y_k alone. Each d_k
//    is one unit in the last place of y_k, a power of two held exactly, and
//    C(n, i) d_k is exact in a double (C(n, i) < 2^53 is required below), so
//    D_n in doubles is within n 2^-53 sum |C(n, i) d_k| <= n 2^-105 sum
//    |C(n, i) y_k| of the exact nudge sum: below the rounding of the sums
//    themselves, and far below the nudge's own effect, which is the quantity
//    measured. Only the rho table, which is not linear, runs again.
//  * Precision. The samples carry the doubles' error, 2^-53 of each, which
//    the Gaver differences magnify like every error of the sums. The sums
//    run at 64 N bits, N the limbs of the largest m's planned precision
//    (2.4 m digits, gwr_plan.cpp): at least that planned precision and at
//    least 64 bits, so their own rounding, at most (n + 1) 2^-64N of the
//    terms' magnitudes, stays a factor 2^8 or more below the samples' error
//    for every n served (n + 1 <= 32 at N = 1 ... 4). The rho table runs at
//    64 M bits, M the limbs of the planned rho precision (1.8 m digits): at
//    least what the MPFR way gives it. Every m therefore sees no more
//    rounding than in the MPFR way, where the smaller m work at fewer bits
//    (56 bits for m = 6); the values differ from that way's by that way's
//    own rounding, within the estimate. The nudged runs see the same
//    precision, so the rounding estimate measures what the doubles cost.

#include "engine/double_sample_gwr.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "engine/gwr_estimate.hpp"
#include "engine/gwr_plan.hpp"
#include "engine/gwr_table_cache.hpp"
#include "engine/limb_gaver_tables.hpp"
#include "engine/nested_rho.hpp"
#include "engine/row_samplers.hpp"
#include "failure/internal_failure.hpp"
#include "gwr/gwr_arithmetic.hpp"
#include "limb/limb_double.hpp"

namespace {

// Samples beyond this are left to the MPFR way: a nudge of one near the end
// of the double range could leave it, and that way's infinities say so.
constexpr double largest_sample = 0x1p1000;
// The integer binomials must be exact in a double for the nudge sums.
constexpr unsigned long largest_double_integer = 1UL << 53;
// The sizes served: up to 4 limbs, m <= 31 (more terms only magnify the
// doubles' rounding further: beyond 12 it leaves no digit).
constexpr int most_limbs = 4;

template <int N, int M>
class LimbDoubleGwr final : public DoubleSampleGwr {
public:
    LimbDoubleGwr(const std::vector<std::uint64_t>& terms, std::size_t top, const GwrTables& tables)
        : terms_(terms), top_(top), tables_(tables), g_(64 * N), r_(64 * M),
          rho_(top, std::vector<std::size_t>(terms.begin(), terms.end()), GwrLimb<M>(64 * M)),
          ln2_(64 * N), a_(64 * N), scratch_(64 * M), pacer_(64 * N) {
        samples_.resize(2 * top);
        sums_.resize(top);
        scales_.resize(top);
        functionals_.resize(top);
        deltas_.resize(2 * top);
        for (std::size_t n = 1; n <= top; ++n) {
            const unsigned long* row = tables_.integers(n);
            for (std::size_t i = 0; i <= n; ++i) {
                const double c = static_cast<double>(row[i]);
                signed_binomials_.push_back(i % 2 == 0 ? c : -c);
            }
        }
        values_.resize(terms.size());
        rounding_.resize(terms.size());
        // ln 2 correctly rounded, once per call, as the MPFR way makes it.
        set_ui(ln2_, 2);
        log(ln2_, ln2_);
    }

    bool invert(double t, const double* row, std::size_t width, PointResult& best) override {
        const std::size_t count = 2 * top_;
        for (std::size_t k = 0; k < count; ++k) {
            if (!(std::fabs(row[k]) <= largest_sample)) {
                return false;  // NaN, infinite or near the end of the range
            }
        }
        div_d(a_, ln2_, t);  // a = ln 2 / t, rounded once
        const std::optional<limb_float::Value<N>> a = limb_float::import_value<N>(a_);
        if (!a || a->zero) {
            return false;
        }
        for (std::size_t k = 0; k < count; ++k) {
            samples_[k] = limb_float::from_double<N>(row[k]);
        }
        plain_functionals(*a);
        if (!accelerate()) {
            return false;
        }
        std::vector<double> truncation(terms_.size());
        for (std::size_t l = 0; l < terms_.size(); ++l) {
            std::optional<double> value = limb_double(rho_.estimate(l, 0));
            if (!value) {
                return false;
            }
            values_[l] = *value;
            truncation[l] = spread_error(l, *value);
            rounding_[l] = 0;
        }
        for (std::uint64_t draw = 0; draw < nudge_draws; ++draw) {
            nudged_functionals(row, nudge_seed(t, row, width, draw));
            if (!accelerate()) {
                return false;
            }
            for (std::size_t l = 0; l < terms_.size(); ++l) {
                std::optional<double> nudged = limb_double(rho_.estimate(l, 0));
                if (!nudged) {
                    return false;
                }
                rounding_[l] = std::max(rounding_[l], std::fabs(*nudged - values_[l]));
            }
        }
        PointResult chosen{std::nan(""), std::numeric_limits<double>::infinity()};
        for (std::size_t l = 0; l < terms_.size(); ++l) {
            const double error = truncation[l] + rounding_safety * rounding_[l];
            if (error < chosen.error || (std::isnan(chosen.value) && !std::isnan(values_[l]))) {
                chosen = PointResult{values_[l], error};
            }
        }
        best = chosen;
        return true;
    }

private:
    using Sum = limb_float::Value<N>;
    using Rho = limb_float::Value<M>;

    // S_n = sum_i (-1)^i C(n, i) y_(n+i), kept for the nudges; the scale a c_n,
    // kept too; and G_n = (a c_n) S_n at the rho precision. The steps of
    // gaver_functionals_over, at this precision.
    void plain_functionals(const Sum& a) {
        for (std::size_t n = 1; n <= top_; ++n) {
            const unsigned long* integers = tables_.integers(n);
            Sum sum = GwrLimb<N>::make();
            for (std::size_t i = 0; i <= n; ++i) {
                const Sum& y = samples_[n + i - 1];
                if (y.zero) {
                    continue;  // adds an exact zero: the sum stays as it is
                }
                sum = limb_float::add(
                    sum, limb_float::mul_integer(y, integers[i], i % 2 == 1, g_.format()), g_.format());
            }
            sums_[n - 1] = sum;
            g_.mul(scales_[n - 1], a, tables_.coefficient(n));
            multiply_into(g_, r_, functionals_[n - 1], scales_[n - 1], sum);
        }
        pacer_.account(top_ * (top_ + 3));
    }

    // G_n of the samples under the nudge of `seed`: (a c_n)(S_n + D_n).
    void nudged_functionals(const double* row, std::uint64_t seed) {
        for (std::size_t k = 0; k < 2 * top_; ++k) {
            deltas_[k] = nudged_sample(row[k], seed, k) - row[k];  // exact: one unit, a power of 2
        }
        const double* c = signed_binomials_.data();
        for (std::size_t n = 1; n <= top_; ++n) {
            double nudge = 0;
            for (std::size_t i = 0; i <= n; ++i) {
                nudge += c[i] * deltas_[n + i - 1];
            }
            c += n + 1;
            Sum sum = limb_float::add(sums_[n - 1], limb_float::from_double<N>(nudge), g_.format());
            multiply_into(g_, r_, functionals_[n - 1], scales_[n - 1], sum);
        }
        pacer_.account(2 * top_);
    }

    bool accelerate() { return rho_.run(functionals_, pacer_); }

    // The truncation estimate of level l from its rho estimates, formed at
    // the rho precision (gwr_estimate.hpp).
    double spread_error(std::size_t l, double value) {
        double spreads[2] = {0, 0};
        std::size_t count = 0;
        Rho difference;
        for (; count + 1 < rho_.count(l) && count < 2; ++count) {
            r_.sub(difference, rho_.estimate(l, count), rho_.estimate(l, count + 1));
            spreads[count] = std::fabs(limb_double(difference).value_or(
                std::numeric_limits<double>::infinity()));
        }
        return gwr_spread_error(std::fabs(value), spreads, count, false, 64 * M);
    }

    // A value as a double, rounded once: directly in the normal range, by
    // MPFR beyond it (underflow to subnormals or 0); nothing on overflow.
    std::optional<double> limb_double(const Rho& v) {
        if (std::optional<double> d = limb_float::to_double(v)) {
            return d;
        }
        limb_float::export_value(scratch_, v);
        const double d = to_double(scratch_);
        if (!std::isfinite(d)) {
            return std::nullopt;
        }
        return d;
    }

    std::vector<std::size_t> terms_;
    std::size_t top_;
    LimbGaverTables<N> tables_;
    GwrLimb<N> g_;
    GwrLimb<M> r_;
    NestedRho<GwrLimb<M>> rho_;
    WorkingValue ln2_;
    WorkingValue a_;
    WorkingValue scratch_;
    InterruptPacer pacer_;
    std::vector<Sum> samples_;
    std::vector<Sum> sums_;
    std::vector<Sum> scales_;
    std::vector<Rho> functionals_;
    std::vector<double> deltas_;
    std::vector<double> signed_binomials_;  // row n: (-1)^i C(n, i), i = 0 ... n
    std::vector<double> values_;
    std::vector<double> rounding_;
};

// Whether every binomial row of the tables is held as integers below 2^53.
bool binomials_fit_doubles(const GwrTables& tables, std::size_t top) {
    for (std::size_t n = 1; n <= top; ++n) {
        if (tables.binomial_tail_start[n - 1] != n + 1) {
            return false;
        }
        const unsigned long* row = tables.binomial_integers.data() + binomial_offset(n);
        for (std::size_t i = 0; i <= n; ++i) {
            if (row[i] == 0 || row[i] > largest_double_integer) {
                return false;
            }
        }
    }
    return true;
}

template <int N>
std::unique_ptr<DoubleSampleGwr> with_rho_limbs(int rho_limbs,
                                                const std::vector<std::uint64_t>& terms,
                                                std::size_t top, const GwrTables& tables) {
    if (rho_limbs == N) {
        return std::make_unique<LimbDoubleGwr<N, N>>(terms, top, tables);
    }
    if constexpr (N >= 2) {
        if (rho_limbs == N - 1) {
            return std::make_unique<LimbDoubleGwr<N, N - 1>>(terms, top, tables);
        }
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<DoubleSampleGwr> make_double_sample_gwr(const std::vector<std::uint64_t>& terms) {
    if (terms.empty()) {
        return nullptr;
    }
    const std::uint64_t top = *std::max_element(terms.begin(), terms.end());
    const GwrLevel level = gwr_level(top);
    const int limbs = limb_float::limbs_for(level.bits);
    const int rho_limbs = limb_float::limbs_for(level.rho_bits);
    const Bits sums_bits = static_cast<Bits>(64 * limbs);
    if (limbs > most_limbs || !gwr_tables_cacheable(top, sums_bits)) {
        return nullptr;
    }
    const GwrTables& tables = cached_gwr_tables(top, sums_bits);
    // A cache that handed out another size's tables would read rows that are
    // not there.
    if (tables.coefficients.size() != top) {
        internal_failure("the Gaver tables of the wrong size came from the cache");
    }
    if (!binomials_fit_doubles(tables, top)) {
        return nullptr;
    }
    switch (limbs) {
        case 1: return with_rho_limbs<1>(rho_limbs, terms, top, tables);
        case 2: return with_rho_limbs<2>(rho_limbs, terms, top, tables);
        case 3: return with_rho_limbs<3>(rho_limbs, terms, top, tables);
        case 4: return with_rho_limbs<4>(rho_limbs, terms, top, tables);
        default: return nullptr;
    }
}
