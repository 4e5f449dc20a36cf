#pragma once
// Python lists made from the engine's results.

#include <string>
#include <vector>

#include "core/failure/error.hpp"

// A new list of str, one per text.
Result<OwnedRef> text_list(const std::vector<std::string>& texts);
