// The entry points for samples that a Python callable produced: the doubles
// of plain and vectorized callables, and the exact values of callables that
// work in mpmath.

#include <string>
#include <vector>

#include "engine/gwr/gwr_plan.hpp"
#include "engine/runtime/invert_samples.hpp"
#include "engine/runtime/limits.hpp"
#include "bindings/engine/double_buffer.hpp"
#include "bindings/engine/entry_points.hpp"
#include "bindings/engine/gil_release.hpp"
#include "bindings/engine/integer_argument.hpp"
#include "bindings/engine/supervisor.hpp"
#include "core/failure/call_guard.hpp"
#include "core/precision/precision_rules.hpp"
#include "core/precision/working_value.hpp"

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
        Result<std::uint64_t> m =
            integer_argument(PySequence_Fast_GET_ITEM(items.get(), i), "m", 1, width / 2);
        if (!m) {
            return std::unexpected(std::move(m.error()));
        }
        terms.push_back(*m);
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
    PyObject* workers_obj = nullptr;
    PyObject* progress = Py_None;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOOO|OO:invert_double_samples",
                                     const_cast<char**>(keywords), &t_obj, &samples_obj,
                                     &terms_obj, &values_obj, &errors_obj, &workers_obj, &progress)) {
        return std::unexpected(fetch_error());
    }
    Result<std::uint64_t> workers = optional_integer(workers_obj, "workers", 1, 1, max_workers);
    if (!workers) {
        return std::unexpected(std::move(workers.error()));
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
        errors->size() != count) {
        return std::unexpected(value_error("t, samples, values and errors disagree in size"));
    }
    const std::size_t width = samples->size() / count;
    Result<std::vector<std::uint64_t>> terms = term_counts(terms_obj, width);
    if (!terms) {
        return std::unexpected(std::move(terms.error()));
    }
    const DoubleSampleJob job{t->data(), samples->data(), count, width, std::move(*terms),
                              static_cast<unsigned>(*workers)};
    const PointOutputs outputs{values->data(), errors->data(), nullptr, nullptr, 0, nullptr};
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

// m Gaver terms and the working bits of a GWR over given samples, each
// checked whole against its range.
struct TermsAndBits {
    std::uint64_t m;
    Bits bits;
};

Result<TermsAndBits> terms_and_bits(PyObject* m_obj, PyObject* bits_obj) {
    Result<std::uint64_t> m = integer_argument(m_obj, "m", 1, max_terms());
    if (!m) {
        return std::unexpected(std::move(m.error()));
    }
    Result<std::uint64_t> bits = integer_argument(bits_obj, "bits", 2, max_precision_bits);
    if (!bits) {
        return std::unexpected(std::move(bits.error()));
    }
    return TermsAndBits{*m, static_cast<Bits>(*bits)};
}

Result<OwnedRef> invert_value_samples_body(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"t", "samples", "m", "bits", "digits", nullptr};
    double t = 0;
    PyObject* samples_obj = nullptr;
    PyObject* m_obj = nullptr;
    PyObject* bits_obj = nullptr;
    PyObject* digits_obj = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "dOOOO:invert_value_samples",
                                     const_cast<char**>(keywords), &t, &samples_obj, &m_obj,
                                     &bits_obj, &digits_obj)) {
        return std::unexpected(fetch_error());
    }
    Result<TermsAndBits> sizes = terms_and_bits(m_obj, bits_obj);
    if (!sizes) {
        return std::unexpected(std::move(sizes.error()));
    }
    Result<std::uint64_t> digits = integer_argument(digits_obj, "digits", 1, max_digits);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    OwnedRef items = OwnedRef::steal(PySequence_Fast(samples_obj, "samples must be a sequence"));
    if (!items) {
        return std::unexpected(fetch_error());
    }
    if (static_cast<std::uint64_t>(PySequence_Fast_GET_SIZE(items.get())) != 2 * sizes->m) {
        return std::unexpected(value_error("there must be 2 m samples"));
    }
    // Checked again here, now that the samples are known: the caller's check
    // before sampling may have been skipped.
    require_value_samples_memory(sizes->m, sizes->bits);
    ValueVector samples;
    samples.reserve(2 * sizes->m);
    for (std::size_t k = 0; k < 2 * sizes->m; ++k) {
        samples.emplace_back(sizes->bits);
        Result<bool> set = set_sample(samples.back(), PySequence_Fast_GET_ITEM(items.get(), static_cast<Py_ssize_t>(k)));
        if (!set) {
            return std::unexpected(std::move(set.error()));
        }
    }
    std::string text;
    const PointResult result =
        invert_value_samples(t, samples, sizes->m, sizes->bits, &text,
                             text_digits_for(static_cast<std::uint32_t>(*digits)));
    // (value, error, text, log10 of the error where the double cannot hold it or NaN)
    OwnedRef out = OwnedRef::steal(Py_BuildValue("(dds#d)", result.value, result.error, text.data(),
                                                 static_cast<Py_ssize_t>(text.size()),
                                                 carried_error_log10(result)));
    if (!out) {
        return std::unexpected(fetch_error());
    }
    return out;
}

Result<OwnedRef> require_value_samples_memory_body(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"m", "bits", nullptr};
    PyObject* m_obj = nullptr;
    PyObject* bits_obj = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO:require_value_samples_memory",
                                     const_cast<char**>(keywords), &m_obj, &bits_obj)) {
        return std::unexpected(fetch_error());
    }
    Result<TermsAndBits> sizes = terms_and_bits(m_obj, bits_obj);
    if (!sizes) {
        return std::unexpected(std::move(sizes.error()));
    }
    require_value_samples_memory(sizes->m, sizes->bits);
    return OwnedRef::borrow(Py_None);
}

Result<OwnedRef> gwr_levels_body(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"digits", "m", nullptr};
    PyObject* digits_obj = nullptr;
    PyObject* m_obj = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|O:gwr_levels", const_cast<char**>(keywords),
                                     &digits_obj, &m_obj)) {
        return std::unexpected(fetch_error());
    }
    Result<std::uint64_t> digits = integer_argument(digits_obj, "digits", 1, max_digits);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    Result<std::uint64_t> m = optional_integer(m_obj, "m", 0, 0, max_terms());
    if (!m) {
        return std::unexpected(std::move(m.error()));
    }
    const std::vector<GwrLevel> levels = gwr_levels(static_cast<std::uint32_t>(*digits), *m);
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

PyObject* require_value_samples_memory_entry(PyObject*, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return require_value_samples_memory_body(args, kwargs); });
}

PyObject* gwr_levels_entry(PyObject*, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return gwr_levels_body(args, kwargs); });
}
