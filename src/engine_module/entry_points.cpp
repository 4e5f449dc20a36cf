#include "engine_module/entry_points.hpp"

#include <string>
#include <vector>

#include "engine/invert_expression.hpp"
#include "engine_module/double_buffer.hpp"
#include "engine_module/gil_release.hpp"
#include "engine_module/program_object.hpp"
#include "engine_module/supervisor.hpp"
#include "failure/call_guard.hpp"

namespace {

Error value_error(std::string message) {
    return Error::with_message(PyExc_ValueError, std::move(message));
}

// The decimal texts as a new list of str.
Result<OwnedRef> text_list(const std::vector<std::string>& texts) {
    OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(texts.size())));
    if (!list) {
        return std::unexpected(fetch_error());
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        PyObject* text =
            PyUnicode_FromStringAndSize(texts[i].data(), static_cast<Py_ssize_t>(texts[i].size()));
        if (text == nullptr) {
            return std::unexpected(fetch_error());
        }
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), text);
    }
    return list;
}

struct InvertArguments {
    PyObject* program = nullptr;
    PyObject* t = nullptr;
    PyObject* parameters = nullptr;
    PyObject* values = nullptr;
    PyObject* errors = nullptr;
    unsigned int digits = 15;
    unsigned long long m = 0;
    unsigned int workers = 1;
    int want_text = 0;
    PyObject* progress = Py_None;
};

Result<OwnedRef> invert_expression_body(PyObject* module, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"program", "t", "parameters", "values", "errors", "digits",
                                     "m", "workers", "text", "progress", nullptr};
    InvertArguments a;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOOO|IKIpO:invert_expression",
                                     const_cast<char**>(keywords), &a.program, &a.t,
                                     &a.parameters, &a.values, &a.errors, &a.digits, &a.m,
                                     &a.workers, &a.want_text, &a.progress)) {
        return std::unexpected(fetch_error());
    }
    Result<const Program*> program = program_of(module, a.program);
    if (!program) {
        return std::unexpected(std::move(program.error()));
    }
    Result<DoubleBuffer> t = DoubleBuffer::acquire(a.t, "t", false);
    if (!t) {
        return std::unexpected(std::move(t.error()));
    }
    Result<DoubleBuffer> parameters = DoubleBuffer::acquire(a.parameters, "parameters", false);
    if (!parameters) {
        return std::unexpected(std::move(parameters.error()));
    }
    Result<DoubleBuffer> values = DoubleBuffer::acquire(a.values, "values", true);
    if (!values) {
        return std::unexpected(std::move(values.error()));
    }
    Result<DoubleBuffer> errors = DoubleBuffer::acquire(a.errors, "errors", true);
    if (!errors) {
        return std::unexpected(std::move(errors.error()));
    }
    const std::size_t count = t->size();
    if (values->size() != count || errors->size() != count ||
        parameters->size() != count * (*program)->parameter_count()) {
        return std::unexpected(value_error("t, parameters, values and errors disagree in size"));
    }
    if (a.digits < 1 || a.workers < 1) {
        return std::unexpected(value_error("digits and workers must be at least 1"));
    }
    std::vector<std::string> texts(a.want_text ? count : 0);
    const InvertRequest request{**program, a.digits, a.m, a.workers};
    const PointInputs inputs{t->data(), parameters->data(), count};
    const PointOutputs outputs{values->data(), errors->data(),
                               a.want_text ? texts.data() : nullptr, text_digits_for(a.digits)};
    PyObject* progress = a.progress == Py_None ? nullptr : a.progress;
    {
        JobControl control;
        GilRelease released;
        Supervisor supervisor(released, control, progress);
        ScopedInterruptSource installed(supervisor);
        invert_expression(request, inputs, outputs, control);
    }
    if (!a.want_text) {
        return OwnedRef::borrow(Py_None);
    }
    return text_list(texts);
}

}  // namespace

PyObject* invert_expression_entry(PyObject* module, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return invert_expression_body(module, args, kwargs); });
}
