#pragma once
// The guard every entry point runs under: whatever the body ends in becomes a
// result object or exactly one raised Python exception. Nothing is thrown past it.

#include <Python.h>

#include <new>
#include <stdexcept>

#include "core/failure/error.hpp"
#include "core/failure/exception_type.hpp"
#include "core/failure/internal_failure.hpp"
#include "core/failure/interrupted.hpp"
#include "core/failure/owned_ref.hpp"

template <class Body>
PyObject* call_guard(Body&& body) noexcept {
    try {
        Result<OwnedRef> outcome = body();
        if (outcome) {
            return outcome->release();  // a new reference, now the caller's
        }
        std::move(outcome.error()).raise();
    } catch (const InternalFailure& failure) {
        raise_internal_failure(failure.message());
    } catch (Interrupted& interrupted) {
        // A signal handler raised (Ctrl-C) while native code ran without calling back.
        std::move(interrupted).take().raise();
    } catch (const MemoryExhausted& exhausted) {
        PyErr_SetString(PyExc_MemoryError, exhausted.message().c_str());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();  // our own allocations ran out: an ordinary MemoryError
    } catch (const std::length_error&) {
        PyErr_NoMemory();  // a vector asked for more than it can ever hold
    } catch (...) {
        abort_with_report("unexpected C++ exception at the interpreter boundary");
    }
    return nullptr;
}
