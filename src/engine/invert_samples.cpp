#include "engine/invert_samples.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

#include "engine/gwr_estimate.hpp"
#include "engine/gwr_plan.hpp"
#include "engine/method_registry.hpp"
#include "engine/point_solver.hpp"
#include "engine/row_samplers.hpp"
#include "failure/memory_budget.hpp"
#include "gwr/gwr_invert_at.hpp"

namespace {

// The rounding estimate is the larger of two draws of a random nudge of the
// samples; three times it covers the actual rounding, which is another such
// draw: one draw alone fell short of it at about one point in fifteen.
constexpr double rounding_safety = 3.0;
constexpr std::uint64_t nudge_draws = 2;

// The nudges' seed, from the point itself (its t and samples), never from its
// place in the call: the same point gives the same value and estimate in any
// array, any block of a Dask sweep, any order.
std::uint64_t nudge_seed(double t, const double* row, std::size_t width, std::uint64_t draw) {
    std::uint64_t seed = std::bit_cast<std::uint64_t>(t) * 0x9e3779b97f4a7c15ULL + draw;
    for (std::size_t k = 0; k < width; ++k) {
        seed = (seed ^ std::bit_cast<std::uint64_t>(row[k])) * 0xbf58476d1ce4e5b9ULL;
        seed ^= seed >> 31;
    }
    return seed | 1;  // never 0, which means no nudge
}

struct TermLevel {
    GwrLevel level;
    GwrTables tables;
};

class DoubleSampleTask final : public WorkerTask {
public:
    DoubleSampleTask(const DoubleSampleJob& job, const std::vector<TermLevel>& levels,
                     const PointOutputs& outputs)
        : job_(job), levels_(levels), outputs_(outputs) {
        work_.reserve(levels.size());
        for (const TermLevel& level : levels) {
            work_.emplace_back(level.level.m, level.level.bits, double_sample_bits(level.level.bits),
                               level.level.rho_bits);
        }
    }

    void run(std::size_t i) override {
        const double* row = job_.samples + i * job_.width;
        PointResult best{std::nan(""), std::numeric_limits<double>::infinity()};
        for (std::size_t l = 0; l < levels_.size(); ++l) {
            GwrWorkspace& work = work_[l];
            DoubleRowSampler plain(row, 0);
            gwr_invert_at(levels_[l].tables, plain, job_.t[i], work);
            const double value = to_double(work.rho.latest_estimate());
            const double truncation = gwr_spread_error(
                work.rho, levels_[l].level.rho_bits, [](const WorkingValue& v) { return to_double(v); });
            double rounding = 0;
            for (std::uint64_t draw = 0; draw < nudge_draws; ++draw) {
                DoubleRowSampler nudged(row, nudge_seed(job_.t[i], row, job_.width, draw));
                gwr_invert_at(levels_[l].tables, nudged, job_.t[i], work);
                rounding = std::max(rounding,
                                    std::fabs(to_double(work.rho.latest_estimate()) - value));
            }
            const double error = truncation + rounding_safety * rounding;
            if (error < best.error || (std::isnan(best.value) && !std::isnan(value))) {
                best = PointResult{value, error};
            }
        }
        outputs_.value[i] = best.value;
        outputs_.error[i] = std::isnan(best.value) ? best.value : best.error;
        if (outputs_.method != nullptr) {
            outputs_.method[i] = gwr_code_;
        }
    }

private:
    const DoubleSampleJob& job_;
    const std::vector<TermLevel>& levels_;
    const PointOutputs& outputs_;
    std::vector<GwrWorkspace> work_;
    MethodCode gwr_code_ = method_code("gwr");
};

}  // namespace

void invert_double_samples(const DoubleSampleJob& job, const PointOutputs& outputs,
                           JobControl& control) {
    std::vector<TermLevel> levels;
    for (std::uint64_t m : job.terms) {
        const GwrLevel level = gwr_level(m);
        require_memory_for((m + 3) * (m + 6), level.bits, 16, "the inversion of these samples");
        levels.push_back(TermLevel{level, build_gwr_tables(m, level.bits)});
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
                       gwr_spread_error(work.rho, bits, [](const WorkingValue& v) { return to_double(v); })};
    if (result.error < std::numeric_limits<double>::min()) {
        result.error_log10 = gwr_spread_error_log10(
            work.rho, bits, [](const WorkingValue& v, long& e) { return to_double_2exp(v, e); });
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
