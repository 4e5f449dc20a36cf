#include "engine_module/supervisor.hpp"

#include "failure/interrupted.hpp"
#include "failure/owned_ref.hpp"

void Supervisor::poll() {
    const std::uint64_t now = coarse_now_ns();
    if (now < next_ns_) {
        return;
    }
    next_ns_ = now + interval_ns;
    std::optional<Error> failure;
    {
        GilRelease::Held held(released_);
        if (PyErr_CheckSignals() < 0) {
            failure.emplace(fetch_error());
        } else if (progress_ != nullptr) {
            const auto done = control_.done.load(std::memory_order_relaxed);
            OwnedRef returned = OwnedRef::steal(PyObject_CallFunction(progress_, "n",
                                                                      static_cast<Py_ssize_t>(done)));
            if (!returned) {
                failure.emplace(fetch_error());
            }
        }
    }
    if (failure) {
        control_.cancelled.store(true, std::memory_order_relaxed);
        throw Interrupted(std::move(*failure));
    }
}
