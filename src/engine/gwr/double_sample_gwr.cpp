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
//    is the difference of two doubles within a factor of two, so exact, and
//    a multiple of a unit of y_k by at most 2^20 + 1: C(n, i) d_k is exact in
//    a double (C(n, i) 2^21 < 2^53 is required below), so
//    D_n in doubles is within n 2^-53 sum |C(n, i) d_k| <= n 2^-105 sum
//    |C(n, i) y_k| of the exact nudge sum: below the rounding of the sums
//    themselves, and far below the nudge's own effect, which is the quantity
//    measured. Only the rho table, which is not linear, runs again.
//  * Precision. The samples carry the doubles' error, 2^-53 of each, which
//    the Gaver differences magnify like every error of the sums. The sums
//    run in limbs at 64 N bits, N the limbs of the largest m's planned
//    precision (2.4 m digits, gwr_plan.cpp): at least that planned precision
//    and at least 64 bits, so their own rounding, at most (n + 1) 2^-64N of
//    the terms' magnitudes, stays a factor 2^8 or more below the samples'
//    error for every n served (n + 1 <= 32 at N = 1 ... 4).
//  * The rho table runs in double words (double_word.hpp) where the largest
//    m's planned rho precision (1.8 m digits) is at most 101 bits, m <= 15,
//    the default counts among them: each of its operations errs by less than
//    2^-102 of its result, no more than a rounding to nearest at 101 bits,
//    so the table sees less rounding than the MPFR way gives it at its
//    planned precision, by the same forward analysis that plan rests on.
//    Where a value leaves the double words' safe range (double_word.hpp),
//    and for larger m, the table runs in limbs at 64 M bits, M the limbs of
//    the planned rho precision. The functionals enter the double words
//    rounded within 2^-106.
//  Every m therefore sees no more rounding than in the MPFR way, where the
//  smaller m work at fewer bits (56 and 44 for m = 6); the values differ
//  from that way's by that way's own rounding, within the estimate. The
//  nudged runs see the same arithmetic as the plain one, so the rounding
//  estimate measures what the doubles cost, as before.

#include "engine/gwr/double_sample_gwr.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

#include "engine/gwr/gwr_double_word.hpp"
#include "engine/gwr/gwr_estimate.hpp"
#include "engine/gwr/gwr_plan.hpp"
#include "engine/gwr/gwr_table_cache.hpp"
#include "engine/gwr/limb_gaver_tables.hpp"
#include "engine/gwr/nested_rho.hpp"
#include "engine/evaluate/row_samplers.hpp"
#include "core/failure/internal_failure.hpp"
#include "core/gwr/gwr_arithmetic.hpp"
#include "core/limb/limb_double.hpp"

namespace {

// Samples beyond this are left to the MPFR way: a nudge of one near the end
// of the double range could leave it, and that way's infinities say so.
constexpr double largest_sample = 0x1p1000;
// The integer binomials must be exact in a double for the nudge sums.
constexpr unsigned long largest_double_integer = 1UL << (53 - 21);
// The sizes served: up to 4 limbs, m <= 31 (more terms only magnify the
// doubles' rounding further: beyond 12 it leaves no digit).
constexpr int most_limbs = 4;
// Each double-word operation errs by less than 2^-102 of its result, as a
// rounding to nearest at 101 bits does at most.
constexpr Bits double_word_bits = 101;

template <int N, int M>
class LimbDoubleGwr final : public DoubleSampleGwr {
public:
    LimbDoubleGwr(const std::vector<std::uint64_t>& terms, std::size_t top, const GwrTables& tables,
                  bool double_words)
        : terms_(terms), top_(top), tables_(tables), g_(64 * N), r_(64 * M),
          limb_rho_(top, levels(terms), GwrLimb<M>(64 * M)), ln2_(64 * N), a_(64 * N),
          scratch_(64 * M), pacer_(64 * N) {
        if (double_words) {
            word_rho_.emplace(top, levels(terms), GwrDoubleWord());
            word_work_.resize(top);
        }
        samples_.resize(2 * top);
        sums_.resize(top);
        scales_.resize(top);
        for (auto& run : functionals_) {
            run.resize(top);
        }
        limb_work_.resize(top);
        deltas_.resize(2 * top);
        units_.resize(2 * top);
        for (std::size_t n = 1; n <= top; ++n) {
            const unsigned long* row = tables_.integers(n);
            for (std::size_t i = 0; i <= n; ++i) {
                const double c = static_cast<double>(row[i]);
                signed_binomials_.push_back(i % 2 == 0 ? c : -c);
            }
        }
        values_.resize(terms.size());
        truncation_.resize(terms.size());
        rounding_.resize(terms.size());
        // ln 2 correctly rounded, as the MPFR way makes it, without the
        // logarithm's cost at every call.
        set_ln2(ln2_);
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
        for (std::size_t k = 0; k < count; ++k) {
            units_[k] = nudge_units(row, width, k);
        }
        for (std::uint64_t draw = 0; draw < nudge_draws; ++draw) {
            nudged_functionals(row, nudge_seed(t, row, width, draw), functionals_[draw + 1]);
        }
        // The double words where they serve this point, the limbs where not.
        if (word_rho_ && accelerate_all(*word_rho_, word_work_)) {
            best = chosen();
            return true;
        }
        if (accelerate_all(limb_rho_, limb_work_)) {
            best = chosen();
            return true;
        }
        return false;
    }

private:
    using Sum = limb_float::Value<N>;
    using Rho = limb_float::Value<M>;

