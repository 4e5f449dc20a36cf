#pragma once
// The contour rules' node sets, made once per process and shared: they
// depend on the rule, the node count and the precision only, not on F or t,
// and at hundreds of digits making them (a sine, a cosine and an exponential
// per node) costs more than a time point's samples. No Python header.

#include <memory>

#include "engine/contours/contour_rules.hpp"

// The m nodes of `rule` at `prec` bits with exact midpoints (their balls'
// radii dropped: F is sampled at exactly known s). Thread-safe.
std::shared_ptr<const ContourNodes> shared_contour_nodes(const ContourRule& rule, std::uint64_t m,
                                                         slong prec);
