#include "bindings/engine/supervisor.hpp"

#include "core/failure/interrupted.hpp"
#include "core/failure/owned_ref.hpp"

void Supervisor::poll() {
    const std::uint64_t now = coarse_now_ns();
    if (now < next_signals_ns_) {
        return;
    }
    const bool report = progress_ != nullptr && now >= next_progress_ns_;
    std::optional<Error> failure;
    {
        GilRelease::Held held(released_);
        if (PyErr_CheckSignals() < 0) {
            failure.emplace(fetch_error());
        } else if (report) {
            const auto done = control_.done.load(std::memory_order_relaxed);
            OwnedRef returned = OwnedRef::steal(PyObject_CallFunction(progress_, "n",
                                                                      static_cast<Py_ssize_t>(done)));
            if (!returned) {
                failure.emplace(fetch_error());
            }
        }
    }
    // Both intervals count from here, after the lock was given back: the
    // wait for the lock and the callable's own time are not part of them, so
    // a slow callable gets a full interval after each call, not calls back
    // to back.
    const std::uint64_t after = coarse_now_ns();
    next_signals_ns_ = after + signals_interval_ns;
    if (report) {
        next_progress_ns_ = after + progress_interval_ns;
    }
    if (failure) {
        control_.cancelled.store(true, std::memory_order_relaxed);
        throw Interrupted(std::move(*failure));
    }
}
