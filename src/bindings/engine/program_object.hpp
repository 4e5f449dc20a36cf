#pragma once
// Program: the Python object that holds a checked, compiled expression for
// the engine. Made from the plain data of invlap's expression compiler.

#include <Python.h>

#include "engine/program/program.hpp"
#include "core/failure/error.hpp"

// The slots and flags the Program type is made from, once per module (a heap
// type, so that every sub-interpreter gets its own).
extern PyType_Spec program_type_spec;

// The program inside `obj` (borrowed; lives as long as obj), or a TypeError
// when obj is not one of this module's programs.
Result<const Program*> program_of(PyObject* module, PyObject* obj);
