#include "bindings/engine/entry_points.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/gwr/gwr_plan.hpp"
#include "engine/runtime/invert_expression.hpp"
#include "engine/runtime/limits.hpp"
#include "bindings/engine/double_buffer.hpp"
#include "bindings/engine/gil_release.hpp"
#include "bindings/engine/integer_argument.hpp"
#include "bindings/engine/program_object.hpp"
#include "bindings/engine/python_lists.hpp"
#include "bindings/engine/supervisor.hpp"
#include "core/failure/call_guard.hpp"

namespace {

Error value_error(std::string message) {
    return Error::with_message(PyExc_ValueError, std::move(message));
}

// The method an expression may ask for by name, as invlap.invert spells it.
Result<const MethodEntry*> method_named(const char* name) {
    const MethodEntry* entry = find_method(name);
    if (entry == nullptr || entry->make == nullptr) {
        return std::unexpected(value_error(std::string("unknown method '") + name + "'"));
    }
    return entry;
}

struct InvertArguments {
    PyObject* program = nullptr;
    PyObject* t = nullptr;
    PyObject* parameters = nullptr;
    PyObject* values = nullptr;
    PyObject* errors = nullptr;
    PyObject* digits = nullptr;
    PyObject* m = nullptr;
    PyObject* workers = nullptr;
    int want_text = 0;
    PyObject* progress = Py_None;
    const char* method = "gwr";
    PyObject* error_log10 = Py_None;
};

Result<OwnedRef> invert_expression_body(PyObject* module, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"program", "t", "parameters", "values", "errors", "digits",
                                     "m", "workers", "text", "progress", "method",
                                     "error_log10", nullptr};
    InvertArguments a;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOOO|OOOpOsO:invert_expression",
                                     const_cast<char**>(keywords), &a.program, &a.t,
                                     &a.parameters, &a.values, &a.errors, &a.digits, &a.m,
                                     &a.workers, &a.want_text, &a.progress, &a.method,
                                     &a.error_log10)) {
        return std::unexpected(fetch_error());
    }
    Result<std::uint64_t> digits = optional_integer(a.digits, "digits", 15, 1, max_digits);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    // 0: the method chooses its size from the digits.
    Result<std::uint64_t> m = optional_integer(a.m, "m", 0, 0, max_terms());
    if (!m) {
        return std::unexpected(std::move(m.error()));
    }
    Result<std::uint64_t> workers = optional_integer(a.workers, "workers", 1, 1, max_workers);
    if (!workers) {
        return std::unexpected(std::move(workers.error()));
    }
    Result<const MethodEntry*> method = method_named(a.method);
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
    // Optional: log10 of the estimates that fall below the double range.
    std::optional<DoubleBuffer> error_log10;
    if (a.error_log10 != Py_None) {
        Result<DoubleBuffer> acquired = DoubleBuffer::acquire(a.error_log10, "error_log10", true);
        if (!acquired) {
            return std::unexpected(std::move(acquired.error()));
        }
        error_log10.emplace(std::move(*acquired));
    }
    const std::size_t count = t->size();
    if ((error_log10 && error_log10->size() != count) ||
        values->size() != count || errors->size() != count ||
        parameters->size() != count * (*program)->parameter_count()) {
        return std::unexpected(value_error("t, parameters, values and errors disagree in size"));
    }
    std::vector<std::string> texts(a.want_text ? count : 0);
    std::string methods(count, '\0');
    const InvertRequest request{**program, **method, static_cast<std::uint32_t>(*digits), *m,
                                static_cast<unsigned>(*workers)};
    const PointInputs inputs{t->data(), parameters->data(), count};
    const PointOutputs outputs{values->data(), errors->data(),
                               reinterpret_cast<std::uint8_t*>(methods.data()),
                               a.want_text ? texts.data() : nullptr,
                               text_digits_for(static_cast<std::uint32_t>(*digits)),
                               error_log10 ? error_log10->data() : nullptr};
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
