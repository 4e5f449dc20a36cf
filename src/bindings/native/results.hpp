#pragma once
// Machine results to new Python objects.

#include <vector>

#include "core/failure/owned_ref.hpp"

OwnedRef float_result(double value);
OwnedRef list_result(const std::vector<double>& values);
