#pragma once
// The memory of a C-contiguous float64 array (a NumPy array, an array.array,
// any object with the buffer protocol), held for the duration of a call.

#include <Python.h>

#include <cstddef>
#include <memory>

#include "core/failure/error.hpp"

class DoubleBuffer {
public:
    // obj's buffer (borrowed obj), refused with ValueError naming `name` unless
    // it holds C-contiguous doubles, and writable when asked.
    static Result<DoubleBuffer> acquire(PyObject* obj, const char* name, bool writable);

    double* data() const noexcept { return static_cast<double*>(view_->buf); }
    std::size_t size() const noexcept {
        return static_cast<std::size_t>(view_->len) / sizeof(double);
    }

private:
    // The view stays where it was filled: exporters may remember its address
    // until it is released. Released with the interpreter lock held, as the
    // buffer protocol requires; a DoubleBuffer never outlives the call.
    struct Release {
        void operator()(Py_buffer* view) const noexcept {
            PyBuffer_Release(view);
            delete view;
        }
    };
    explicit DoubleBuffer(std::unique_ptr<Py_buffer, Release> view) : view_(std::move(view)) {}
    std::unique_ptr<Py_buffer, Release> view_;
};
