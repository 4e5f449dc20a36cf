#pragma once
// The functions of the _engine module: argument handling, buffers, the
// interpreter lock, and one Python exception per failure.

#include <Python.h>

PyObject* invert_expression_entry(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* invert_double_samples_entry(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* invert_value_samples_entry(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* require_value_samples_memory_entry(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* shared_contour_sums_entry(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* gwr_levels_entry(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* bessel_entry(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* tolerance_met_entry(PyObject* module, PyObject* args);
PyObject* tolerance_missed_entry(PyObject* module, PyObject* args);
PyObject* limit_kind_entry(PyObject* module, PyObject* args);

// METHODS (the registry: name, samples, whether expressions and callables
// may ask for it by name; a method's code is its index), FUNCTIONS (the
// expression language's functions) and TEXT_EXTRA_DIGITS.
int add_rule_constants(PyObject* module);
