#pragma once
// f(t) at one time point: 2m samples of F, the Gaver functionals, the rho limit.
// No Python header.

#include <cstdint>

#include "core/gwr/gaver_functionals.hpp"
#include "core/gwr/gwr_tables.hpp"
#include "core/gwr/interrupt_pacer.hpp"
#include "core/gwr/transform_sampler.hpp"
#include "core/gwr/wynn_rho.hpp"
#include "core/precision/working_value.hpp"

// Every value one time point needs, made once per call (for m >= 1) and
// reused for each time: a value made and cleared per operation would cost
// two allocations each, more than the arithmetic at ordinary precisions.
struct GwrWorkspace {
    // Samples are held at `sample_bits`, the functionals and the rho table at
    // `rho_bits` (rounded once, as each functional is made), everything else
    // at `bits`.
    GwrWorkspace(std::uint64_t m, Bits bits, Bits sample_bits, Bits rho_bits);
    WorkingValue ln2;        // ln 2 at the working precision
    WorkingValue a;          // ln 2 / t
    ValueVector samples;     // element k-1: F_k, k = 1 ... 2m
    ValueVector functionals; // element n-1: G_n, n = 1 ... m
    GaverScratch gaver;
    RhoWorkspace rho;
    InterruptPacer pacer;
};

// The GWR estimates of f(t), left in work.rho (latest_estimate() and the
// ones before it). Returns false, with nothing computed, when the sampler
// ended the call.
bool gwr_invert_at(const GwrTables& tables, TransformSampler& sampler, double t,
                   GwrWorkspace& work);
