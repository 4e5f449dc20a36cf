#pragma once
// The Gaver-Wynn-Rho inverse Laplace transform of a Python callable.

#include <Python.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "failure/error.hpp"

// f(t) for each t of `times`, in order. fn_obj (borrowed) is called 2m times per
// time; its first exception ends the call and is returned as the error.
// digits: the caller's decimal digits, or none for the default from m.
Result<std::vector<double>> gwr_rust(PyObject* fn_obj, const std::vector<double>& times,
                                     std::uint64_t m, std::optional<std::uint32_t> digits);
