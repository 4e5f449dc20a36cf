#include "bindings/native/results.hpp"

#include "core/failure/error.hpp"

OwnedRef float_result(double value) {
    OwnedRef result = OwnedRef::steal(PyFloat_FromDouble(value));
    if (!result) {
        api_call_failed();
    }
    return result;
}

OwnedRef list_result(const std::vector<double>& values) {
    OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list) {
        api_call_failed();
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        // SET_ITEM steals the float; a list with a null slot left behind by a
        // failure here is still safe to release.
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), float_result(values[i]).release());
    }
    return list;
}
