#include "core/failure/exception_type.hpp"

#include <string>

#include "core/failure/internal_failure.hpp"
#include "core/runtime/once_cell.hpp"
#include "core/failure/owned_ref.hpp"
#include "core/failure/python_text.hpp"

namespace {

OnceCell panic_type;

constexpr const char* panic_doc =
    "\n"
    "The exception raised when native code called from Python panics.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

// Borrowed: the type, or null with the interpreter's exception pending.
PyObject* make_type() {
    return panic_type.get_or_make([] {
        OwnedRef base = OwnedRef::borrow(PyExc_BaseException);
        return PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", panic_doc, base.get(),
                                         nullptr);
    });
}

// Why the type could not be made, from the exception pending (taken).
std::string type_failure_message() {
    return "Failed to initialize new exception type.: " + describe_pending_exception();
}

}  // namespace

PyObject* panic_exception_type() {
    if (PyObject* type = make_type()) {
        return type;
    }
    internal_failure(type_failure_message());
}

void raise_internal_failure(std::string_view message) noexcept {
    PyObject* type = make_type();
    std::string replacement;
    if (type == nullptr) {
        // Failing to make the type is an internal failure of its own, reported
        // like any other; raising it needs the type once more.
        replacement = type_failure_message();
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
