#include "failure/interrupts.hpp"

#include <Python.h>

#include "failure/error.hpp"

void poll_interrupts() {
    if (PyErr_CheckSignals() < 0) {
        throw fetch_error();
    }
}