    static std::vector<std::size_t> levels(const std::vector<std::uint64_t>& terms) {
        return std::vector<std::size_t>(terms.begin(), terms.end());
    }

    // S_n = sum_i (-1)^i C(n, i) y_(n+i), kept for the nudges; the scale a c_n,
    // kept too; and G_n = (a c_n) S_n at the rho precision. The steps of
    // gaver_functionals_over, at this precision.
    void plain_functionals(const Sum& a) {
        std::vector<Rho>& functionals = functionals_[0];
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
            multiply_into(g_, r_, functionals[n - 1], scales_[n - 1], sum);
        }
        pacer_.account(top_ * (top_ + 3));
    }

    // G_n of the samples under the nudge of `seed`: (a c_n)(S_n + D_n).
    void nudged_functionals(const double* row, std::uint64_t seed, std::vector<Rho>& functionals) {
        for (std::size_t k = 0; k < 2 * top_; ++k) {
            // Exact: two doubles within a factor of two.
            deltas_[k] = nudged_sample(row[k], seed, k, units_[k]) - row[k];
        }
        const double* c = signed_binomials_.data();
        for (std::size_t n = 1; n <= top_; ++n) {
            double nudge = 0;
            for (std::size_t i = 0; i <= n; ++i) {
                nudge += c[i] * deltas_[n + i - 1];
            }
            c += n + 1;
            Sum sum = limb_float::add(sums_[n - 1], limb_float::from_double<N>(nudge), g_.format());
            multiply_into(g_, r_, functionals[n - 1], scales_[n - 1], sum);
        }
        pacer_.account(2 * top_);
    }

    // The plain run and the nudged ones through one rho table: each level's
    // value, truncation and rounding estimates. False where the table became
    // stationary or left the range of its arithmetic.
    template <class A>
    bool accelerate_all(NestedRho<A>& rho, std::vector<typename A::Value>& work) {
        for (std::size_t run = 0; run < functionals_.size(); ++run) {
            if (!load(functionals_[run], work)) {
                return false;
            }
            if constexpr (std::is_same_v<A, GwrDoubleWord>) {
                rho.arithmetic().reset();
            }
            if (!rho.run(work, pacer_)) {
                return false;
            }
            if constexpr (std::is_same_v<A, GwrDoubleWord>) {
                if (!rho.arithmetic().range_ok()) {
                    return false;
                }
            }
            for (std::size_t l = 0; l < terms_.size(); ++l) {
                const std::optional<double> value = as_double(rho.estimate(l, 0));
                if (!value) {
                    return false;
                }
                if (run == 0) {
                    values_[l] = *value;
                    truncation_[l] = spread_error(rho, l, *value);
                    rounding_[l] = 0;
                } else {
                    rounding_[l] = std::max(rounding_[l], std::fabs(*value - values_[l]));
                }
            }
        }
        return true;
    }

    // Of the levels, the one whose estimated total error is least.
    PointResult chosen() const {
        PointResult best{std::nan(""), std::numeric_limits<double>::infinity()};
        for (std::size_t l = 0; l < terms_.size(); ++l) {
            const double error = truncation_[l] + rounding_safety * rounding_[l];
            if (error < best.error || (std::isnan(best.value) && !std::isnan(values_[l]))) {
                best = PointResult{values_[l], error};
            }
        }
        return best;
    }

