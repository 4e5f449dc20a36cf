#pragma once
// Errors: the failure value that the steps of a call hand back.

#include <Python.h>

#include <expected>
#include <optional>
#include <string>

#include "core/failure/owned_ref.hpp"

// Either an exception object taken from the interpreter (traceback, cause and
// context intact), or an exception type with a message from which the object is
// made only when raised. Raised at most once; dropping one releases it unraised.
class Error {
public:
    static Error from_exception(OwnedRef exception) noexcept;
    // `type` is one of the interpreter's built-in exception types, alive for good.
    static Error with_message(PyObject* type, std::string message) noexcept;

    Error(Error&&) noexcept = default;
    Error& operator=(Error&&) noexcept = default;

    // The exception type this error raises (borrowed).
    PyObject* type() const noexcept;
    // The exception object, or null when the error is a type and a message.
    PyObject* exception() const noexcept { return exception_.get(); }
    const std::string& message() const noexcept { return message_; }

    // Sets the interpreter's error indicator from this error. If the message
    // text cannot be made, the MemoryError of that attempt is what stays set.
    void raise() && noexcept;

private:
    Error() = default;
    OwnedRef exception_;
    PyObject* type_ = nullptr;
    std::string message_;
};

template <class T>
using Result = std::expected<T, Error>;

// Takes the exception that a failed interpreter call left pending. With nothing
// pending: SystemError. A PanicException coming back through Python code ends
// the call as an internal failure carrying its message instead (does not return).
Error fetch_error();

// For results such as -1 that are also ordinary values: the pending exception as
// an error, or nothing when none is pending.
std::optional<Error> fetch_error_if_pending();

// An interpreter call that creates an object returned null: prints the pending
// exception and ends the call with "Python API call failed".
[[noreturn]] void api_call_failed();
