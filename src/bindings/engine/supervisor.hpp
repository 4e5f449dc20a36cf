#pragma once
// The interrupt source of the calling thread while a job runs without the
// interpreter lock: now and then it takes the lock back, runs the pending
// signal handlers (Ctrl-C) and reports progress.

#include <Python.h>

#include <cstdint>

#include "engine/runtime/worker_pool.hpp"
#include "bindings/engine/gil_release.hpp"
#include "core/runtime/coarse_clock.hpp"
#include "core/runtime/interrupts.hpp"

class Supervisor final : public InterruptSource {
public:
    // progress: a callable taking the number of points done, or null (borrowed).
    // A progress callable may take any time, so with one the calling thread
    // leaves the work to the job's threads and only supervises.
    Supervisor(GilRelease& released, JobControl& control, PyObject* progress) noexcept
        : released_(released), control_(control), progress_(progress) {
        control_.caller_works = progress_ == nullptr;
    }

    // Cheap until the interval has passed: a coarse clock read, since it comes
    // once per sample of F. Then, with the lock held: a KeyboardInterrupt from
    // a signal handler, or an exception of the progress callable, cancels the
    // job and ends the call with Interrupted.
    void poll() override;

    // Progress is reported at most this often (Python reads it as
    // progress_interval_s, to pace the reports it makes itself): a bar
    // redrawn five times a second looks live, and a callable slower than
    // this still gets the interval to itself after each call.
    static constexpr std::uint64_t progress_interval_ns = 200'000'000;

private:
    // Often enough that Ctrl-C is felt at once, rarely enough that taking
    // the lock costs nothing measurable.
    static constexpr std::uint64_t signals_interval_ns = 50'000'000;

    GilRelease& released_;
    JobControl& control_;
    PyObject* progress_;
    std::uint64_t next_signals_ns_ = coarse_now_ns() + signals_interval_ns;
    std::uint64_t next_progress_ns_ = coarse_now_ns() + progress_interval_ns;
};
