#include "engine/gwr/limb_gwr_level.hpp"

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "engine/gwr/exact_gaver_sums.hpp"
#include "engine/gwr/gwr_estimate.hpp"
#include "engine/gwr/limb_gaver_tables.hpp"
#include "core/gwr/gaver_functionals.hpp"
#include "core/gwr/wynn_rho.hpp"
#include "core/limb/limb_bridge.hpp"

namespace {

// The guard bits the limbs must leave over a level's precision for its
// rational samples to be made in limbs: k a is then exact, and the bounds of
// a few operations stay below the level's last place.
constexpr std::uint64_t rational_guard_bits = 16;

// A limb_float value as a double, through a working value: rounded once.
template <int N>
double limb_double(const limb_float::Value<N>& v, WorkingValue& scratch) {
    limb_float::export_value(scratch, v);
    return to_double(scratch);
}

template <int N, int M>
class LimbLevel final : public LimbGwrLevel {
public:
    LimbLevel(const GwrLevel& level, const GwrTables& tables, const Program& program)
        : level_(level), tables_(tables), g_(level.bits), r_(level.rho_bits),
          samples_(2 * level.m), functionals_(level.m), rho_(level.m, GwrLimb<M>(level.rho_bits)),
          scratch_(g_), ln2_(level.bits), a_(level.bits), pacer_(level.bits),
          rho_scratch_(level.rho_bits) {
        // ln 2 correctly rounded, once per level, as the MPFR way makes it.
        set_ui(ln2_, 2);
        log(ln2_, ln2_);
        // A rational F is sampled in limbs where the limbs leave 16 guard
        // bits over the level's precision (limb_rational_evaluator.hpp).
        if (64 * N >= level.bits + rational_guard_bits && limb_rational::supports(program)) {
            rational_.emplace(program, level.bits);
        }
    }

    bool invert(double t, ExpressionSampler& sampler, PointResult& result,
                WorkingValue& full) override {
        // a = ln 2 / t, rounded once at the working precision
        div_d(a_, ln2_, t);
        const std::optional<limb_float::Value<N>> imported = limb_float::import_value<N>(a_);
        if (!imported) {
            return false;  // a beyond the limbs' exponents: the MPFR way
        }
        const limb_float::Value<N>& a = *imported;
        if (!sampler.sample_limbs<N>(a_, samples_, static_cast<slong>(level_.bits),
                                     rational_ ? &*rational_ : nullptr, &a)) {
            return false;
        }
        exact_gaver_functionals(tables_, g_, r_, a, samples_, functionals_, scratch_, pacer_);
        wynn_rho_over(functionals_, rho_, pacer_);
        limb_float::export_value(full, rho_.latest_estimate());
        result.value = to_double(full);
        result.error = gwr_spread_error(rho_, level_.rho_bits, level_.later,
                                        [&](const limb_float::Value<M>& v) {
                                            return limb_double(v, rho_scratch_);
                                        });
        if (result.error < std::numeric_limits<double>::min()) {
            result.error_log10 = gwr_spread_error_log10(
                rho_, level_.rho_bits, level_.later, [&](const limb_float::Value<M>& v, long& e) {
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
    std::optional<LimbRationalEvaluator<N>> rational_;
};


// The rho precision is 1.8 / 2.4 of the sums' (gwr_plan.cpp), so it takes
// the sums' limbs or up to two fewer; the sizes cover precisions up to 512
// bits, 60-odd digits asked for at the first level.
template <int N>
std::unique_ptr<LimbGwrLevel> with_rho_limbs(int rho_limbs, const GwrLevel& level,
                                             const GwrTables& tables, const Program& program) {
    if (rho_limbs == N) {
        return std::make_unique<LimbLevel<N, N>>(level, tables, program);
    }
    if constexpr (N >= 2) {
        if (rho_limbs == N - 1) {
            return std::make_unique<LimbLevel<N, N - 1>>(level, tables, program);
        }
    }
    if constexpr (N >= 3) {
        if (rho_limbs == N - 2) {
            return std::make_unique<LimbLevel<N, N - 2>>(level, tables, program);
        }
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<LimbGwrLevel> make_limb_gwr_level(const GwrLevel& level, const GwrTables& tables,
                                                  const Program& program) {
    const int rho_limbs = limb_float::limbs_for(level.rho_bits);
    switch (limb_float::limbs_for(level.bits)) {
        case 1: return with_rho_limbs<1>(rho_limbs, level, tables, program);
        case 2: return with_rho_limbs<2>(rho_limbs, level, tables, program);
        case 3: return with_rho_limbs<3>(rho_limbs, level, tables, program);
        case 4: return with_rho_limbs<4>(rho_limbs, level, tables, program);
        case 5: return with_rho_limbs<5>(rho_limbs, level, tables, program);
        case 6: return with_rho_limbs<6>(rho_limbs, level, tables, program);
        case 7: return with_rho_limbs<7>(rho_limbs, level, tables, program);
        case 8: return with_rho_limbs<8>(rho_limbs, level, tables, program);
        default: return nullptr;
    }
}
