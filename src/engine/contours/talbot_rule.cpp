// Fixed Talbot (Abate & Valko 2004, "Multi-precision Laplace transform
// inversion", Int. J. Numer. Meth. Engng 60, eq. 25-27): the Bromwich
// integral on the contour s(theta) = r theta (cot theta + i), -pi < theta < pi,
// by the trapezoidal rule at theta_k = k pi / M with r = 2M / (5t):
//
//   f(t) = (r/M) [ F(r) e^(rt) / 2
//                  + sum_{k=1}^{M-1} Re( e^(t s_k) F(s_k) (1 + i sigma_k) ) ],
//   sigma(theta) = theta + (theta cot theta - 1) cot theta.
//
// With z = t s the weights (r t / M) e^(z_k) (1 + i sigma_k) depend on M only.
// The contour opens to the left and wraps the singularities of F, which is
// what lets it follow oscillating f and poles off the real axis that the
// Gaver methods, on the real axis, cannot see. The factor e^(rt) = e^(0.4M)
// magnifies rounding by about 10^(0.17 M), which M digits of precision
// absorb; the truncation error falls like 10^(-0.6 M).

#include "engine/contours/contour_rules.hpp"

#include <cmath>

#include <arb.h>

#include "core/runtime/interrupts.hpp"
#include "core/precision/precision_rules.hpp"

