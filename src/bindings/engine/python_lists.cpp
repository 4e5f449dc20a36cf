#include "bindings/engine/python_lists.hpp"

Result<OwnedRef> text_list(const std::vector<std::string>& texts) {
    OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(texts.size())));
    if (!list) {
        return std::unexpected(fetch_error());
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        PyObject* text =
            PyUnicode_FromStringAndSize(texts[i].data(), static_cast<Py_ssize_t>(texts[i].size()));
        if (text == nullptr) {
            return std::unexpected(fetch_error());
        }
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), text);  // the list owns it now
    }
    return list;
}
