#pragma once
// The module's functions: names, entry points and docstrings, in registration order.

#include <Python.h>

#include <array>

struct FunctionEntry {
    const char* name;
    PyCFunctionFastWithKeywords entry;
    const char* docstring;  // begins with the text signature
};

extern const std::array<FunctionEntry, 3> function_table;
