#include "bindings/native/convert.hpp"

#include <algorithm>
#include <string>

#include "core/failure/python_text.hpp"

namespace {

constexpr long long u32_max = 4294967295LL;
constexpr std::uint64_t u64_all_bits = 18446744073709551615ULL;
constexpr Py_ssize_t max_trusted_length = Py_ssize_t{1} << 20;

Error overflow_error() {
    return Error::with_message(PyExc_OverflowError, "out of range integral type conversion attempted");
}

// str() of the conversion's exception; if even that fails, the failure is
// reported as unraisable and a placeholder naming the type stands in.
std::string exception_text(const Error& error) {
    if (error.exception() == nullptr) {
        return error.message();
    }
    std::string text;
    if (str_of(error.exception(), text)) {
        return text;
    }
    PyErr_WriteUnraisable(error.exception());
    OwnedRef name = OwnedRef::steal(PyType_GetName(Py_TYPE(error.exception())));
    if (!name) {
        PyErr_Clear();
        return "<unprintable object>";
    }
    return "<unprintable " + lossy_utf8(name.get()) + " object>";
}

}  // namespace

Result<double> convert_float(PyObject* obj) {
    if (PyFloat_CheckExact(obj)) {
        return PyFloat_AS_DOUBLE(obj);
    }
    double value = PyFloat_AsDouble(obj);
    // -1.0 is also an ordinary value; only a pending exception makes it a failure.
    if (value == -1.0) {
        if (std::optional<Error> e = fetch_error_if_pending()) {
            return std::unexpected(std::move(*e));
        }
    }
    return value;
}

Result<std::uint32_t> convert_u32(PyObject* obj) {
    long value = PyLong_AsLong(obj);
    if (value == -1) {
        if (std::optional<Error> e = fetch_error_if_pending()) {
            return std::unexpected(std::move(*e));
        }
    }
    if (value < 0 || value > u32_max) {
        return std::unexpected(overflow_error());
    }
    return static_cast<std::uint32_t>(value);
}

Result<std::uint64_t> convert_u64(PyObject* obj) {
    unsigned long long value = 0;
    if (PyLong_Check(obj)) {
        value = PyLong_AsUnsignedLongLong(obj);
    } else {
        OwnedRef index = OwnedRef::steal(PyNumber_Index(obj));
        if (!index) {
            return std::unexpected(fetch_error());
        }
        value = PyLong_AsUnsignedLongLong(index.get());
    }
    if (value == u64_all_bits) {
        if (std::optional<Error> e = fetch_error_if_pending()) {
            return std::unexpected(std::move(*e));
        }
    }
    return value;
}

Result<std::vector<double>> convert_float_sequence(PyObject* obj) {
    if (PyUnicode_Check(obj)) {
        return std::unexpected(Error::with_message(PyExc_TypeError, "Can't extract `str` to `Vec`"));
    }
    if (PySequence_Check(obj) == 0) {
        return std::unexpected(
            Error::with_message(PyExc_TypeError, conversion_message(obj, "Sequence")));
    }
    Py_ssize_t reported = PySequence_Size(obj);
    if (reported < 0) {
        // The length only sizes the vector; iteration alone decides the items.
        fetch_error();
        reported = 0;
    }
    // A __len__ may claim any size; trust it only as far as a sensible first
    // allocation, and let iteration grow the vector past that.
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(std::min<Py_ssize_t>(reported, max_trusted_length)));
    OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(obj));
    if (!iterator) {
        return std::unexpected(fetch_error());
    }
    while (OwnedRef item = OwnedRef::steal(PyIter_Next(iterator.get()))) {
        Result<double> value = convert_float(item.get());
        if (!value) {
            return std::unexpected(std::move(value.error()));
        }
        values.push_back(*value);
    }
    if (std::optional<Error> e = fetch_error_if_pending()) {
        return std::unexpected(std::move(*e));
    }
    return values;
}

Error argument_error(const char* name, Error error) {
    if (error.type() != PyExc_TypeError) {
        return error;
    }
    std::string message = "argument '" + std::string(name) + "': " + exception_text(error);
    OwnedRef text = OwnedRef::steal(
        PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (!text) {
        return fetch_error();
    }
    OwnedRef reworded = OwnedRef::steal(PyObject_CallOneArg(PyExc_TypeError, text.get()));
    if (!reworded) {
        return fetch_error();
    }
    // SetCause steals the cause (a new reference, or null for none) and also
    // sets __suppress_context__.
    PyException_SetCause(reworded.get(),
                         error.exception() ? PyException_GetCause(error.exception()) : nullptr);
    return Error::from_exception(std::move(reworded));
}
