#include "core/runtime/interrupts.hpp"

#include <Python.h>

#include "core/failure/interrupted.hpp"

namespace {

thread_local InterruptSource* installed_source = nullptr;

}  // namespace

void poll_interrupts() {
    if (installed_source != nullptr) {
        installed_source->poll();
        return;
    }
    if (PyErr_CheckSignals() < 0) {
        throw Interrupted(fetch_error());
    }
}

ScopedInterruptSource::ScopedInterruptSource(InterruptSource& source) noexcept
    : previous_(installed_source) {
    installed_source = &source;
}

ScopedInterruptSource::~ScopedInterruptSource() { installed_source = previous_; }
