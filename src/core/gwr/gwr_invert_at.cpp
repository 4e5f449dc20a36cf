// One time point of the Gaver-Wynn-Rho method (Valko & Abate 2004):
// a = ln 2 / t; the sampler provides F at k a for k = 1 ... 2m; G_1 ... G_m
// follow from the shared tables and the rho algorithm accelerates them.
// Nothing is reused across times, since the points depend on t. t is not
// checked: t = +-0 gives infinite points and a NaN t NaN points, and
// whatever F makes of them goes through the same arithmetic.

#include "core/gwr/gwr_invert_at.hpp"

GwrWorkspace::GwrWorkspace(std::uint64_t m, Bits bits, Bits sample_bits, Bits rho_bits)
    : ln2(bits), a(bits), gaver(GwrMpfr(bits)), rho(m, GwrMpfr(rho_bits)), pacer(bits) {
    samples.reserve(2 * m);
    for (std::uint64_t k = 0; k < 2 * m; ++k) {
        samples.emplace_back(sample_bits);
    }
    functionals.reserve(m);
    for (std::uint64_t n = 0; n < m; ++n) {
        functionals.emplace_back(rho_bits);
    }
    // ln 2 = log(2), correctly rounded at these bits. Made once per call: the
    // logarithm of the same exact 2 at the same precision is the same value
    // for every time point, and at ordinary precisions it costs as much as a
    // good part of a whole time point.
    set_ui(ln2, 2);
    log(ln2, ln2);
}

bool gwr_invert_at(const GwrTables& tables, TransformSampler& sampler, double t,
                   GwrWorkspace& work) {
    // a = ln 2 / t
    div_d(work.a, work.ln2, t);
    if (!sampler.sample(work.a, work.samples)) {
        return false;
    }
    gaver_functionals(tables, work.a, work.samples, work.functionals, work.gaver, work.pacer);
    wynn_rho_limit(work.functionals, work.rho, work.pacer);
    return true;
}
