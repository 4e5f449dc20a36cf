#pragma once
// One GWR level of an expression in fixed-size limb arithmetic: the same
// rho algorithm as the MPFR way (src/core/gwr, written once over both), and
// its Gaver sums each rounded once from an exact sum (exact_gaver_sums.hpp),
// without MPFR's per-operation overhead. No Python header.

#include <memory>

#include "engine/evaluate/expression_sampler.hpp"
#include "engine/gwr/gwr_plan.hpp"
#include "engine/methods/point_result.hpp"

class LimbGwrLevel {
public:
    virtual ~LimbGwrLevel() = default;
    // f(t) and its error estimate into `result`; the full estimate into
    // `full` (a value of the rho precision). False when a sample is not
    // finite: NaN and infinity take the MPFR way.
    virtual bool invert(double t, ExpressionSampler& sampler, PointResult& result,
                        WorkingValue& full) = 0;
    // Whether the last invert's rho table became stationary.
    virtual bool stationary() const noexcept = 0;
};

// The level in limbs, or null when its precisions are beyond the limb sizes;
// `program` is F's (borrowed: it outlives the level).
std::unique_ptr<LimbGwrLevel> make_limb_gwr_level(const GwrLevel& level, const GwrTables& tables,
                                                  const Program& program);
