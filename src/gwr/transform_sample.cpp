#include "gwr/transform_sample.hpp"

#include "boundary/convert.hpp"
#include "failure/owned_ref.hpp"

Result<double> transform_sample(PyObject* fn_obj, double s) {
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
