#include "bindings/native/bind_arguments.hpp"

#include <cstring>
#include <string>
#include <string_view>

#include "core/failure/python_text.hpp"

namespace {

Error type_error(std::string message) {
    return Error::with_message(PyExc_TypeError, std::move(message));
}

// The parameter named exactly `name` (bytes compared, case kept), or -1.
long find_parameter(const Signature& signature, std::string_view name) {
    for (std::size_t i = 0; i < signature.parameter_count; ++i) {
        if (name == signature.parameters[i]) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

Error unexpected_keyword(const Signature& signature, PyObject* keyword) {
    std::string shown;
    if (!str_of(keyword, shown)) {
        return fetch_error();
    }
    return type_error(std::string(signature.full_name) + " got an unexpected keyword argument '" +
                      shown + "'");
}

// "'a'", "'a' and 'b'", "'a', 'b' and 'c'".
std::string quoted_list(const std::array<const char*, max_parameters>& names, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            out += (i + 1 == count) ? " and " : ", ";
        }
        out += '\'';
        out += names[i];
        out += '\'';
    }
    return out;
}

}  // namespace

Result<Slots> bind_arguments(const Signature& signature, PyObject* const* args,
                             Py_ssize_t nargs, PyObject* kwnames) {
    Slots slots{};
    const auto positional = static_cast<std::size_t>(nargs);
    for (std::size_t i = 0; i < positional && i < signature.parameter_count; ++i) {
        slots[i] = args[i];
    }
    if (positional > signature.parameter_count) {
        return std::unexpected(type_error(
            std::string(signature.full_name) + " takes from " +
            std::to_string(signature.required_count) + " to " +
            std::to_string(signature.parameter_count) + " positional arguments but " +
            std::to_string(positional) + " were given"));
    }

    Py_ssize_t keyword_count = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t k = 0; k < keyword_count; ++k) {
        PyObject* keyword = PyTuple_GET_ITEM(kwnames, k);
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(keyword, &size);
        long index = -1;
        if (text == nullptr) {
            PyErr_Clear();  // a name UTF-8 cannot carry matches no parameter
        } else {
            index = find_parameter(signature, std::string_view(text, static_cast<std::size_t>(size)));
        }
        if (index < 0) {
            return std::unexpected(unexpected_keyword(signature, keyword));
        }
        if (slots[static_cast<std::size_t>(index)] != nullptr) {
            return std::unexpected(type_error(std::string(signature.full_name) +
                                              " got multiple values for argument '" +
                                              signature.parameters[static_cast<std::size_t>(index)] +
                                              "'"));
        }
        slots[static_cast<std::size_t>(index)] = args[nargs + k];
    }

    std::array<const char*, max_parameters> missing{};
    std::size_t missing_count = 0;
    for (std::size_t i = positional; i < signature.required_count; ++i) {
        if (slots[i] == nullptr) {
            missing[missing_count++] = signature.parameters[i];
        }
    }
    if (missing_count > 0) {
        return std::unexpected(type_error(
            std::string(signature.full_name) + " missing " + std::to_string(missing_count) +
            " required positional " + (missing_count == 1 ? "argument" : "arguments") + ": " +
            quoted_list(missing, missing_count)));
    }
    return slots;
}
