#pragma once
// The exception type of internal failures, pyo3_runtime.PanicException.

#include <Python.h>

#include <string_view>

// Borrowed: the type, made on first need and kept until the process ends.
// Ends the call with an internal failure if it cannot be made.
PyObject* panic_exception_type();

// Raises an internal failure's message as PanicException(message). Aborts the
// process, after a failure report, if the type itself cannot be made.
void raise_internal_failure(std::string_view message) noexcept;
