#pragma once
// Conversions of Python arguments to machine values, with the interpreter's own
// exceptions, and the rewording that names the argument.

#include <Python.h>

#include <cstdint>
#include <vector>

#include "core/failure/error.hpp"

// Exact floats are read directly; anything else through its float conversion.
Result<double> convert_float(PyObject* obj);
// An integer in 0 ... 4294967295.
Result<std::uint32_t> convert_u32(PyObject* obj);
// An integer in 0 ... 2^64 - 1.
Result<std::uint64_t> convert_u64(PyObject* obj);
// Any sequence but a str, item by item through convert_float.
Result<std::vector<double>> convert_float_sequence(PyObject* obj);

// A conversion failure of parameter `name`: an exact TypeError becomes
// "argument '<name>': <message>" keeping its cause; anything else is unchanged.
Error argument_error(const char* name, Error error);
