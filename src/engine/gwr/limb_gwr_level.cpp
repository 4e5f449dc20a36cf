#include "engine/gwr/limb_gwr_level.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include "engine/gwr/exact_gaver_sums.hpp"
#include "engine/gwr/gwr_estimate.hpp"
#include "engine/gwr/limb_gaver_tables.hpp"
#include "core/gwr/gaver_functionals.hpp"
#include "core/gwr/wynn_rho.hpp"
#include "core/limb/limb_bridge.hpp"

namespace {

// A limb_float value as a double, through a working value: rounded once.
template <int N>
double limb_double(const limb_float::Value<N>& v, WorkingValue& scratch) {
    limb_float::export_value(scratch, v);
    return to_double(scratch);
}

template <int N, int M>
class LimbLevel final : public LimbGwrLevel {
public:
    LimbLevel(const GwrLevel& level, const GwrTables& tables)
        : level_(level), tables_(tables), g_(level.bits), r_(level.rho_bits),
          samples_(2 * level.m), functionals_(level.m), rho_(level.m, GwrLimb<M>(level.rho_bits)),
          scratch_(g_), ln2_(level.bits), a_(level.bits), pacer_(level.bits),
          rho_scratch_(level.rho_bits) {
        // ln 2 correctly rounded, once per level, as the MPFR way makes it.
        set_ui(ln2_, 2);
        log(ln2_, ln2_);
    }

    bool invert(double t, ExpressionSampler& sampler, PointResult& result,
                WorkingValue& full) override {
        // a = ln 2 / t, rounded once at the working precision
        div_d(a_, ln2_, t);
        if (!sampler.sample_limbs<N>(a_, samples_, static_cast<slong>(level_.bits))) {
            return false;
        }
        const limb_float::Value<N> a = *limb_float::import_value<N>(a_);
        exact_gaver_functionals(tables_, g_, r_, a, samples_, functionals_, scratch_, pacer_);
        wynn_rho_over(functionals_, rho_, pacer_);
        limb_float::export_value(full, rho_.latest_estimate());
        result.value = to_double(full);
        result.error = gwr_spread_error(rho_, level_.rho_bits, [&](const limb_float::Value<M>& v) {
            return limb_double(v, rho_scratch_);
        });
        if (result.error < std::numeric_limits<double>::min()) {
            result.error_log10 = gwr_spread_error_log10(
                rho_, level_.rho_bits, [&](const limb_float::Value<M>& v, long& e) {
                    limb_float::export_value(rho_scratch_, v);
                    return to_double_2exp(rho_scratch_, e);
                });
        }
        return true;
    }

    bool stationary() const noexcept override { return rho_.stationary; }

private:
    GwrLevel level_;
    LimbGaverTables<N> tables_;
    GwrLimb<N> g_;
    GwrLimb<M> r_;
    std::vector<limb_float::Value<N>> samples_;
    std::vector<limb_float::Value<M>> functionals_;
    RhoTable<GwrLimb<M>> rho_;
    GaverScratchOf<GwrLimb<N>> scratch_;
    WorkingValue ln2_;
    WorkingValue a_;
    InterruptPacer pacer_;
    WorkingValue rho_scratch_;
};

// The rho precision is 1.8 / 2.4 of the sums' (gwr_plan.cpp), so it takes
// the sums' limbs or up to two fewer; the sizes cover precisions up to 512
// bits, 60-odd digits asked for at the first level.
template <int N>
std::unique_ptr<LimbGwrLevel> with_rho_limbs(int rho_limbs, const GwrLevel& level,
                                             const GwrTables& tables) {
    if (rho_limbs == N) {
        return std::make_unique<LimbLevel<N, N>>(level, tables);
    }
    if constexpr (N >= 2) {
        if (rho_limbs == N - 1) {
            return std::make_unique<LimbLevel<N, N - 1>>(level, tables);
        }
    }
    if constexpr (N >= 3) {
        if (rho_limbs == N - 2) {
            return std::make_unique<LimbLevel<N, N - 2>>(level, tables);
        }
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<LimbGwrLevel> make_limb_gwr_level(const GwrLevel& level, const GwrTables& tables) {
    const int rho_limbs = limb_float::limbs_for(level.rho_bits);
    switch (limb_float::limbs_for(level.bits)) {
        case 1: return with_rho_limbs<1>(rho_limbs, level, tables);
        case 2: return with_rho_limbs<2>(rho_limbs, level, tables);
        case 3: return with_rho_limbs<3>(rho_limbs, level, tables);
        case 4: return with_rho_limbs<4>(rho_limbs, level, tables);
        case 5: return with_rho_limbs<5>(rho_limbs, level, tables);
        case 6: return with_rho_limbs<6>(rho_limbs, level, tables);
        case 7: return with_rho_limbs<7>(rho_limbs, level, tables);
        case 8: return with_rho_limbs<8>(rho_limbs, level, tables);
        default: return nullptr;
    }
}
