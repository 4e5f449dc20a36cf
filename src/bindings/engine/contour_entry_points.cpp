// The entry point for the sums of a contour shared by a window of times
// (the hyperbola of a callable's complex doubles).

#include <optional>
#include <vector>

#include "engine/contours/shared_contour_sum.hpp"
#include "engine/runtime/limits.hpp"
#include "bindings/engine/double_buffer.hpp"
#include "bindings/engine/entry_points.hpp"
#include "bindings/engine/gil_release.hpp"
#include "bindings/engine/integer_argument.hpp"
#include "bindings/engine/supervisor.hpp"
#include "core/failure/call_guard.hpp"

namespace {

Result<OwnedRef> shared_contour_sums_body(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"t", "nodes", "weights", "values", "magnitudes", "workers",
                                     "turns", nullptr};
    PyObject* objects[5] = {};
    PyObject* workers_obj = nullptr;
    PyObject* turns_obj = Py_None;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOOO|OO:shared_contour_sums",
                                     const_cast<char**>(keywords), &objects[0], &objects[1],
                                     &objects[2], &objects[3], &objects[4], &workers_obj,
                                     &turns_obj)) {
        return std::unexpected(fetch_error());
    }
    Result<std::uint64_t> workers = optional_integer(workers_obj, "workers", 1, 1, max_workers);
    if (!workers) {
        return std::unexpected(std::move(workers.error()));
    }
    // t, nodes and weights read; values and magnitudes written.
    std::vector<DoubleBuffer> buffers;
    for (int i = 0; i < 5; ++i) {
        Result<DoubleBuffer> buffer = DoubleBuffer::acquire(objects[i], keywords[i], i >= 3);
        if (!buffer) {
            return std::unexpected(std::move(buffer.error()));
        }
        buffers.push_back(std::move(*buffer));
    }
    // turns, written where given.
    std::optional<DoubleBuffer> turns;
    if (turns_obj != Py_None) {
        Result<DoubleBuffer> buffer = DoubleBuffer::acquire(turns_obj, "turns", true);
        if (!buffer) {
            return std::unexpected(std::move(buffer.error()));
        }
        turns.emplace(std::move(*buffer));
    }
    const std::size_t count = buffers[0].size();
    const std::size_t pairs = buffers[1].size();
    if (pairs % 2 != 0 || buffers[2].size() != pairs || buffers[3].size() != count ||
        buffers[4].size() != count || (turns && turns->size() != count)) {
        return std::unexpected(Error::with_message(
            PyExc_ValueError,
            "nodes and weights must be (re, im) pairs of one size, values, magnitudes "
            "and turns one per t"));
    }
    const SharedContourJob job{buffers[0].data(), count,     buffers[1].data(),
                               buffers[2].data(), pairs / 2, static_cast<unsigned>(*workers)};
    {
        JobControl control;
        GilRelease released;
        Supervisor supervisor(released, control, nullptr);
        ScopedInterruptSource installed(supervisor);
        shared_contour_sums(job, buffers[3].data(), buffers[4].data(),
                            turns ? turns->data() : nullptr, control);
    }
    return OwnedRef::borrow(Py_None);
}

}  // namespace

PyObject* shared_contour_sums_entry(PyObject*, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return shared_contour_sums_body(args, kwargs); });
}
