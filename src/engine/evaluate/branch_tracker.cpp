#include "engine/evaluate/branch_tracker.hpp"

#include "engine/program/arb_value.hpp"

#include <algorithm>
#include <cmath>

namespace {

double distance(acb_srcptr a, acb_srcptr b, slong prec) {
    AcbValue d;
    acb_sub(d.get(), a, b, prec);
    mag_t m;
    mag_init(m);
    acb_get_mag(m, d.get());
    const double out = mag_get_d(m);
    mag_clear(m);
    return out;
}

}  // namespace

BranchTracker::BranchTracker(const Program& program) : slot_(program.code().size(), -1) {
    const std::vector<Instruction>& code = program.code();
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i].op == Op::sqrt || code[i].op == Op::log || code[i].op == Op::pow) {
            slot_[i] = static_cast<int>(previous_.size());
            register_of_.push_back(i);
            previous_.emplace_back();
            op_.push_back(code[i].op);
        }
    }
}

void BranchTracker::restart() noexcept { started_ = false; }

double BranchTracker::choose(std::size_t i, acb_ptr value, slong prec) {
    if (!started_ || slot_[i] < 0) {
        return 0.0;
    }
    const std::size_t slot = static_cast<std::size_t>(slot_[i]);
    acb_srcptr before = previous_[slot].get();
    if (op_[slot] == Op::sqrt) {
        // The two roots are w and -w: keep the nearer.
        AcbValue other;
        acb_neg(other.get(), value);
        const double near = distance(value, before, prec);
        const double far = distance(other.get(), before, prec);
        if (far < near) {
            acb_swap(value, other.get());
        }
        const double low = std::min(near, far);
        const double high = std::max(near, far);
        return high > 0 ? low / high : 1.0;
    }
    // The logarithms differ by 2 pi i k: the k that brings the imaginary part
    // nearest to the previous one.
    const double previous_im = arf_get_d(arb_midref(acb_imagref(before)), ARF_RND_NEAR);
    const double im = arf_get_d(arb_midref(acb_imagref(value)), ARF_RND_NEAR);
    const double turns = (previous_im - im) / (2 * M_PI);
    const double k = std::nearbyint(turns);
    if (k != 0) {
        ArbValue shift;
        arb_const_pi(shift.get(), prec);
        arb_mul_si(shift.get(), shift.get(), 2 * static_cast<slong>(k), prec);
        arb_add(acb_imagref(value), acb_imagref(value), shift.get(), prec);
    }
    return 2.0 * std::fabs(turns - k);
}

void BranchTracker::commit(const std::vector<AcbValue>& registers,
                           const std::vector<AcbValue>& pow_logs) {
    for (std::size_t slot = 0; slot < previous_.size(); ++slot) {
        const std::size_t i = register_of_[slot];
        acb_set(previous_[slot].get(), op_[slot] == Op::pow ? pow_logs[i].get() : registers[i].get());
    }
    started_ = true;
}
