#include "engine_module/entry_points.hpp"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/invert_expression.hpp"
#include "engine_module/double_buffer.hpp"
#include "engine_module/gil_release.hpp"
#include "engine_module/program_object.hpp"
#include "engine_module/python_lists.hpp"
#include "engine_module/supervisor.hpp"
#include "failure/call_guard.hpp"

namespace {

Error value_error(std::string message) {
    return Error::with_message(PyExc_ValueError, std::move(message));
}

// The method's code from its name, as invlap.invert spells it.
Result<Method> method_named(const char* name) {
    static constexpr std::pair<const char*, Method> names[] = {
        {"gwr", Method::gwr},           {"talbot", Method::talbot},
        {"euler", Method::euler},       {"stehfest", Method::stehfest},
        {"auto", Method::automatic},
    };
    for (const auto& [text, method] : names) {
        if (std::string_view(name) == text) {
            return method;
        }
    }
    return std::unexpected(value_error(std::string("unknown method '") + name + "'"));
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
    const char* method = "gwr";
};

Result<OwnedRef> invert_expression_body(PyObject* module, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"program", "t", "parameters", "values", "errors", "digits",
                                     "m", "workers", "text", "progress", "method", nullptr};
    InvertArguments a;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOOO|IKIpOs:invert_expression",
                                     const_cast<char**>(keywords), &a.program, &a.t,
                                     &a.parameters, &a.values, &a.errors, &a.digits, &a.m,
                                     &a.workers, &a.want_text, &a.progress, &a.method)) {
        return std::unexpected(fetch_error());
    }
    Result<Method> method = method_named(a.method);
    if (!method) {
        return std::unexpected(std::move(method.error()));
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
    std::string methods(count, '\0');
    const InvertRequest request{**program, *method, a.digits, a.m, a.workers};
    const PointInputs inputs{t->data(), parameters->data(), count};
    const PointOutputs outputs{values->data(), errors->data(),
                               reinterpret_cast<std::uint8_t*>(methods.data()),
                               a.want_text ? texts.data() : nullptr, text_digits_for(a.digits)};
    PyObject* progress = a.progress == Py_None ? nullptr : a.progress;
    {
        JobControl control;
        GilRelease released;
        Supervisor supervisor(released, control, progress);
        ScopedInterruptSource installed(supervisor);
        invert_expression(request, inputs, outputs, control);
    }
    // (methods, texts or None): one method code per point as bytes.
    OwnedRef codes = OwnedRef::steal(
        PyBytes_FromStringAndSize(methods.data(), static_cast<Py_ssize_t>(methods.size())));
    if (!codes) {
        return std::unexpected(fetch_error());
    }
    OwnedRef texts_out = OwnedRef::borrow(Py_None);
    if (a.want_text) {
        Result<OwnedRef> list = text_list(texts);
        if (!list) {
            return std::unexpected(std::move(list.error()));
        }
        texts_out = std::move(*list);
    }
    OwnedRef pair = OwnedRef::steal(PyTuple_Pack(2, codes.get(), texts_out.get()));
    if (!pair) {
        return std::unexpected(fetch_error());
    }
    return pair;
}

}  // namespace

PyObject* invert_expression_entry(PyObject* module, PyObject* args, PyObject* kwargs) {
    return call_guard([&] { return invert_expression_body(module, args, kwargs); });
}
