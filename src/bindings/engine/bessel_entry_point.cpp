// The entry point of the public Bessel functions over arrays.

#include <string>
#include <vector>

#include "engine/bessel/bessel_array.hpp"
#include "engine/program/program.hpp"
#include "engine/methods/point_result.hpp"
#include "bindings/engine/double_buffer.hpp"
#include "bindings/engine/entry_points.hpp"
#include "engine/runtime/limits.hpp"
#include "bindings/engine/gil_release.hpp"
#include "bindings/engine/integer_argument.hpp"
#include "bindings/engine/python_lists.hpp"
#include "bindings/engine/supervisor.hpp"
#include "core/failure/call_guard.hpp"

namespace {

Result<OwnedRef> bessel_body(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"kind", "n", "x", "out", "digits", "workers", "text",
                                     "progress", "exact", nullptr};
    const char* kind = nullptr;
    PyObject* n_obj = nullptr;
    PyObject* x_obj = nullptr;
    PyObject* out_obj = nullptr;
    PyObject* digits_obj = nullptr;
    PyObject* workers_obj = nullptr;
    int want_text = 0;
    PyObject* progress = Py_None;
    int exact_only = 0;  // the exact path alone, for the tests of the fast pass
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "sOOO|OOpOp:bessel", const_cast<char**>(keywords),
                                     &kind, &n_obj, &x_obj, &out_obj, &digits_obj, &workers_obj,
                                     &want_text, &progress, &exact_only)) {
        return std::unexpected(fetch_error());
    }
    // 0: the correctly rounded double.
    Result<std::uint64_t> digits = optional_integer(digits_obj, "digits", 0, 0, max_digits);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    Result<std::uint64_t> workers = optional_integer(workers_obj, "workers", 1, 1, max_workers);
    if (!workers) {
        return std::unexpected(std::move(workers.error()));
    }
    const std::string family_name(kind);
    if (family_name != "i" && family_name != "k") {
        return std::unexpected(Error::with_message(PyExc_ValueError, "kind must be 'i' or 'k'"));
    }
    Result<DoubleBuffer> n = DoubleBuffer::acquire(n_obj, "n", false);
    if (!n) {
        return std::unexpected(std::move(n.error()));
    }
    Result<DoubleBuffer> x = DoubleBuffer::acquire(x_obj, "x", false);
    if (!x) {
        return std::unexpected(std::move(x.error()));
    }
    Result<DoubleBuffer> out = DoubleBuffer::acquire(out_obj, "out", true);
    if (!out) {
        return std::unexpected(std::move(out.error()));
    }
    if (n->size() != x->size() || out->size() != x->size()) {
        return std::unexpected(
            Error::with_message(PyExc_ValueError, "n, x and out disagree in size"));
    }
    for (std::size_t i = 0; i < n->size(); ++i) {
        const double order = n->data()[i];
        if (!(order >= 0 && order <= static_cast<double>(max_bessel_order)) ||
            order != static_cast<double>(static_cast<long long>(order))) {
            return std::unexpected(Error::with_message(
                PyExc_ValueError, "orders must be integers from 0 to 1000000"));
        }
    }
    std::atomic<std::size_t> exact_points{0};
    const BesselJob job{family_name == "i" ? BesselFamily::first_kind : BesselFamily::second_kind,
                        n->data(), x->data(), x->size(), static_cast<std::uint32_t>(*digits),
                    static_cast<unsigned>(*workers), exact_only == 0, &exact_points};
    std::vector<std::string> texts(want_text ? x->size() : 0);
    {
        JobControl control;
        GilRelease released;
        Supervisor supervisor(released, control, progress == Py_None ? nullptr : progress);
        ScopedInterruptSource installed(supervisor);
        bessel_array(job, out->data(), want_text ? texts.data() : nullptr,
                     text_digits_for(static_cast<std::uint32_t>(*digits)), control);
    }
    if (!want_text) {
        // How many points the fast pass left to the exact path, for its tests.
        OwnedRef count = OwnedRef::steal(PyLong_FromSize_t(exact_points.load()));
        if (!count) {
            return std::unexpected(fetch_error());
        }
        return count;
    }
    return text_list(texts);
}

}  // namespace

PyObject* bessel_entry(PyObject*, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return bessel_body(args, kwargs); });
}
