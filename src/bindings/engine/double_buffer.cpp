#include "bindings/engine/double_buffer.hpp"

#include <cstring>
#include <string>

Result<DoubleBuffer> DoubleBuffer::acquire(PyObject* obj, const char* name, bool writable) {
    auto view = std::make_unique<Py_buffer>();
    const int flags = PyBUF_C_CONTIGUOUS | PyBUF_FORMAT | (writable ? PyBUF_WRITABLE : 0);
    if (PyObject_GetBuffer(obj, view.get(), flags) < 0) {
        return std::unexpected(fetch_error());
    }
    DoubleBuffer buffer(std::unique_ptr<Py_buffer, Release>(view.release()));
    const char* format = buffer.view_->format != nullptr ? buffer.view_->format : "B";
    const bool doubles = buffer.view_->itemsize == sizeof(double) &&
                         (std::strcmp(format, "d") == 0 || std::strcmp(format, "<d") == 0 ||
                          std::strcmp(format, "=d") == 0 || std::strcmp(format, "@d") == 0);
    if (!doubles) {
        return std::unexpected(Error::with_message(
            PyExc_ValueError, std::string(name) + " must hold C-contiguous float64 values"));
    }
    return buffer;
}
