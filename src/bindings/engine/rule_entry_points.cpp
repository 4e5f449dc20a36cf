// The engine's rules as invlap's Python side reads them: the methods, the
// expression language's functions, the tolerance test, the f(0+) rule and the
// digits of a value's text. Python
// keeps no copy of its own, so a rule changed here changes for both.

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "engine/program/function_table.hpp"
#include "engine/methods/limit_rule.hpp"
#include "engine/runtime/limits.hpp"
#include "engine/methods/method_registry.hpp"
#include "engine/methods/point_result.hpp"
#include "engine/methods/tolerance.hpp"
#include "bindings/engine/double_buffer.hpp"
#include "bindings/engine/entry_points.hpp"
#include "bindings/engine/integer_argument.hpp"
#include "core/failure/call_guard.hpp"

namespace {

Result<std::uint32_t> digits_of(PyObject* obj) {
    Result<std::uint64_t> digits = integer_argument(obj, "digits", 1, max_digits);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    return static_cast<std::uint32_t>(*digits);
}

Result<OwnedRef> tolerance_met_body(PyObject* args) {
    double value = 0;
    double error = 0;
    PyObject* digits_obj = nullptr;
    double error_log10 = std::numeric_limits<double>::quiet_NaN();
    if (!PyArg_ParseTuple(args, "ddO|d:tolerance_met", &value, &error, &digits_obj,
                          &error_log10)) {
        return std::unexpected(fetch_error());
    }
    Result<std::uint32_t> digits = digits_of(digits_obj);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    return OwnedRef::borrow(Tolerance(*digits).met(value, error, error_log10) ? Py_True
                                                                               : Py_False);
}

Result<OwnedRef> tolerance_missed_body(PyObject* args) {
    PyObject* values_obj = nullptr;
    PyObject* errors_obj = nullptr;
    PyObject* digits_obj = nullptr;
    PyObject* carried_obj = nullptr;
    if (!PyArg_ParseTuple(args, "OOO|O:tolerance_missed", &values_obj, &errors_obj, &digits_obj,
                          &carried_obj)) {
        return std::unexpected(fetch_error());
    }
    Result<std::uint32_t> digits = digits_of(digits_obj);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    Result<DoubleBuffer> values = DoubleBuffer::acquire(values_obj, "values", false);
    if (!values) {
        return std::unexpected(std::move(values.error()));
    }
    Result<DoubleBuffer> errors = DoubleBuffer::acquire(errors_obj, "errors", false);
    if (!errors) {
        return std::unexpected(std::move(errors.error()));
    }
    // Optional: the carried log10 of each estimate (NaN where there is none).
    std::optional<DoubleBuffer> carried;
    if (carried_obj != nullptr && carried_obj != Py_None) {
        Result<DoubleBuffer> acquired = DoubleBuffer::acquire(carried_obj, "error_log10", false);
        if (!acquired) {
            return std::unexpected(std::move(acquired.error()));
        }
        carried.emplace(std::move(*acquired));
    }
    if (values->size() != errors->size() || (carried && carried->size() != values->size())) {
        return std::unexpected(
            Error::with_message(PyExc_ValueError, "values and errors disagree in size"));
    }
    const Tolerance tolerance(*digits);
    const double none = std::numeric_limits<double>::quiet_NaN();
    std::size_t missed = 0;
    for (std::size_t i = 0; i < values->size(); ++i) {
        const double logarithm = carried ? carried->data()[i] : none;
        missed += tolerance.met(values->data()[i], errors->data()[i], logarithm) ? 0 : 1;
    }
    return OwnedRef::steal(PyLong_FromSize_t(missed));
}

Result<OwnedRef> limit_kind_body(PyObject* args) {
    PyObject* magnitudes_obj = nullptr;
    double spread = 0;
    int same_sign = 0;
    PyObject* digits_obj = nullptr;
    if (!PyArg_ParseTuple(args, "OdpO:limit_kind", &magnitudes_obj, &spread, &same_sign,
                          &digits_obj)) {
        return std::unexpected(fetch_error());
    }
    Result<std::uint32_t> digits = digits_of(digits_obj);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    Result<DoubleBuffer> magnitudes = DoubleBuffer::acquire(magnitudes_obj, "magnitudes", false);
    if (!magnitudes) {
        return std::unexpected(std::move(magnitudes.error()));
    }
    if (magnitudes->size() < 2) {
        return std::unexpected(
            Error::with_message(PyExc_ValueError, "the limit needs two magnitudes at least"));
    }
    static constexpr std::array<const char*, 3> names{"settled", "unbounded", "unsettled"};
    const LimitKind kind = classify_limit({magnitudes->data(), magnitudes->size()}, spread,
                                          same_sign != 0, *digits);
    return OwnedRef::steal(PyUnicode_FromString(names[static_cast<std::size_t>(kind)]));
}

}  // namespace

PyObject* tolerance_met_entry(PyObject*, PyObject* args) {
    return call_guard([&] { return tolerance_met_body(args); });
}

PyObject* tolerance_missed_entry(PyObject*, PyObject* args) {
    return call_guard([&] { return tolerance_missed_body(args); });
}

PyObject* limit_kind_entry(PyObject*, PyObject* args) {
    return call_guard([&] { return limit_kind_body(args); });
}

namespace {

// FUNCTIONS: (name, SymPy's name, whether it takes an order) per row of the
// function table, in its order.
int add_function_table(PyObject* module) {
    const auto functions = function_table();
    OwnedRef table = OwnedRef::steal(PyTuple_New(static_cast<Py_ssize_t>(functions.size())));
    if (!table) {
        return -1;
    }
    for (std::size_t i = 0; i < functions.size(); ++i) {
        const FunctionEntry& f = functions[i];
        PyObject* row = Py_BuildValue("(s#s#O)", f.name.data(),
                                      static_cast<Py_ssize_t>(f.name.size()), f.sympy.data(),
                                      static_cast<Py_ssize_t>(f.sympy.size()),
                                      f.order ? Py_True : Py_False);
        if (row == nullptr) {
            return -1;
        }
        PyTuple_SET_ITEM(table.get(), static_cast<Py_ssize_t>(i), row);  // steals row
    }
    return PyModule_AddObjectRef(module, "FUNCTIONS", table.get());
}

}  // namespace

int add_rule_constants(PyObject* module) {
    if (add_function_table(module) < 0) {
        return -1;
    }
    const auto methods = method_registry();
    OwnedRef table = OwnedRef::steal(PyTuple_New(static_cast<Py_ssize_t>(methods.size())));
    if (!table) {
        return -1;
    }
    for (std::size_t code = 0; code < methods.size(); ++code) {
        const MethodEntry& entry = methods[code];
        PyObject* row = Py_BuildValue(
            "(s#sOO)", entry.name.data(), static_cast<Py_ssize_t>(entry.name.size()),
            entry.samples == Samples::real ? "real" : "complex",
            entry.make != nullptr ? Py_True : Py_False, entry.callables ? Py_True : Py_False);
        if (row == nullptr) {
            return -1;
        }
        PyTuple_SET_ITEM(table.get(), static_cast<Py_ssize_t>(code), row);  // steals row
    }
    if (PyModule_AddObjectRef(module, "METHODS", table.get()) < 0) {
        return -1;
    }
    return PyModule_AddIntConstant(module, "TEXT_EXTRA_DIGITS",
                                   static_cast<long>(text_digits_for(0)));
}