    static bool load(const std::vector<Rho>& functionals, std::vector<Rho>& work) {
        work = functionals;
        return true;
    }

    // Each functional as hi + lo: hi its nearest double, lo the nearest
    // double to the rest, which the limbs form exactly (64 M - 53 bits at
    // most, below half a unit of hi). Rounded within 2^-106 of it.
    bool load(const std::vector<Rho>& functionals, std::vector<DoubleWord>& work) const {
        for (std::size_t n = 0; n < functionals.size(); ++n) {
            const std::optional<double> hi = limb_float::to_double(functionals[n]);
            if (!hi || !GwrDoubleWord::in_range(*hi)) {
                return false;
            }
            Rho hi_part = limb_float::from_double<M>(-*hi);
            const std::optional<double> lo =
                limb_float::to_double(limb_float::add(functionals[n], hi_part, r_.format()));
            if (!lo) {
                return false;  // a rest below the normal range: the limbs serve
            }
            work[n] = DoubleWord{*hi, *lo};
        }
        return true;
    }

    // The truncation estimate of level l from its rho estimates, formed at
    // the rho arithmetic's precision (gwr_estimate.hpp).
    template <class A>
    double spread_error(NestedRho<A>& rho, std::size_t l, double value) {
        double spreads[2] = {0, 0};
        std::size_t count = 0;
        typename A::Value difference = rho.arithmetic().make();
        for (; count + 1 < rho.count(l) && count < 2; ++count) {
            rho.arithmetic().sub(difference, rho.estimate(l, count), rho.estimate(l, count + 1));
            spreads[count] = std::fabs(as_double(difference).value_or(
                std::numeric_limits<double>::infinity()));
        }
        double shorter[kept_shorter_estimates] = {};
        for (std::size_t i = 0; i < rho.shorter_count(l); ++i) {
            rho.arithmetic().sub(difference, rho.estimate(l, 0), rho.shorter(l, i));
            shorter[i] = std::fabs(as_double(difference).value_or(
                std::numeric_limits<double>::infinity()));
        }
        return gwr_spread_error(std::fabs(value), spreads, count, false, 64 * M, shorter, false);
    }

    static std::optional<double> as_double(const DoubleWord& v) {
        const double d = v.hi + v.lo;
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }

    // A value as a double, rounded once: directly in the normal range, by
    // MPFR beyond it (underflow to subnormals or 0); nothing on overflow.
    std::optional<double> as_double(const Rho& v) {
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
    NestedRho<GwrLimb<M>> limb_rho_;
    std::optional<NestedRho<GwrDoubleWord>> word_rho_;
    WorkingValue ln2_;
    WorkingValue a_;
    WorkingValue scratch_;
    InterruptPacer pacer_;
    std::vector<Sum> samples_;
    std::vector<Sum> sums_;
    std::vector<Sum> scales_;
    std::array<std::vector<Rho>, 1 + nudge_draws> functionals_;  // plain, then each nudge
    std::vector<Rho> limb_work_;
    std::vector<DoubleWord> word_work_;
    std::vector<double> deltas_;
    std::vector<std::uint64_t> units_;  // each sample's nudge, shared by the draws
    std::vector<double> signed_binomials_;  // row n: (-1)^i C(n, i), i = 0 ... n
    std::vector<double> values_;
    std::vector<double> truncation_;
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
                                                std::size_t top, const GwrTables& tables,
                                                bool double_words) {
    if (rho_limbs == N) {
        return std::make_unique<LimbDoubleGwr<N, N>>(terms, top, tables, double_words);
    }
    if constexpr (N >= 2) {
        if (rho_limbs == N - 1) {
            return std::make_unique<LimbDoubleGwr<N, N - 1>>(terms, top, tables, double_words);
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
    // The double words' operations are as accurate as a rounding at
    // double_word_bits (double_word.hpp): they serve where every level's
    // planned rho precision is no more.
    const bool double_words = level.rho_bits <= double_word_bits;
    switch (limbs) {
        case 1: return with_rho_limbs<1>(rho_limbs, terms, top, tables, double_words);
        case 2: return with_rho_limbs<2>(rho_limbs, terms, top, tables, double_words);
        case 3: return with_rho_limbs<3>(rho_limbs, terms, top, tables, double_words);
        case 4: return with_rho_limbs<4>(rho_limbs, terms, top, tables, double_words);
        default: return nullptr;
    }
}
