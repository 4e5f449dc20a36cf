#pragma once
// What the _engine module keeps per module object.

#include <Python.h>

struct ModuleState {
    PyObject* program_type;  // strong reference to the Program type
};

inline ModuleState* module_state(PyObject* module) {
    return static_cast<ModuleState*>(PyModule_GetState(module));
}
