// One time point of the Gaver-Wynn-Rho method (Valko & Abate 2004):
// a = ln 2 / t; F is sampled at k a for k = 1 ... 2m, each point rounded to
// a double for the callback and each value entering the arithmetic as the
// double it returned; G_1 ... G_m follow from the shared tables and the rho
// algorithm accelerates them. Every time point costs exactly 2m callbacks,
// in increasing k, and nothing is reused across times since the points depend on t.
// t is not checked: t = +-0 gives infinite points and a NaN t NaN points,
// and whatever F makes of them goes through the same arithmetic.

#include "gwr/gwr_invert_at.hpp"

#include "gwr/transform_sample.hpp"

namespace {

// F_k = y (set_d) must equal the double y rounded to the working precision P.
// From 53 bits on that is y itself, which a 53-bit value holds exactly, and
// every operation that reads F_k rounds a function of its exact value, so the
// narrower value gives the same bits. From 128 bits on it is also cheaper: the
// products C(n, i) * F_k multiply 1 limb by P/64 instead of P/64 by P/64.
// Below 128 bits MPFR's fast paths need equal precisions, so F_k keeps P bits.
Bits sample_bits(Bits bits) { return bits >= 128 ? 53 : bits; }

}  // namespace

GwrWorkspace::GwrWorkspace(std::uint64_t m, Bits bits)
    : ln2(bits), a(bits), point(bits), gaver(bits), rho(m, bits), pacer(bits) {
    samples.reserve(2 * m);
    for (std::uint64_t k = 0; k < 2 * m; ++k) {
        samples.emplace_back(sample_bits(bits));
    }
    functionals.reserve(m);
    for (std::uint64_t n = 0; n < m; ++n) {
        functionals.emplace_back(bits);
    }
    // ln 2 = log(2), correctly rounded at these bits. Made once per call: the
    // logarithm of the same exact 2 at the same precision is the same value for
    // every time point, and it costs about 1.3 us at 67 bits, a quarter of a
    // whole time point at m = 8.
    set_ui(ln2, 2);
    log(ln2, ln2);
}

Result<double> gwr_invert_at(const GwrTables& tables, PyObject* fn_obj, double t,
                             GwrWorkspace& work) {
    // a = ln 2 / t
    div_d(work.a, work.ln2, t);
    for (std::uint64_t k = 1; k <= work.samples.size(); ++k) {
        mul_ui(work.point, work.a, k);
        Result<double> value = transform_sample(fn_obj, to_double(work.point));
        if (!value) {
            return std::unexpected(std::move(value.error()));
        }
        set_d(work.samples[k - 1], *value);
    }
    gaver_functionals(tables, work.a, work.samples, work.functionals, work.gaver, work.pacer);
    return to_double(wynn_rho_limit(work.functionals, work.rho, work.pacer));
}
