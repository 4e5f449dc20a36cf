#include "failure/exception_type.hpp"

#include <atomic>
#include <string>

#include "failure/internal_failure.hpp"
#include "failure/owned_ref.hpp"
#include "failure/python_text.hpp"

namespace {

// Process-lifetime: never released, since a static destructor would run after
// the interpreter is gone.
std::atomic<PyObject*> panic_type{nullptr};

constexpr const char* panic_doc =
    "\n"
    "The exception raised when native code called from Python panics.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

// The type, or null with the interpreter's exception pending.
PyObject* make_type() {
    if (PyObject* kept = panic_type.load(std::memory_order_acquire)) {
        return kept;
    }
    OwnedRef base = OwnedRef::borrow(PyExc_BaseException);
    PyObject* made = PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", panic_doc,
                                               base.get(), nullptr);
    if (made == nullptr) {
        return nullptr;
    }
    PyObject* expected = nullptr;
    if (!panic_type.compare_exchange_strong(expected, made, std::memory_order_acq_rel)) {
        Py_DECREF(made);  // lost a race; the first type stays
        return expected;
    }
    return made;
}

}  // namespace

PyObject* panic_exception_type() {
    if (PyObject* type = make_type()) {
        return type;
    }
    OwnedRef cause = OwnedRef::steal(PyErr_GetRaisedException());
    std::string description = cause ? describe_exception(cause.get()) : "no exception was set";
    internal_failure("Failed to initialize new exception type.: " + description);
}

void raise_internal_failure(std::string_view message) noexcept {
    PyObject* type = make_type();
    std::string replacement;
    if (type == nullptr) {
        // Failing to make the type is an internal failure of its own, reported
        // like any other; raising it needs the type once more.
        OwnedRef cause = OwnedRef::steal(PyErr_GetRaisedException());
        replacement = "Failed to initialize new exception type.: " +
                      (cause ? describe_exception(cause.get()) : std::string("no exception was set"));
        report_internal_failure(replacement);
        type = make_type();
        if (type == nullptr) {
            abort_with_report("uncaught panic at ffi boundary");
        }
        message = replacement;
    }
    OwnedRef args = OwnedRef::steal(Py_BuildValue("(s#)", message.data(),
                                                  static_cast<Py_ssize_t>(message.size())));
    // Could the text not be made, its MemoryError is the one exception raised.
    if (args) {
        PyErr_SetObject(type, args.get());
    }
}
