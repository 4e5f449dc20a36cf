#pragma once
// The interrupt source of the calling thread while a job runs without the
// interpreter lock: now and then it takes the lock back, runs the pending
// signal handlers (Ctrl-C) and reports progress.

#include <Python.h>

#include <chrono>

#include "engine/worker_pool.hpp"
#include "engine_module/gil_release.hpp"
#include "failure/interrupts.hpp"

class Supervisor final : public InterruptSource {
public:
    // progress: a callable taking the number of points done, or null (borrowed).
    Supervisor(GilRelease& released, JobControl& control, PyObject* progress) noexcept
        : released_(released), control_(control), progress_(progress) {}

    // Cheap until the interval has passed: a clock read. Then, with the lock
    // held: a KeyboardInterrupt from a signal handler, or an exception of the
    // progress callable, cancels the job and ends the call with Interrupted.
    void poll() override;

private:
    // Often enough that Ctrl-C is felt at once, rarely enough that taking
    // the lock costs nothing measurable.
    static constexpr std::chrono::milliseconds interval{50};

    GilRelease& released_;
    JobControl& control_;
    PyObject* progress_;
    std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now() + interval;
};
