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

#include "engine/contour_rules.hpp"

#include <cmath>

#include "precision/precision_rules.hpp"

namespace {

class FixedTalbot final : public ContourRule {
public:
    std::uint64_t first_nodes(std::uint32_t digits) const override {
        return static_cast<std::uint64_t>(std::ceil(1.4 * digits));
    }
    Bits bits(std::uint64_t m) const override {
        return checked_bits(static_cast<std::uint64_t>(std::ceil(m * bits_per_digit)) + 16);
    }
    void nodes(std::uint64_t m, slong prec, ContourNodes& out) const override;
    void point(acb_ptr z, std::uint64_t m, arb_srcptr theta, slong prec) const override;
    bool vertical_line() const override { return false; }
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

void FixedTalbot::nodes(std::uint64_t m, slong prec, ContourNodes& out) const {
    ArbValue r, cot, sigma, scale;
    talbot_r(r.get(), m, prec);
    // r / M: the rule's factor, the 1/t left to the caller
    arb_div_ui(scale.get(), r.get(), m, prec);
    for (std::uint64_t k = 0; k < m; ++k) {
        ArbValue theta;
        arb_const_pi(theta.get(), prec);
        arb_mul_ui(theta.get(), theta.get(), k, prec);
        arb_div_ui(theta.get(), theta.get(), m, prec);
        AcbValue z, weight;
        point(z.get(), m, theta.get(), prec);
        // weight = (r/M) e^z (1 + i sigma), halved at theta = 0 where sigma = 0
        acb_exp(weight.get(), z.get(), prec);
        acb_mul_arb(weight.get(), weight.get(), scale.get(), prec);
        if (k == 0) {
            acb_mul_2exp_si(weight.get(), weight.get(), -1);
        } else {
            // sigma = theta + (theta cot theta - 1) cot theta
            arb_cot(cot.get(), theta.get(), prec);
            arb_mul(sigma.get(), theta.get(), cot.get(), prec);
            arb_sub_ui(sigma.get(), sigma.get(), 1, prec);
            arb_mul(sigma.get(), sigma.get(), cot.get(), prec);
            arb_add(sigma.get(), sigma.get(), theta.get(), prec);
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
