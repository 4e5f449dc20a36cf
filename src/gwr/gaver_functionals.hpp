#pragma once
// The Gaver functionals G_1 ... G_m of one time point. No Python header.

#include "gwr/gwr_tables.hpp"
#include "gwr/interrupt_pacer.hpp"
#include "precision/working_value.hpp"

// Scratch values of gaver_functionals, made once per call at the working precision.
struct GaverScratch {
    explicit GaverScratch(Bits bits) : term(bits), sum(bits), scale(bits) {}
    WorkingValue term;
    WorkingValue sum;
    WorkingValue scale;
};

// functionals[n-1] = (a * c_n) * sum_{i=0..n} (-1)^i C(n, i) F_(n+i), n = 1 ... m,
// from samples[k-1] = F_k, k = 1 ... 2m. `functionals` holds m values already.
// May end the call on Ctrl-C.
void gaver_functionals(const GwrTables& tables, const WorkingValue& a, const ValueVector& samples,
                       ValueVector& functionals, GaverScratch& scratch, InterruptPacer& pacer);
