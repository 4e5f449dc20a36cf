// PyInit__native: the module's only exported symbol. Single-phase initialisation
// that refuses any interpreter but the first, and hands out one cached module
// object for the life of the process.

#include <Python.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/failure/call_guard.hpp"
#include "core/runtime/once_cell.hpp"
#include "core/failure/python_text.hpp"
#include "bindings/native/function_table.hpp"

namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_native",
    "",  // an empty __doc__, not None
    0,
    nullptr,  // functions are added after creation, bound to the module
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

constexpr int api_version = 1013;

// The module keeps per-process state in plain statics, so a second interpreter
// would share objects across interpreters; it is refused instead.
constexpr const char* subinterpreter_message =
    "PyO3 modules do not yet support subinterpreters, see "
    "https://github.com/PyO3/pyo3/issues/576";

// The interpreter claimed by the first import, never given back.
std::atomic<std::int64_t> recorded_interpreter{-1};
OnceCell module_cache;
OnceCell all_name;
OnceCell dunder_name;

// Borrowed: the interned string `text`, made on first use.
PyObject* interned(OnceCell& cell, const char* text) {
    PyObject* string = cell.get_or_make([text] {
        PyObject* made =
            PyUnicode_FromStringAndSize(text, static_cast<Py_ssize_t>(std::strlen(text)));
        if (made != nullptr) {
            PyUnicode_InternInPlace(&made);
        }
        return made;
    });
    if (string == nullptr) {
        api_call_failed();
    }
    return string;
}

// New reference: the module's __all__ list, made empty if it is missing.
Result<OwnedRef> all_list(PyObject* module) {
    PyObject* key = interned(all_name, "__all__");
    OwnedRef all = OwnedRef::steal(PyObject_GetAttr(module, key));
    if (!all) {
        Error error = fetch_error();
        if (!PyErr_GivenExceptionMatches(error.type(), PyExc_AttributeError)) {
            return std::unexpected(std::move(error));
        }
        all = OwnedRef::steal(PyList_New(0));
        if (!all) {
            api_call_failed();
        }
        if (PyObject_SetAttr(module, key, all.get()) < 0) {
            return std::unexpected(fetch_error());
        }
    }
    if (!PyList_Check(all.get())) {
        return std::unexpected(
            Error::with_message(PyExc_TypeError, conversion_message(all.get(), "PyList")));
    }
    return all;
}

// Adds one function, bound to the module, as an attribute and to __all__.
Result<bool> register_function(PyObject* module, const FunctionEntry& entry) {
    OwnedRef module_name = OwnedRef::steal(PyModule_GetNameObject(module));
    if (!module_name) {
        return std::unexpected(fetch_error());
    }
    // The function object refers to its method record for as long as it lives,
    // which may be the whole process: the record is never freed once in use.
    auto record = std::make_unique<PyMethodDef>(PyMethodDef{
        entry.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry.entry)),
        METH_FASTCALL | METH_KEYWORDS, entry.docstring});
    OwnedRef function =
        OwnedRef::steal(PyCMethod_New(record.get(), module, module_name.get(), nullptr));
    if (!function) {
        return std::unexpected(fetch_error());
    }
    static_cast<void>(record.release());

    OwnedRef name = OwnedRef::steal(PyObject_GetAttr(function.get(), interned(dunder_name, "__name__")));
    if (!name) {
        return std::unexpected(fetch_error());
    }
    if (!PyUnicode_Check(name.get())) {
        return std::unexpected(
            Error::with_message(PyExc_TypeError, conversion_message(name.get(), "PyString")));
    }
    Result<OwnedRef> all = all_list(module);
    if (!all) {
        return std::unexpected(std::move(all.error()));
    }
    if (PyList_Append(all->get(), name.get()) < 0) {
        internal_failure("could not append __name__ to __all__: " + describe_pending_exception());
    }
    if (PyObject_SetAttr(module, name.get(), function.get()) < 0) {
        return std::unexpected(fetch_error());
    }
    return true;
}

Result<OwnedRef> initialise() {
    std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) {
        return std::unexpected(fetch_error());
    }
    // Claimed on every call, before the cache is looked at, and never given back.
    std::int64_t recorded = -1;
    if (!recorded_interpreter.compare_exchange_strong(recorded, id) && recorded != id) {
        return std::unexpected(Error::with_message(PyExc_ImportError, subinterpreter_message));
    }
    if (PyObject* cached = module_cache.get()) {
        return OwnedRef::borrow(cached);
    }
    OwnedRef module = OwnedRef::steal(PyModule_Create2(&module_definition, api_version));
    if (!module) {
        return std::unexpected(fetch_error());
    }
    for (const FunctionEntry& entry : function_table) {
        Result<bool> registered = register_function(module.get(), entry);
        if (!registered) {
            return std::unexpected(std::move(registered.error()));  // the cache stays empty
        }
    }
    return OwnedRef::borrow(module_cache.install(std::move(module)));
}

}  // namespace

extern "C" PyMODINIT_FUNC PyInit__native() {
    return call_guard(initialise);
}
