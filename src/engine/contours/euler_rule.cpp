// The Euler method (Abate & Whitt 2006, "A unified framework for numerically
// inverting Laplace transforms", INFORMS J. Computing 18, section 5): the
// Bromwich integral on the line Re s = A/t, A = M ln(10)/3, by the trapezoidal
// rule with step pi/t, whose alternating tail is summed by Euler's method
// (binomial averaging of the last M partial sums):
//
//   f(t) = (10^(M/3) / t) sum_{k=0}^{2M} eta_k Re F((A + i pi k) / t),
//   eta_k = (-1)^k xi_k,  xi_0 = 1/2,  xi_k = 1 (1 <= k <= M),  xi_2M = 2^-M,
//   xi_(2M-k) = xi_(2M-k+1) + 2^-M C(M, k)  (0 < k < M).
//
// On the Bromwich line every principal branch is the right one, so F needs
// no continuation; the line's factor e^A = 10^(M/3) magnifies rounding, which
// 1.2 M digits absorb; about 0.6 M digits come out.

#include "engine/contours/contour_rules.hpp"

#include <cmath>
#include <vector>

#include "core/precision/precision_rules.hpp"

namespace {

class EulerRule final : public ContourRule {
public:
    std::uint64_t first_nodes(std::uint32_t digits) const override {
        return static_cast<std::uint64_t>(std::ceil(1.7 * digits));
    }
    Bits bits(std::uint64_t m) const override {
        return checked_bits(static_cast<std::uint64_t>(std::ceil(1.2 * m * bits_per_digit)) + 16);
    }
    void nodes(std::uint64_t m, slong prec, ContourNodes& out) const override;
    void point(acb_ptr z, std::uint64_t m, arb_srcptr p, slong prec) const override;
    bool vertical_line() const override { return true; }
    double real_crossing(std::uint64_t m) const override {
        return static_cast<double>(m) * std::log(10.0) / 3.0;
    }
};

// z(p) = A + i pi p, A = M ln(10) / 3
void EulerRule::point(acb_ptr z, std::uint64_t m, arb_srcptr p, slong prec) const {
    arb_log_ui(acb_realref(z), 10, prec);
    arb_mul_ui(acb_realref(z), acb_realref(z), m, prec);
    arb_div_ui(acb_realref(z), acb_realref(z), 3, prec);
    arb_const_pi(acb_imagref(z), prec);
    arb_mul(acb_imagref(z), acb_imagref(z), p, prec);
}

// 2^(M+1) xi_k for k = 0 ... 2M, integers, built from the end: 2^(M+1) xi_2M
// = 2, then each step adds 2 C(M, k).
std::vector<ExactIntegerValue> scaled_xi(std::uint64_t m) {
    std::vector<ExactIntegerValue> xi(2 * m + 1);
    fmpz_one(xi[0].get());
    fmpz_mul_2exp(xi[0].get(), xi[0].get(), m);
    for (std::uint64_t k = 1; k <= m; ++k) {
        fmpz_one(xi[k].get());
        fmpz_mul_2exp(xi[k].get(), xi[k].get(), m + 1);
    }
    fmpz_set_ui(xi[2 * m].get(), 2);
    ExactIntegerValue binomial;
    for (std::uint64_t k = 1; k < m; ++k) {
        fmpz_bin_uiui(binomial.get(), m, k);
        fmpz_mul_2exp(binomial.get(), binomial.get(), 1);
        fmpz_add(xi[2 * m - k].get(), xi[2 * m - k + 1].get(), binomial.get());
    }
    return xi;
}

void EulerRule::nodes(std::uint64_t m, slong prec, ContourNodes& out) const {
    const std::vector<ExactIntegerValue> xi = scaled_xi(m);
    // 10^(M/3) / 2^(M+1), the rule's factor, the 1/t left to the caller
    ArbValue scale, third;
    arb_set_ui(scale.get(), 10);
    arb_set_ui(third.get(), m);
    arb_div_ui(third.get(), third.get(), 3, prec);
    arb_pow(scale.get(), scale.get(), third.get(), prec);
    arb_mul_2exp_si(scale.get(), scale.get(), -static_cast<slong>(m + 1));
    for (std::uint64_t k = 0; k <= 2 * m; ++k) {
        ArbValue p;
        arb_set_ui(p.get(), k);
        AcbValue z, weight;
        point(z.get(), m, p.get(), prec);
        // weight = eta_k 10^(M/3) = (-1)^k (2^(M+1) xi_k) scale
        arb_set_fmpz(acb_realref(weight.get()), xi[k].get());
        if (k % 2 == 1) {
            arb_neg(acb_realref(weight.get()), acb_realref(weight.get()));
        }
        arb_mul(acb_realref(weight.get()), acb_realref(weight.get()), scale.get(), prec);
        out.parameter.push_back(std::move(p));
        out.z.push_back(std::move(z));
        out.weight.push_back(std::move(weight));
    }
}

}  // namespace

const ContourRule& euler_rule() {
    static const EulerRule rule;
    return rule;
}
