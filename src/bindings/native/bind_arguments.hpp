#pragma once
// Binding positional and keyword arguments of a fastcall-with-keywords call to
// the parameters of a function.

#include <Python.h>

#include <array>
#include <cstddef>

#include "core/failure/error.hpp"

constexpr std::size_t max_parameters = 4;

struct Signature {
    const char* full_name;  // "gwr_rust()": the name as messages show it
    std::array<const char*, max_parameters> parameters;
    std::size_t parameter_count;
    std::size_t required_count;  // the first ones are required
};

// One borrowed argument per parameter, null where none was given.
using Slots = std::array<PyObject*, max_parameters>;

Result<Slots> bind_arguments(const Signature& signature, PyObject* const* args,
                             Py_ssize_t nargs, PyObject* kwnames);
