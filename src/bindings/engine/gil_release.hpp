#pragma once
// Releasing the interpreter lock around long native work, and taking it back
// briefly from inside that work.

#include <Python.h>

// Releases the lock for the lifetime of the object; no Python object may be
// touched meanwhile, except inside a Held scope.
class GilRelease {
public:
    GilRelease() noexcept : state_(PyEval_SaveThread()) {}
    ~GilRelease() { PyEval_RestoreThread(state_); }
    GilRelease(const GilRelease&) = delete;
    GilRelease& operator=(const GilRelease&) = delete;

    // Holds the lock again for its own lifetime, on the thread that released it.
    class Held {
    public:
        explicit Held(GilRelease& released) noexcept : released_(released) {
            PyEval_RestoreThread(released_.state_);
        }
        ~Held() { released_.state_ = PyEval_SaveThread(); }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        GilRelease& released_;
    };

private:
    PyThreadState* state_;
};
