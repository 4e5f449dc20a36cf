#pragma once
// The fastcall-with-keywords entry points of the three functions.

#include <Python.h>

PyObject* gwr_entry(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* besseli_entry(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames);
PyObject* besselk_entry(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames);
