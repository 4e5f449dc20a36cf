#pragma once
// The inversion of a compiled expression at many points, spread over
// threads. No Python header.

#include <cstddef>
#include <cstdint>

#include "engine/methods/point_result.hpp"
#include "engine/methods/method_registry.hpp"
#include "engine/methods/point_solver.hpp"
#include "engine/program/program.hpp"
#include "engine/runtime/worker_pool.hpp"

struct InvertRequest {
    const Program& program;
    const MethodEntry& method;  // one whose make is not null
    std::uint32_t digits;  // the tolerance: 10^-digits relative
    std::uint64_t m;       // the method's M (Gaver terms, nodes), or 0 to choose it
    unsigned workers;
};

// Point i: t[i] >= 0 (finite; t = 0 takes the initial-value theorem) and the
// parameters parameters[i * P ... i * P + P - 1] for the program's P.
struct PointInputs {
    const double* t;
    const double* parameters;
    std::size_t count;
};

// Fills the outputs of every point. Ends with MemoryError before anything is
// allocated when the job cannot fit, and with the supervisor's exception
// when it cancels the job.
void invert_expression(const InvertRequest& request, const PointInputs& inputs,
                       const PointOutputs& outputs, JobControl& control);
