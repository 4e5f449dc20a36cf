#pragma once
// Internal failures: conditions a computation cannot get past. No Python header
// here, so the numerical code can stop a call without seeing the interpreter.

#include <source_location>
#include <string>
#include <string_view>

// Not derived from std::exception on purpose: a stray
// `catch (const std::exception&)` must not be able to swallow it.
class InternalFailure {
public:
    explicit InternalFailure(std::string message) : message_(std::move(message)) {}
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// The module's own allocations would not fit in memory. Reaches Python as
// MemoryError; thrown before anything is allocated, because MPFR aborts the
// process when an allocation fails half-way.
class MemoryExhausted {
public:
    explicit MemoryExhausted(std::string message) : message_(std::move(message)) {}
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// Writes the failure report to the standard error stream, then ends the call.
[[noreturn]] void internal_failure(
    std::string message, std::source_location where = std::source_location::current());

// Ends the call with a failure that was already reported elsewhere (a failure
// of native code that came back through Python code): no second report.
[[noreturn]] void resume_internal_failure(std::string message);

// Writes the failure report alone, for failures met inside the guard itself.
void report_internal_failure(
    std::string_view message, std::source_location where = std::source_location::current()) noexcept;

// Writes the report of a failure that cannot be raised, then aborts the process.
[[noreturn]] void abort_with_report(
    const char* message, std::source_location where = std::source_location::current()) noexcept;
