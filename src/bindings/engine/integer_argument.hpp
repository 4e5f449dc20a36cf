#pragma once
// Integer arguments of the _engine functions, read without narrowing.
//
// PyArg_ParseTuple's "I" and "K" formats reduce an integer modulo 2^32 or
// 2^64 without a word, so M = 2^64 + 3 became 3 and workers = 2^32 + 1
// became 1. Every count goes through here instead: any object with
// __index__ (a Python int, a NumPy integer scalar) is read whole, compared
// with its range as the caller wrote it, and refused naming the argument.

#include <Python.h>

#include <cstdint>

#include "core/failure/error.hpp"

// obj (borrowed) as an integer from `lowest` to `highest`. TypeError when it is
// not an integer (bool included), ValueError below `lowest`, OverflowError
// above `highest`; each message starts with `name`.
Result<std::uint64_t> integer_argument(PyObject* obj, const char* name, std::uint64_t lowest,
                                       std::uint64_t highest);

// The same for an optional argument: `absent` when obj is null (not given).
inline Result<std::uint64_t> optional_integer(PyObject* obj, const char* name, std::uint64_t absent,
                                              std::uint64_t lowest, std::uint64_t highest) {
    if (obj == nullptr) {
        return absent;
    }
    return integer_argument(obj, name, lowest, highest);
}
