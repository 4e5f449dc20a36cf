#include "engine/placement/essential_singularity.hpp"

#include <algorithm>
#include <cmath>

#include "engine/program/acb_value.hpp"

namespace {

// F is read to a double's worth: only its size matters here.
constexpr slong probe_bits = 64;
constexpr slong least_accuracy = 16;
// Growth of |F| up the diagonal over the real axis, in bits, that no pole,
// branch point or logarithm gives at one radius short of a pole within
// 2^-30 of the probe: for e^(-a/s) it is 2.5 a / r, so GWR is refused from
// a t of about 8 / a on (it met e^(-1/s)/s honestly up to t = 1700, and was
// silently off from a t of about 2000).
constexpr double least_growth_bits = 30.0;
// And it must grow, nearing sigma, by at least this many bits from twice
// the radius: e^(-a sqrt(s)) grows up the diagonal by 0.9 a sqrt(r) bits,
// which shrinks as r does.
constexpr double least_gain_bits = 1.0;

// Only an entire or meromorphic transcendental function of an argument with
// a pole makes an essential singularity at a finite point: rational
// functions, roots, logarithms and inverse functions do not, and F made of
// those alone is not probed.
bool may_be_essential(const Program& program) {
    for (const Instruction& instruction : program.code()) {
        switch (instruction.op) {
            case Op::exp: case Op::sin: case Op::cos: case Op::tan: case Op::sinh:
            case Op::cosh: case Op::tanh: case Op::erf: case Op::erfc: case Op::gamma:
            case Op::besseli: case Op::besselk: case Op::besselj: case Op::bessely:
            case Op::pow:
                return true;
            default:
                break;
        }
    }
    return false;
}

}  // namespace

EssentialSingularityProbe::EssentialSingularityProbe(const Program& program)
    : evaluator_(program), tracker_(program),
      parameter_count_(program.parameter_count()), probed_(may_be_essential(program)) {}

double EssentialSingularityProbe::log2_magnitude(double sigma, double r, bool diagonal,
                                                 const double* parameters) {
    // r e^(3 pi i / 4) lies above the negative axis, where principal roots
    // and logarithms of s - sigma are the continuation from the right.
    const double step = diagonal ? r * std::sqrt(0.5) : r;
    AcbValue s;
    arb_set_d(acb_realref(s.get()), sigma);
    ArbValue offset;
    arb_set_d(offset.get(), diagonal ? -step : step);
    arb_add(acb_realref(s.get()), acb_realref(s.get()), offset.get(), 2 * probe_bits);
    if (diagonal) {
        arb_set_d(acb_imagref(s.get()), step);
    }
    tracker_.restart();
    double ambiguity = 0.0;
    acb_srcptr value = evaluator_.evaluate(s.get(), parameters, probe_bits, tracker_, ambiguity);
    if (!acb_is_finite(value) || acb_contains_zero(value) ||
        acb_rel_accuracy_bits(value) < least_accuracy) {
        return std::nan("");
    }
    ArbValue magnitude;
    acb_abs(magnitude.get(), value, probe_bits);
    arb_log_base_ui(magnitude.get(), magnitude.get(), 2, probe_bits);
    return arf_get_d(arb_midref(magnitude.get()), ARF_RND_NEAR);
}

std::optional<double> EssentialSingularityProbe::oscillation_height(double sigma, double t,
                                                                     const double* parameters) {
    if (!probed_) {
        return std::nullopt;
    }
    const std::size_t count = parameter_count_;
    if (answered_ && last_sigma_ == sigma && last_t_ == t &&
        std::equal(last_parameters_.begin(), last_parameters_.end(), parameters)) {
        return last_height_;
    }
    last_height_ = probe(sigma, t, parameters);
    last_sigma_ = sigma;
    last_t_ = t;
    last_parameters_.assign(parameters, parameters + count);
    answered_ = true;
    return last_height_;
}

std::optional<double> EssentialSingularityProbe::probe(double sigma, double t,
                                                       const double* parameters) {
    const double r = std::log(2.0) / t;
    if (!std::isfinite(sigma) || !(r > 0.0) || sigma + r == sigma) {
        return std::nullopt;
    }
    const auto growth = [&](double radius) {
        return log2_magnitude(sigma, radius, true, parameters) -
               log2_magnitude(sigma, radius, false, parameters);
    };
    const double near = growth(r);
    if (!(near > least_growth_bits) || !(near > growth(2.0 * r) + least_gain_bits)) {
        return std::nullopt;  // NaN (unreadable) too: no evidence
    }
    // e^(-a/s) grows up the diagonal by 0.7 a / r nats over its own real
    // value, or over a real axis held up by another term of F (1/s +
    // e^(-1/s)/s), and by 1.7 a / r over its own: the larger a, 0.7's.
    const double a = near * std::log(2.0) * r / std::sqrt(0.5);
    return std::sqrt(a / t);
}
