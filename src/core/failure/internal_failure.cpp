#include "core/failure/internal_failure.hpp"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

std::atomic<bool> backtrace_hint_written{false};

// Paths from the build are absolute; from "src/" on they say all that matters.
std::string_view short_path(const char* path) {
    std::string_view p(path);
    std::size_t at = p.rfind("/src/");
    return at == std::string_view::npos ? p : p.substr(at + 1);
}

// Format: the failing thread and where, then the message on its own line; once
// per process a hint on how to see the stack that led there. Written straight to
// file descriptor 2 through stdio, so it appears even when Python's sys.stderr
// is broken or replaced.
void write_failure_report(std::string_view message, const std::source_location& where) noexcept {
    char thread_name[32] = "?";
    pthread_getname_np(pthread_self(), thread_name, sizeof thread_name);
    std::string_view file = short_path(where.file_name());
    std::fprintf(stderr,
                 "invlap: internal failure in thread '%s' (tid %ld) at %.*s:%u:%u:\n%.*s\n",
                 thread_name, static_cast<long>(syscall(SYS_gettid)),
                 static_cast<int>(file.size()), file.data(), where.line(), where.column(),
                 static_cast<int>(message.size()), message.data());
    if (!backtrace_hint_written.exchange(true)) {
        // True because internal_failure throws a C++ exception: gdb stops at the throw.
        std::fputs("note: for a backtrace, run Python under gdb, enter `catch throw`, then "
                   "`run`, and `bt` when it stops\n",
                   stderr);
    }
    std::fflush(stderr);
}

}  // namespace

void report_internal_failure(std::string_view message, std::source_location where) noexcept {
    write_failure_report(message, where);
}

void internal_failure(std::string message, std::source_location where) {
    write_failure_report(message, where);
    throw InternalFailure(std::move(message));
}

void resume_internal_failure(std::string message) {
    throw InternalFailure(std::move(message));
}

void abort_with_report(const char* message, std::source_location where) noexcept {
    write_failure_report(message, where);
    std::abort();
}
