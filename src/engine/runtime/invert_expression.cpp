#include "engine/runtime/invert_expression.hpp"

#include <algorithm>
#include <deque>
#include <optional>
#include <vector>

#include "engine/gwr/gwr_plan.hpp"
#include "engine/methods/initial_value.hpp"
#include "engine/placement/method_validity.hpp"
#include "core/runtime/memory_budget.hpp"

namespace {

// Bytes of one value of `bits` bits: its limbs, MPFR's header in its own
// block, and malloc's bookkeeping for each (as failure/memory_budget.cpp).
std::uint64_t value_bytes(std::uint64_t bits) {
    return saturating_add((bits + 63) / 64 * 8, 32 + 2 * 16 + 8);
}

// What a job needs before its first point, each value counted at the
// precision it is made at: the first level's tables (binomial rows,
// coefficients, the factorials while they are made) and, per thread, its
// workspace (samples, functionals, rho columns, estimates, scalars) and the
// evaluator's registers, which may be raised to largest_evaluation_bits.
// The later levels' tables and workspaces are made only by the points that
// need them, and each is checked then (GwrLevelTables::tables): counted here
// all at once, at the largest level's precision, they refused 500 digits
// for tens of GiB that no point would have made.
void require_job_memory(const std::vector<GwrLevel>& levels, const Program& program,
                        unsigned workers, bool tables) {
    const GwrLevel& first = levels.front();
    const std::uint64_t m = first.m;
    std::uint64_t shared = 0;
    if (tables) {
        const std::uint64_t binomials = saturating_mul(m, saturating_add(m, 3)) / 2;
        const std::uint64_t factorials = saturating_add(saturating_mul(3, m), 1);
        shared = saturating_mul(saturating_add(binomials, factorials), value_bytes(first.bits));
    }
    const std::uint64_t workspace =
        saturating_mul(saturating_add(saturating_mul(5, m), 12), value_bytes(first.bits));
    const auto evaluation_bits = static_cast<std::uint64_t>(largest_evaluation_bits(first.bits));
    const std::uint64_t registers =
        saturating_add(program.code().size(), program.constants().size());
    // Arb's and MPFR's own temporaries inside special functions and logs.
    constexpr std::uint64_t scratch_values_per_thread = 128;
    const std::uint64_t evaluator = saturating_mul(
        saturating_add(registers, scratch_values_per_thread), value_bytes(evaluation_bits));
    const std::uint64_t per_thread = saturating_add(workspace, evaluator);
    require_memory_bytes(saturating_add(shared, saturating_mul(workers, per_thread)),
                         "the inversion at this precision");
}

// The window the singularity scans serve: the job's smallest and largest
// positive times (1 for both when there is none).
ScanWindow job_window(const PointInputs& inputs, std::uint32_t digits) {
    double smallest = 0.0;
    double largest = 0.0;
    for (std::size_t i = 0; i < inputs.count; ++i) {
        const double t = inputs.t[i];
        if (t > 0.0) {
            smallest = smallest == 0.0 ? t : std::min(smallest, t);
            largest = std::max(largest, t);
        }
    }
    if (largest == 0.0) {
        smallest = largest = 1.0;
    }
    return scan_window(smallest, largest, digits);
}

class InvertTask final : public WorkerTask {
public:
    InvertTask(const InvertRequest& request, const std::deque<GwrLevelTables>& levels,
               const PointInputs& inputs, const PointOutputs& outputs, const ScanWindow& window)
        : request_(request), inputs_(inputs), outputs_(outputs),
          validity_(request.program, request.digits, window),
          solver_(request.method.make(
              MethodContext{request.program, request.digits, request.m, levels, validity_})),
          initial_code_(method_code("initial value")),
          first_bits_(levels.front().level().bits) {}

    void run(std::size_t i) override {
        const double t = inputs_.t[i];
        const double* parameters =
            inputs_.parameters + i * request_.program.parameter_count();
        std::string* text = outputs_.text != nullptr ? outputs_.text + i : nullptr;
        PointResult result;
        if (t == 0.0) {
            if (!initial_) {
                initial_.emplace(request_.program, first_bits_);
            }
            result = initial_value(*initial_, parameters, request_.digits, text,
                                   outputs_.text_digits);
            result.method = initial_code_;
        } else {
            result = solver_->solve(t, parameters, text, outputs_.text_digits);
        }
        outputs_.value[i] = result.value;
        outputs_.error[i] = result.error;
        if (outputs_.error_log10 != nullptr) {
            outputs_.error_log10[i] = carried_error_log10(result);
        }
        outputs_.method[i] = result.method;
    }

private:
    const InvertRequest& request_;
    const PointInputs& inputs_;
    const PointOutputs& outputs_;
    MethodValidity validity_;  // before solver_, which borrows it
    std::unique_ptr<PointSolver> solver_;
    MethodCode initial_code_;
    Bits first_bits_;
    std::optional<AccurateEvaluator> initial_;
};

}  // namespace

void invert_expression(const InvertRequest& request, const PointInputs& inputs,
                       const PointOutputs& outputs, JobControl& control) {
    const std::vector<GwrLevel> plan = gwr_levels(request.digits, request.m);
    const unsigned workers = static_cast<unsigned>(
        std::clamp<std::size_t>(request.workers, 1, std::max<std::size_t>(inputs.count, 1)));
    // Only the Gaver methods build tables; the contour methods' values are
    // the evaluators' registers and the samples of one level at a time. The
    // automatic choice that tries the contour first builds GWR's tables only
    // at points the contour misses, and they are checked then.
    const bool tables = request.method.gaver_tables != nullptr &&
                        request.method.gaver_tables(request.program, request.digits);
    require_job_memory(plan, request.program, workers, tables);
    std::deque<GwrLevelTables> levels;  // not movable: a deque never moves its elements
    for (const GwrLevel& level : plan) {
        levels.emplace_back(level);
    }
    const ScanWindow window = job_window(inputs, request.digits);
    run_on_workers(inputs.count, workers, control, [&] {
        return std::make_unique<InvertTask>(request, levels, inputs, outputs, window);
    });
}
