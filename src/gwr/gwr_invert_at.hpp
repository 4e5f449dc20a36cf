#pragma once
// f(t) at one time point: 2m samples of F, the Gaver functionals, the rho limit.

#include <Python.h>

#include <cstdint>

#include "failure/error.hpp"
#include "gwr/gaver_functionals.hpp"
#include "gwr/gwr_tables.hpp"
#include "gwr/interrupt_pacer.hpp"
#include "gwr/wynn_rho.hpp"
#include "precision/working_value.hpp"

// Every value one time point needs, made once per call (for m >= 1) and
// reused for each time: a value made and cleared per operation would cost
// two allocations each, more than the arithmetic at ordinary precisions.
struct GwrWorkspace {
    GwrWorkspace(std::uint64_t m, Bits bits);
    WorkingValue ln2;        // ln 2 at the working precision
    WorkingValue a;          // ln 2 / t
    WorkingValue point;      // k * a, before it is rounded to a double
    ValueVector samples;     // element k-1: F_k, k = 1 ... 2m
    ValueVector functionals; // element n-1: G_n, n = 1 ... m
    GaverScratch gaver;
    RhoWorkspace rho;
    InterruptPacer pacer;
};

// The GWR estimate of f(t) rounded to a double, or the error of the first
// failing callback (no further call is made then).
Result<double> gwr_invert_at(const GwrTables& tables, PyObject* fn_obj, double t,
                             GwrWorkspace& work);
