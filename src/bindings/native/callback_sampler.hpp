#pragma once
// The samples of gwr_rust: F(k a) from the caller's Python callable, in doubles.

#include <Python.h>

#include <optional>

#include "core/failure/error.hpp"
#include "core/gwr/transform_sampler.hpp"

// Calls fn_obj (borrowed) with k a rounded to a double, for k = 1 ... 2m in
// increasing order, and sets each sample from the double it returns. The
// first exception (from the callable or from converting its result) stops it
// and is kept for the caller.
class CallbackSampler final : public TransformSampler {
public:
    CallbackSampler(PyObject* fn_obj, Bits bits) : fn_obj_(fn_obj), bits_(bits) {}
    bool sample(const WorkingValue& a, ValueVector& samples) override;

    // The exception that stopped the sampling, once.
    Error take_failure() && { return std::move(*failure_); }

private:
    PyObject* fn_obj_;
    Bits bits_;
    // k a at the working precision, before it is rounded to a double. Made at
    // the first sample, after the GWR core's memory check has passed.
    std::optional<WorkingValue> point_;
    std::optional<Error> failure_;
};
