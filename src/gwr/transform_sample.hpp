#pragma once
// One sample of the Laplace-domain function: the callback into Python.

#include <Python.h>

#include "failure/error.hpp"

// F(s) as a double: fn_obj (borrowed) called with one new float s. The
// callback's exception, or that of converting its result, is the error; a
// failure to make the argument ends the call ("Python API call failed").
Result<double> transform_sample(PyObject* fn_obj, double s);
