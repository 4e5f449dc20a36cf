#pragma once
// GWR on the doubles of a Python callable in fixed-size limb arithmetic: the
// term counts of a job from one pass of Gaver sums and one rho table, the
// doubles' rounding from nudged samples that reuse the plain sums. No
// Python header.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/methods/point_result.hpp"

// One worker's state for the points of a job (made per worker, per call).
class DoubleSampleGwr {
public:
    virtual ~DoubleSampleGwr() = default;
    // At t > 0 from row[k-1] = F(k ln2 / t), k = 1 ... width (width >= 2 m
    // for every m of the job): each m's value, its truncation estimate (the
    // spread of its rho estimates) plus rounding_safety times the largest
    // move of nudge_draws nudges of the samples, and of these the m whose
    // total is least, as invert_samples.hpp describes. False, with nothing
    // written, where limbs cannot serve the point: a sample that is not
    // finite or lies near the double range's end, a rho table that became
    // stationary, a value beyond the double range. The MPFR way serves it.
    virtual bool invert(double t, const double* row, std::size_t width, PointResult& best) = 0;
};

// The limb way for the term counts `terms` (any order; the first of equal
// totals wins, as in the MPFR way), or null where their precision is beyond
// the sizes served here.
std::unique_ptr<DoubleSampleGwr> make_double_sample_gwr(const std::vector<std::uint64_t>& terms);