namespace {

// Past about 100 digits the rule is sized by its measured rates: the
// truncation error falls like 10^(-0.59 M) (1/(s+1), 1/(s^2+1),
// exp(-sqrt(s))/s at 500 digits, t in [0.1, 10]), so 1.75 nodes a digit and
// a few more meet the tolerance at the first level, where 1.4 left every
// point to the second; and the rounding, magnified by e^(0.4 M) = 10^(0.174 M),
// needs 0.77 M digits of precision, not M: 0.85 M + 20 keeps a margin for
// f(t) far below F's samples (e^-10 at t = 10 costs 4 digits). Below that the
// first rules stay as they were tuned.
constexpr std::uint32_t sized_by_rates_digits = 100;
constexpr double nodes_per_digit = 1.75;
constexpr std::uint64_t extra_nodes = 4;
constexpr double precision_digits_per_node = 0.85;
constexpr double precision_extra_digits = 20.0;
// Where 0.85 m + 20 digits reaches m digits: the precision stays continuous in m.
constexpr std::uint64_t precision_rule_nodes = 134;

class FixedTalbot final : public ContourRule {
public:
    std::uint64_t first_nodes(std::uint32_t digits) const override {
        if (digits >= sized_by_rates_digits) {
            return static_cast<std::uint64_t>(std::ceil(nodes_per_digit * digits)) + extra_nodes;
        }
        return static_cast<std::uint64_t>(std::ceil(1.4 * digits));
    }
    Bits bits(std::uint64_t m) const override {
        const double digits = m < precision_rule_nodes
                                  ? static_cast<double>(m)
                                  : precision_digits_per_node * static_cast<double>(m) +
                                        precision_extra_digits;
        return checked_bits(static_cast<std::uint64_t>(std::ceil(digits * bits_per_digit)) + 16);
    }
    void nodes(std::uint64_t m, slong prec, ContourNodes& out) const override;
    void point(acb_ptr z, std::uint64_t m, arb_srcptr theta, slong prec) const override;
    bool vertical_line() const override { return false; }
    double real_crossing(std::uint64_t m) const override { return 0.4 * static_cast<double>(m); }
};

// r = 2M/5, the contour's crossing of the real axis at t = 1.
void talbot_r(arb_ptr r, std::uint64_t m, slong prec) {
    arb_set_ui(r, 2 * m);
    arb_div_ui(r, r, 5, prec);
}

void FixedTalbot::point(acb_ptr z, std::uint64_t m, arb_srcptr theta, slong prec) const {
    ArbValue r;
    talbot_r(r.get(), m, prec);
    if (arb_is_zero(theta)) {
        acb_set_arb(z, r.get());
        return;
    }
    // z = r theta (cot theta + i)
    arb_cot(acb_realref(z), theta, prec);
    arb_mul(acb_realref(z), acb_realref(z), theta, prec);
    arb_mul(acb_realref(z), acb_realref(z), r.get(), prec);
    arb_mul(acb_imagref(z), theta, r.get(), prec);
}

// Each node takes one real exponential and a few products: cos and sin of
// theta_k = k pi / M are the powers of e^(i pi / M), one product a node
// (made 32 bits finer: M products cost about log2(M) bits, which Arb's ball
// tracks), and the imaginary part of z is r theta_k = 2 pi k / 5, so
// e^(i Im z) takes only five values, made once.
void FixedTalbot::nodes(std::uint64_t m, slong prec, ContourNodes& out) const {
    ArbValue r, scale, cot, sigma, real, magnitude;
    talbot_r(r.get(), m, prec);
    // r / M: the rule's factor, the 1/t left to the caller
    arb_div_ui(scale.get(), r.get(), m, prec);
    AcbValue turns[5];  // e^(2 pi i j / 5)
    for (ulong j = 0; j < 5; ++j) {
        ExactRational fraction;
        fmpq_set_si(fraction.get(), static_cast<slong>(2 * j), 5);
        arb_sin_cos_pi_fmpq(acb_imagref(turns[j].get()), acb_realref(turns[j].get()),
                            fraction.get(), prec);
    }
    constexpr slong rotation_guard_bits = 32;
    const slong fine_prec = prec + rotation_guard_bits;
    AcbValue step, rotation;  // e^(i pi / M), and its k-th power
    {
        ExactRational fraction;
        fmpq_set_si(fraction.get(), 1, m);
        arb_sin_cos_pi_fmpq(acb_imagref(step.get()), acb_realref(step.get()), fraction.get(),
                            fine_prec);
        acb_one(rotation.get());
    }
    out.parameter.reserve(m);
    out.z.reserve(m);
    out.weight.reserve(m);
    for (std::uint64_t k = 0; k < m; ++k) {
        poll_interrupts();  // at thousands of digits a set takes seconds
        ArbValue theta;
        arb_const_pi(theta.get(), prec);
        arb_mul_ui(theta.get(), theta.get(), k, prec);
        arb_div_ui(theta.get(), theta.get(), m, prec);
        AcbValue z, weight;
        if (k == 0) {
            acb_set_arb(z.get(), r.get());
            // weight = (r/M) e^r / 2, where sigma = 0
            arb_exp(acb_realref(weight.get()), r.get(), prec);
            arb_mul(acb_realref(weight.get()), acb_realref(weight.get()), scale.get(), prec);
            arb_mul_2exp_si(acb_realref(weight.get()), acb_realref(weight.get()), -1);
        } else {
            // z = r theta (cot theta + i)
            acb_mul(rotation.get(), rotation.get(), step.get(), fine_prec);
            arb_div(cot.get(), acb_realref(rotation.get()), acb_imagref(rotation.get()), prec);
            arb_mul(real.get(), theta.get(), r.get(), prec);
            arb_set(acb_imagref(z.get()), real.get());
            arb_mul(acb_realref(z.get()), real.get(), cot.get(), prec);
            // weight = (r/M) e^(Re z) e^(2 pi i k / 5) (1 + i sigma),
            // sigma = theta + (theta cot theta - 1) cot theta
            arb_mul(sigma.get(), theta.get(), cot.get(), prec);
            arb_sub_ui(sigma.get(), sigma.get(), 1, prec);
            arb_mul(sigma.get(), sigma.get(), cot.get(), prec);
            arb_add(sigma.get(), sigma.get(), theta.get(), prec);
            arb_exp(magnitude.get(), acb_realref(z.get()), prec);
            arb_mul(magnitude.get(), magnitude.get(), scale.get(), prec);
            acb_mul_arb(weight.get(), turns[k % 5].get(), magnitude.get(), prec);
            AcbValue factor;
            acb_one(factor.get());
            arb_set(acb_imagref(factor.get()), sigma.get());
            acb_mul(weight.get(), weight.get(), factor.get(), prec);
        }
        out.parameter.push_back(std::move(theta));
        out.z.push_back(std::move(z));
        out.weight.push_back(std::move(weight));
    }
}

}  // namespace

const ContourRule& fixed_talbot_rule() {
    static const FixedTalbot rule;
    return rule;
}
