#pragma once
// A process-lifetime object made once, on first need.

#include <Python.h>

#include <atomic>
#include <utility>

#include "core/failure/owned_ref.hpp"

// Filled under the interpreter lock, read with acquire ordering, never
// released: a static destructor would run after the interpreter is gone.
// Two threads may both make the object; the first one installed stays.
class OnceCell {
public:
    // Borrowed: the object, or null while the cell is empty.
    PyObject* get() const noexcept { return cell_.load(std::memory_order_acquire); }

    // Borrowed: the object in the cell after offering `made`: `made` itself if
    // the cell was empty, else the object already there (`made` is released).
    PyObject* install(OwnedRef made) noexcept {
        PyObject* expected = nullptr;
        if (cell_.compare_exchange_strong(expected, made.get(), std::memory_order_acq_rel)) {
            return made.release();  // the cell's reference, for good
        }
        return expected;
    }

    // Borrowed: the object, made by make() when the cell is empty. make()
    // returns a new reference, or null with an exception pending, and then
    // so does this.
    template <class Make>
    PyObject* get_or_make(Make&& make) {
        if (PyObject* kept = get()) {
            return kept;
        }
        OwnedRef made = OwnedRef::steal(std::forward<Make>(make)());
        if (!made) {
            return nullptr;
        }
        return install(std::move(made));
    }

private:
    std::atomic<PyObject*> cell_{nullptr};
};
