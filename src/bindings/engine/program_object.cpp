#include "bindings/engine/program_object.hpp"

#include <memory>
#include <string>
#include <vector>

#include "bindings/engine/module_state.hpp"
#include "core/failure/call_guard.hpp"
#include "core/failure/owned_ref.hpp"
#include "core/failure/python_text.hpp"

namespace {

struct ProgramObject {
    PyObject_HEAD
    Program* program;  // owned; null only while being made
};

Error value_error(std::string message) {
    return Error::with_message(PyExc_ValueError, std::move(message));
}

Result<std::int64_t> integer_of(PyObject* obj) {
    long long value = PyLong_AsLongLong(obj);
    if (value == -1 && PyErr_Occurred()) {
        return std::unexpected(fetch_error());
    }
    return static_cast<std::int64_t>(value);
}

// One instruction (op: str, a: int, b: int). The texts stay owned by `names`
// while the program is checked.
Result<Program::Text> instruction_of(PyObject* item, std::vector<std::string>& names) {
    if (!PyTuple_Check(item) || PyTuple_GET_SIZE(item) != 3 ||
        !PyUnicode_Check(PyTuple_GET_ITEM(item, 0))) {
        return std::unexpected(value_error("each instruction must be a tuple (str, int, int)"));
    }
    names.push_back(lossy_utf8(PyTuple_GET_ITEM(item, 0)));
    Result<std::int64_t> a = integer_of(PyTuple_GET_ITEM(item, 1));
    if (!a) {
        return std::unexpected(std::move(a.error()));
    }
    Result<std::int64_t> b = integer_of(PyTuple_GET_ITEM(item, 2));
    if (!b) {
        return std::unexpected(std::move(b.error()));
    }
    return Program::Text{{}, *a, *b};
}

// An exact rational (numerator: int, denominator: int > 0), read through the
// integers' hexadecimal text, which FLINT parses at any size. Not decimal:
// the interpreter refuses the decimal text of an integer past 4300 digits
// (2**20000 has 6021), but never limits a power-of-two base.
Result<ExactRational> rational_of(PyObject* item) {
    if (!PyTuple_Check(item) || PyTuple_GET_SIZE(item) != 2 ||
        !PyLong_Check(PyTuple_GET_ITEM(item, 0)) || !PyLong_Check(PyTuple_GET_ITEM(item, 1))) {
        return std::unexpected(value_error("each constant must be a tuple (int, int)"));
    }
    ExactRational q;
    fmpz* parts[2] = {fmpq_numref(q.get()), fmpq_denref(q.get())};
    for (int i = 0; i < 2; ++i) {
        OwnedRef hex = OwnedRef::steal(PyNumber_ToBase(PyTuple_GET_ITEM(item, i), 16));
        const char* text = hex ? PyUnicode_AsUTF8(hex.get()) : nullptr;
        if (text == nullptr) {
            return std::unexpected(fetch_error());
        }
        // "-0x1f" or "0x1f": FLINT reads the sign and the digits, not the prefix.
        const bool negative = text[0] == '-';
        fmpz_set_str(parts[i], text + (negative ? 3 : 2), 16);
        if (negative) {
            fmpz_neg(parts[i], parts[i]);
        }
    }
    if (fmpz_sgn(fmpq_denref(q.get())) <= 0) {
        return std::unexpected(value_error("a constant's denominator must be positive"));
    }
    fmpq_canonicalise(q.get());
    return q;
}

Result<Program*> make_program(PyObject* code, PyObject* constants, Py_ssize_t parameters) {
    if (parameters < 0) {
        return std::unexpected(value_error("parameter_count must be >= 0"));
    }
    OwnedRef code_items = OwnedRef::steal(PySequence_Fast(code, "code must be a sequence"));
    OwnedRef constant_items =
        OwnedRef::steal(PySequence_Fast(constants, "constants must be a sequence"));
    if (!code_items || !constant_items) {
        return std::unexpected(fetch_error());
    }
    std::vector<std::string> names;
    std::vector<Program::Text> texts;
    const Py_ssize_t length = PySequence_Fast_GET_SIZE(code_items.get());
    names.reserve(static_cast<std::size_t>(length));
    for (Py_ssize_t i = 0; i < length; ++i) {
        Result<Program::Text> text =
            instruction_of(PySequence_Fast_GET_ITEM(code_items.get(), i), names);
        if (!text) {
            return std::unexpected(std::move(text.error()));
        }
        texts.push_back(*text);
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i].op = names[i];
    }
    std::vector<ExactRational> rationals;
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(constant_items.get()); ++i) {
        Result<ExactRational> q = rational_of(PySequence_Fast_GET_ITEM(constant_items.get(), i));
        if (!q) {
            return std::unexpected(std::move(q.error()));
        }
        rationals.push_back(std::move(*q));
    }
    std::string message;
    std::optional<Program> program = Program::make(texts, std::move(rationals),
                                                   static_cast<std::size_t>(parameters), message);
    if (!program) {
        return std::unexpected(value_error(std::move(message)));
    }
    return new Program(std::move(*program));
}

PyObject* program_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return call_guard([&]() -> Result<OwnedRef> {
        static const char* keywords[] = {"code", "constants", "parameter_count", nullptr};
        PyObject* code = nullptr;
        PyObject* constants = nullptr;
        Py_ssize_t parameters = 0;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOn:Program",
                                         const_cast<char**>(keywords), &code, &constants,
                                         &parameters)) {
            return std::unexpected(fetch_error());
        }
        Result<Program*> made = make_program(code, constants, parameters);
        if (!made) {
            return std::unexpected(std::move(made.error()));
        }
        std::unique_ptr<Program> program(*made);
        OwnedRef self = OwnedRef::steal(type->tp_alloc(type, 0));
        if (!self) {
            return std::unexpected(fetch_error());
        }
        reinterpret_cast<ProgramObject*>(self.get())->program = program.release();
        return self;
    });
}

void program_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    delete reinterpret_cast<ProgramObject*>(self)->program;
    type->tp_free(self);
    Py_DECREF(type);  // instances of heap types hold a reference to their type
}

PyType_Slot program_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(program_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(program_dealloc)},
    {Py_tp_doc, const_cast<char*>(
                    "Program(code, constants, parameter_count)\n--\n\n"
                    "A compiled expression, checked and held for the engine.")},
    {0, nullptr},
};

}  // namespace

PyType_Spec program_type_spec = {
    "invlap._engine.Program",
    sizeof(ProgramObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    program_slots,
};

Result<const Program*> program_of(PyObject* module, PyObject* obj) {
    PyObject* type = module_state(module)->program_type;
    if (!PyObject_TypeCheck(obj, reinterpret_cast<PyTypeObject*>(type))) {
        return std::unexpected(Error::with_message(
            PyExc_TypeError, "expected an invlap._engine.Program, got " + type_qualname(obj)));
    }
    return reinterpret_cast<ProgramObject*>(obj)->program;
}
