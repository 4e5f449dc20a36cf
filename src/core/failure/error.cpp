#include "core/failure/error.hpp"

#include <cstdio>

#include "core/failure/exception_type.hpp"
#include "core/failure/internal_failure.hpp"
#include "core/failure/python_text.hpp"

Error Error::from_exception(OwnedRef exception) noexcept {
    Error e;
    e.exception_ = std::move(exception);
    return e;
}

Error Error::with_message(PyObject* type, std::string message) noexcept {
    Error e;
    e.type_ = type;
    e.message_ = std::move(message);
    return e;
}

PyObject* Error::type() const noexcept {
    return exception_ ? reinterpret_cast<PyObject*>(Py_TYPE(exception_.get())) : type_;
}

void Error::raise() && noexcept {
    if (exception_) {
        PyErr_SetRaisedException(exception_.release());
        return;
    }
    OwnedRef text = OwnedRef::steal(
        PyUnicode_FromStringAndSize(message_.data(), static_cast<Py_ssize_t>(message_.size())));
    if (text) {
        PyErr_SetObject(type_, text.get());
    }
}

namespace {

// A failure of native code is coming back through Python code (a nested call
// of this module failed inside fn_obj): resume it rather than pass it on.
[[noreturn]] void resume_panic(OwnedRef exc) {
    std::string message;
    OwnedRef text = OwnedRef::steal(PyObject_Str(exc.get()));
    if (text) {
        message = lossy_utf8(text.get());
    } else {
        PyErr_Clear();
        message = "Unwrapped panic from Python code";
    }
    std::fputs("invlap: resuming an internal failure after fetching a PanicException from Python\n"
               "Python stack trace below:\n",
               stderr);
    std::fflush(stderr);
    PyErr_SetRaisedException(exc.release());
    PyErr_PrintEx(0);
    resume_internal_failure(std::move(message));
}

std::optional<Error> take_pending() {
    OwnedRef exc = OwnedRef::steal(PyErr_GetRaisedException());
    if (!exc) {
        return std::nullopt;
    }
    if (reinterpret_cast<PyObject*>(Py_TYPE(exc.get())) == panic_exception_type()) {
        resume_panic(std::move(exc));
    }
    return Error::from_exception(std::move(exc));
}

}  // namespace

Error fetch_error() {
    if (std::optional<Error> e = take_pending()) {
        return std::move(*e);
    }
    return Error::with_message(PyExc_SystemError, "attempted to fetch exception but none was set");
}

std::optional<Error> fetch_error_if_pending() {
    return take_pending();
}

void api_call_failed() {
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) {
        // Printing a traceback needs the memory that just ran out: CPython
        // 3.13's printer then recurses through its own unraisable-error hook
        // until the stack overflows. Name the exception without allocating.
        PyErr_Clear();
        std::fputs("MemoryError\n", stderr);
    } else {
        PyErr_Print();
    }
    internal_failure("Python API call failed");
}
