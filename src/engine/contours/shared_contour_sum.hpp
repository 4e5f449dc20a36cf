#pragma once
// The sums of a contour shared by many times: f(t) ~ Im sum_k w_k e^(z_k t)
// for every t of a window, with the nodes z_k and the weights w_k (F at the
// node times the contour's derivative) the same for all. No Python header.
//
// A window of a thousand times over a hundred nodes is a hundred thousand
// complex exponentials: the whole cost of a cheap vectorized F's inversion.
// Two things cut it. Terms that cannot matter are left out: where the nodes'
// real parts fall (as along a hyperbola opening to the left), the tail of a
// late time's sum is bounded by its first left-out term and stopped there.
// And the times are spread over threads.

#include <cstddef>

#include "engine/runtime/worker_pool.hpp"

struct SharedContourJob {
    const double* t;        // count times
    std::size_t count;
    const double* nodes;    // size complex nodes z_k as (re, im) pairs
    const double* weights;  // size complex weights w_k as (re, im) pairs
    std::size_t size;
    unsigned workers;
};

// value[i] = sum_k Im(w_k e^(z_k t_i)) and magnitude[i] = sum_k |w_k| e^(Re z_k t_i),
// each to within a part in 2^80 of the magnitude of the terms left out; and,
// where `turns` is not null, turns[i] = sum_k |w_k| |z_k t_i| e^(Re z_k t_i): the
// product z_k t_i rounds by a part in 2^53 of itself, and each term's
// exponential moves by that much of the term (up to six rounding units at
// the end of a decade window, where the magnitude alone allows three).
void shared_contour_sums(const SharedContourJob& job, double* value, double* magnitude,
                         double* turns, JobControl& control);
