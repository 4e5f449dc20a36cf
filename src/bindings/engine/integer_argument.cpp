#include "bindings/engine/integer_argument.hpp"

#include <string>

#include "core/failure/owned_ref.hpp"

namespace {

std::string range_text(std::uint64_t lowest, std::uint64_t highest) {
    return "an integer from " + std::to_string(lowest) + " to " + std::to_string(highest);
}

}  // namespace

Result<std::uint64_t> integer_argument(PyObject* obj, const char* name, std::uint64_t lowest,
                                       std::uint64_t highest) {
    // True and False have __index__ too; a flag passed for a count is a mistake.
    if (PyBool_Check(obj)) {
        return std::unexpected(Error::with_message(
            PyExc_TypeError, std::string(name) + " must be " + range_text(lowest, highest) +
                                 ", not a bool"));
    }
    OwnedRef index = OwnedRef::steal(PyNumber_Index(obj));
    if (!index) {
        return std::unexpected(fetch_error());
    }
    // Compared as Python integers first, so that no size of integer wraps.
    int overflow = 0;
    const long long small = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (small == -1 && overflow == 0) {
        if (std::optional<Error> e = fetch_error_if_pending()) {
            return std::unexpected(std::move(*e));
        }
    }
    // The value is quoted only when it fits in 64 bits: the text of a huge
    // integer can itself be refused (the interpreter's digit limit).
    const std::string said = std::string(name) + " must be " + range_text(lowest, highest);
    if (overflow < 0) {
        return std::unexpected(Error::with_message(PyExc_ValueError, said + ", not a negative number of more than 64 bits"));
    }
    if (overflow > 0) {
        return std::unexpected(Error::with_message(PyExc_OverflowError, said + ", not a number of more than 64 bits"));
    }
    if (small < 0 || static_cast<std::uint64_t>(small) < lowest) {
        return std::unexpected(Error::with_message(PyExc_ValueError, said + ", not " + std::to_string(small)));
    }
    const auto value = static_cast<std::uint64_t>(small);
    if (value > highest) {
        return std::unexpected(Error::with_message(PyExc_OverflowError, said + ", not " + std::to_string(small)));
    }
    return value;
}
