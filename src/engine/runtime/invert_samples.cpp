#include "engine/runtime/invert_samples.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>

#include "engine/gwr/double_sample_gwr.hpp"
#include "engine/gwr/gwr_estimate.hpp"
#include "engine/gwr/gwr_plan.hpp"
#include "engine/gwr/gwr_table_cache.hpp"
#include "engine/methods/method_registry.hpp"
#include "engine/methods/point_solver.hpp"
#include "engine/evaluate/row_samplers.hpp"
#include "core/runtime/memory_budget.hpp"
#include "core/gwr/gwr_invert_at.hpp"

namespace {

struct TermLevel {
    GwrLevel level;
    const GwrTables* tables;  // cached, or owned by the job
};

class DoubleSampleTask final : public WorkerTask {
public:
    DoubleSampleTask(const DoubleSampleJob& job, const std::vector<TermLevel>& levels,
                     const PointOutputs& outputs)
        : job_(job), levels_(levels), outputs_(outputs), limbs_(make_double_sample_gwr(job.terms)),
          work_(levels.size()) {}

    void run(std::size_t i) override {
        const double* row = job_.samples + i * job_.width;
        PointResult best;
        if (!limbs_ || !limbs_->invert(job_.t[i], row, job_.width, best)) {
            best = invert_in_mpfr(job_.t[i], row);
        }
        outputs_.value[i] = best.value;
        outputs_.error[i] = std::isnan(best.value) ? best.value : best.error;
        if (outputs_.method != nullptr) {
            outputs_.method[i] = gwr_code_;
        }
    }

private:
    // Each m on its own, in MPFR at its planned precision, on the plain
    // samples and on each nudge: the way of every point the limbs leave.
    PointResult invert_in_mpfr(double t, const double* row) {
        PointResult best{std::nan(""), std::numeric_limits<double>::infinity()};
        for (std::size_t l = 0; l < levels_.size(); ++l) {
            const GwrLevel& level = levels_[l].level;
            if (!work_[l]) {
                work_[l].emplace(level.m, level.bits, double_sample_bits(level.bits), level.rho_bits);
            }
            GwrWorkspace& work = *work_[l];
            DoubleRowSampler plain(row, job_.width, 0);
            gwr_invert_at(*levels_[l].tables, plain, t, work);
            const double value = to_double(work.rho.latest_estimate());
            const double truncation =
                gwr_spread_error(work.rho, level.rho_bits, level.later,
                                 [](const WorkingValue& v) { return to_double(v); });
            double rounding = 0;
            for (std::uint64_t draw = 0; draw < nudge_draws; ++draw) {
                DoubleRowSampler nudged(row, job_.width, nudge_seed(t, row, job_.width, draw));
                gwr_invert_at(*levels_[l].tables, nudged, t, work);
                rounding = std::max(rounding,
                                    std::fabs(to_double(work.rho.latest_estimate()) - value));
            }
            const double error = truncation + rounding_safety * rounding;
            if (error < best.error || (std::isnan(best.value) && !std::isnan(value))) {
                best = PointResult{value, error};
            }
        }
        return best;
    }

    const DoubleSampleJob& job_;
    const std::vector<TermLevel>& levels_;
    const PointOutputs& outputs_;
    std::unique_ptr<DoubleSampleGwr> limbs_;
    std::vector<std::optional<GwrWorkspace>> work_;  // made where a point first needs it
    MethodCode gwr_code_ = method_code("gwr");
};

}  // namespace

void invert_double_samples(const DoubleSampleJob& job, const PointOutputs& outputs,
                           JobControl& control) {
    std::vector<TermLevel> levels;
    std::deque<GwrTables> owned;
    for (std::uint64_t m : job.terms) {
        const GwrLevel level = gwr_level(m);
        const GwrTables* tables = nullptr;
        if (gwr_tables_cacheable(m, level.bits)) {
            tables = &cached_gwr_tables(m, level.bits);
        } else {
            require_memory_for((m + 3) * (m + 6), level.bits, 16, "the inversion of these samples");
            tables = &owned.emplace_back(build_gwr_tables(m, level.bits));
        }
        levels.push_back(TermLevel{level, tables});
    }
    run_on_workers(job.count, job.workers, control, [&] {
        return std::make_unique<DoubleSampleTask>(job, levels, outputs);
    });
}

void require_value_samples_memory(std::uint64_t m, Bits bits) {
    const std::uint64_t tables = saturating_mul(saturating_add(m, 3), saturating_add(m, 6));
    require_memory_for(saturating_add(tables, saturating_mul(6, m)), bits, 16,
                       "the inversion of these samples");
}

PointResult invert_value_samples(double t, const ValueVector& samples, std::uint64_t m, Bits bits,
                                 std::string* text, std::size_t text_digits) {
    const GwrTables tables = build_gwr_tables(m, bits);
    GwrWorkspace work(m, bits, bits, bits);
    ValueRowSampler sampler(samples);
    gwr_invert_at(tables, sampler, t, work);
    PointResult result{to_double(work.rho.latest_estimate()),
                       gwr_spread_error(work.rho, bits, false,
                                        [](const WorkingValue& v) { return to_double(v); })};
    if (result.error < std::numeric_limits<double>::min()) {
        result.error_log10 = gwr_spread_error_log10(
            work.rho, bits, false, [](const WorkingValue& v, long& e) { return to_double_2exp(v, e); });
    }
    long largest = all_samples_zero;
    for (const WorkingValue& sample : samples) {
        if (is_regular(sample)) {
            largest = std::max(largest, exponent(sample));
        } else if (!is_zero(sample)) {
            largest = a_sample_not_finite;
        }
    }
    add_cancellation_noise(result, m, bits, largest, t, work.rho.stationary);
    if (text != nullptr) {
        *text = decimal_text(work.rho.latest_estimate(), text_digits);
    }
    return result;
}
