#pragma once
// The way a signal handler's exception (Ctrl-C's KeyboardInterrupt) leaves a
// native loop that never calls back into Python: thrown by poll_interrupts,
// caught only by the guard, which raises the exception it carries.

#include <utility>

#include "core/failure/error.hpp"

class Interrupted {
public:
    explicit Interrupted(Error error) noexcept : error_(std::move(error)) {}
    Error take() && noexcept { return std::move(error_); }

private:
    Error error_;
};
