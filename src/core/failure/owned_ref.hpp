#pragma once
// Exactly one strong reference to a Python object, or none.

#include <Python.h>

#include <utility>

// Move-only: a copy would need a second Py_DECREF somewhere.
class OwnedRef {
public:
    OwnedRef() = default;
    // The only two ways in. Say at the call site which one you mean.
    static OwnedRef steal(PyObject* p) noexcept { return OwnedRef(p); }
    static OwnedRef borrow(PyObject* p) noexcept {
        Py_XINCREF(p);
        return OwnedRef(p);
    }
    OwnedRef(OwnedRef&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    OwnedRef& operator=(OwnedRef&& other) noexcept {
        // Install the new pointer before dropping the old one: the decref can
        // run arbitrary Python code (a __del__) that may reach this object.
        PyObject* old = std::exchange(ptr_, std::exchange(other.ptr_, nullptr));
        Py_XDECREF(old);
        return *this;
    }
    OwnedRef(const OwnedRef&) = delete;
    OwnedRef& operator=(const OwnedRef&) = delete;
    ~OwnedRef() { Py_XDECREF(ptr_); }

    PyObject* get() const noexcept { return ptr_; }  // we still own it
    [[nodiscard]] PyObject* release() noexcept { return std::exchange(ptr_, nullptr); }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

private:
    explicit OwnedRef(PyObject* p) noexcept : ptr_(p) {}
    PyObject* ptr_ = nullptr;
};
