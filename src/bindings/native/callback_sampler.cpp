#include "bindings/native/callback_sampler.hpp"

#include "bindings/native/convert.hpp"
#include "core/failure/owned_ref.hpp"

namespace {

// F(s) as a double: fn_obj (borrowed) called with one new float s. The
// callback's exception, or that of converting its result, is the error; a
// failure to make the argument ends the call ("Python API call failed").
Result<double> call_transform(PyObject* fn_obj, double s) {
    OwnedRef point = OwnedRef::steal(PyFloat_FromDouble(s));
    if (!point) {
        api_call_failed();
    }
    // A fresh tuple per call: fn_obj may keep its arguments, so none is shared.
    OwnedRef arguments = OwnedRef::steal(PyTuple_New(1));
    if (!arguments) {
        api_call_failed();
    }
    PyTuple_SET_ITEM(arguments.get(), 0, point.release());  // the tuple owns the float now
    OwnedRef returned = OwnedRef::steal(PyObject_Call(fn_obj, arguments.get(), nullptr));
    arguments = OwnedRef();
    if (!returned) {
        return std::unexpected(fetch_error());
    }
    // The callback's own result: a TypeError here is not about an argument,
    // so it passes on as it is, without naming one.
    Result<double> value = convert_float(returned.get());
    returned = OwnedRef();
    return value;
}

}  // namespace

bool CallbackSampler::sample(const WorkingValue& a, ValueVector& samples) {
    if (!point_) {
        point_.emplace(bits_);
    }
    for (std::size_t k = 1; k <= samples.size(); ++k) {
        mul_ui(*point_, a, k);
        Result<double> value = call_transform(fn_obj_, to_double(*point_));
        if (!value) {
            failure_.emplace(std::move(value.error()));
            return false;
        }
        set_d(samples[k - 1], *value);
    }
    return true;
}
