// The entry points for samples that a Python callable produced: the doubles
// of plain and vectorized callables, and the exact values of callables that
// work in mpmath.

#include <string>
#include <vector>

#include "engine/gwr_plan.hpp"
#include "engine/invert_samples.hpp"
#include "engine_module/double_buffer.hpp"
#include "engine_module/entry_points.hpp"
#include "engine_module/gil_release.hpp"
#include "engine_module/supervisor.hpp"
#include "failure/call_guard.hpp"
#include "precision/working_value.hpp"

namespace {

Error value_error(std::string message) {
    return Error::with_message(PyExc_ValueError, std::move(message));
}

Result<std::vector<std::uint64_t>> term_counts(PyObject* obj, std::size_t width) {
    OwnedRef items = OwnedRef::steal(PySequence_Fast(obj, "terms must be a sequence"));
    if (!items) {
        return std::unexpected(fetch_error());
    }
    std::vector<std::uint64_t> terms;
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(items.get()); ++i) {
        unsigned long long m = PyLong_AsUnsignedLongLong(PySequence_Fast_GET_ITEM(items.get(), i));
        if (m == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
            return std::unexpected(fetch_error());
        }
        if (m < 1 || 2 * m > width) {
            return std::unexpected(value_error("every m must have 1 <= 2 m <= the samples per point"));
        }
        terms.push_back(m);
    }
    if (terms.empty()) {
        return std::unexpected(value_error("terms must not be empty"));
    }
    return terms;
}

Result<OwnedRef> invert_double_samples_body(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"t", "samples", "terms", "values", "errors", "workers",
                                     "progress", nullptr};
    PyObject* t_obj = nullptr;
    PyObject* samples_obj = nullptr;
    PyObject* terms_obj = nullptr;
    PyObject* values_obj = nullptr;
    PyObject* errors_obj = nullptr;
    unsigned int workers = 1;
    PyObject* progress = Py_None;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOOO|IO:invert_double_samples",
                                     const_cast<char**>(keywords), &t_obj, &samples_obj,
                                     &terms_obj, &values_obj, &errors_obj, &workers, &progress)) {
        return std::unexpected(fetch_error());
    }
    Result<DoubleBuffer> t = DoubleBuffer::acquire(t_obj, "t", false);
    if (!t) {
        return std::unexpected(std::move(t.error()));
    }
    Result<DoubleBuffer> samples = DoubleBuffer::acquire(samples_obj, "samples", false);
    if (!samples) {
        return std::unexpected(std::move(samples.error()));
    }
    Result<DoubleBuffer> values = DoubleBuffer::acquire(values_obj, "values", true);
    if (!values) {
        return std::unexpected(std::move(values.error()));
    }
    Result<DoubleBuffer> errors = DoubleBuffer::acquire(errors_obj, "errors", true);
    if (!errors) {
        return std::unexpected(std::move(errors.error()));
    }
    const std::size_t count = t->size();
    if (count == 0 || samples->size() % count != 0 || values->size() != count ||
        errors->size() != count || workers < 1) {
        return std::unexpected(value_error("t, samples, values and errors disagree in size"));
    }
    const std::size_t width = samples->size() / count;
    Result<std::vector<std::uint64_t>> terms = term_counts(terms_obj, width);
    if (!terms) {
        return std::unexpected(std::move(terms.error()));
    }
    const DoubleSampleJob job{t->data(), samples->data(), count, width, std::move(*terms), workers};
    const PointOutputs outputs{values->data(), errors->data(), nullptr, nullptr, 0};
    {
        JobControl control;
        GilRelease released;
        Supervisor supervisor(released, control, progress == Py_None ? nullptr : progress);
        ScopedInterruptSource installed(supervisor);
        invert_double_samples(job, outputs, control);
    }
    return OwnedRef::borrow(Py_None);
}

// One exact sample: a float, or (hexadecimal integer text, exponent) meaning
// integer * 2^exponent, as mpmath holds its numbers.
Result<bool> set_sample(WorkingValue& v, PyObject* item) {
    if (PyFloat_Check(item)) {
        set_d(v, PyFloat_AS_DOUBLE(item));
        return true;
    }
    const char* hex = nullptr;
    long exponent = 0;
    if (!PyArg_ParseTuple(item, "sl;each sample must be a float or (str, int)", &hex, &exponent)) {
        return std::unexpected(fetch_error());
    }
    if (!set_scaled_hex(v, hex, exponent)) {
        return std::unexpected(value_error("a sample's mantissa must be a hexadecimal integer"));
    }
    return true;
}

Result<OwnedRef> invert_value_samples_body(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"t", "samples", "m", "bits", "digits", nullptr};
    double t = 0;
    PyObject* samples_obj = nullptr;
    unsigned long long m = 0;
    unsigned int bits = 0;
    unsigned int digits = 0;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "dOKII:invert_value_samples",
                                     const_cast<char**>(keywords), &t, &samples_obj, &m, &bits,
                                     &digits)) {
        return std::unexpected(fetch_error());
    }
    OwnedRef items = OwnedRef::steal(PySequence_Fast(samples_obj, "samples must be a sequence"));
    if (!items) {
        return std::unexpected(fetch_error());
    }
    if (m < 1 || bits < 2 || static_cast<unsigned long long>(PySequence_Fast_GET_SIZE(items.get())) != 2 * m) {
        return std::unexpected(value_error("there must be 2 m samples, m >= 1, bits >= 2"));
    }
    ValueVector samples;
    samples.reserve(2 * m);
    for (std::size_t k = 0; k < 2 * m; ++k) {
        samples.emplace_back(bits);
        Result<bool> set = set_sample(samples.back(), PySequence_Fast_GET_ITEM(items.get(), static_cast<Py_ssize_t>(k)));
        if (!set) {
            return std::unexpected(std::move(set.error()));
        }
    }
    std::string text;
    const PointResult result = invert_value_samples(t, samples, m, bits, &text, text_digits_for(digits));
    OwnedRef out = OwnedRef::steal(Py_BuildValue("(dds#)", result.value, result.error, text.data(),
                                                 static_cast<Py_ssize_t>(text.size())));
    if (!out) {
        return std::unexpected(fetch_error());
    }
    return out;
}

Result<OwnedRef> gwr_levels_body(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"digits", "m", nullptr};
    unsigned int digits = 0;
    unsigned long long m = 0;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "I|K:gwr_levels", const_cast<char**>(keywords),
                                     &digits, &m)) {
        return std::unexpected(fetch_error());
    }
    const std::vector<GwrLevel> levels = gwr_levels(digits, m);
    OwnedRef list = OwnedRef::steal(PyList_New(0));
    if (!list) {
        return std::unexpected(fetch_error());
    }
    for (const GwrLevel& level : levels) {
        OwnedRef pair = OwnedRef::steal(Py_BuildValue("(KI)", static_cast<unsigned long long>(level.m),
                                                      static_cast<unsigned int>(level.bits)));
        if (!pair || PyList_Append(list.get(), pair.get()) < 0) {
            return std::unexpected(fetch_error());
        }
    }
    return list;
}

}  // namespace

PyObject* invert_double_samples_entry(PyObject*, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return invert_double_samples_body(args, kwargs); });
}

PyObject* invert_value_samples_entry(PyObject*, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return invert_value_samples_body(args, kwargs); });
}

PyObject* gwr_levels_entry(PyObject*, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return gwr_levels_body(args, kwargs); });
}
