#include "core/failure/python_text.hpp"

#include "core/failure/owned_ref.hpp"

namespace {

void append_utf8(std::string& out, Py_UCS4 c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr Py_UCS4 replacement_character = 0xFFFD;

}  // namespace

std::string lossy_utf8(PyObject* str) {
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(str, &size)) {
        return std::string(utf8, static_cast<std::size_t>(size));
    }
    // Only lone surrogates make the strict encoding fail; re-encode by hand.
    PyErr_Clear();
    std::string out;
    Py_ssize_t length = PyUnicode_GetLength(str);
    for (Py_ssize_t i = 0; i < length; ++i) {
        Py_UCS4 c = PyUnicode_ReadChar(str, i);
        append_utf8(out, (c >= 0xD800 && c <= 0xDFFF) ? replacement_character : c);
    }
    return out;
}

bool str_of(PyObject* obj, std::string& out) {
    OwnedRef text = OwnedRef::steal(PyObject_Str(obj));
    if (!text) {
        return false;
    }
    out = lossy_utf8(text.get());
    return true;
}

std::string type_qualname(PyObject* obj) {
    OwnedRef name = OwnedRef::steal(PyType_GetQualName(Py_TYPE(obj)));
    if (!name) {
        PyErr_Clear();
        return "<failed to extract type name>";
    }
    return lossy_utf8(name.get());
}

std::string conversion_message(PyObject* obj, const char* target) {
    std::string message = "'";
    message += type_qualname(obj);
    message += "' object cannot be converted to '";
    message += target;
    message += "'";
    return message;
}

std::string describe_exception(PyObject* exc) {
    std::string text = type_qualname(exc);
    std::string value;
    if (str_of(exc, value)) {
        text += ": " + value;
    }
    OwnedRef traceback = OwnedRef::steal(PyException_GetTraceback(exc));
    OwnedRef module = traceback ? OwnedRef::steal(PyImport_ImportModule("traceback")) : OwnedRef();
    OwnedRef lines = module ? OwnedRef::steal(PyObject_CallMethod(module.get(), "format_tb", "O",
                                                                  traceback.get()))
                            : OwnedRef();
    OwnedRef empty = OwnedRef::steal(PyUnicode_FromStringAndSize("", 0));
    OwnedRef joined = (lines && empty) ? OwnedRef::steal(PyUnicode_Join(empty.get(), lines.get()))
                                       : OwnedRef();
    if (joined) {
        text += "\nTraceback (most recent call last):\n" + lossy_utf8(joined.get());
    }
    // The description is best effort: whatever failed while making it is dropped.
    PyErr_Clear();
    return text;
}

std::string describe_pending_exception() {
    OwnedRef cause = OwnedRef::steal(PyErr_GetRaisedException());
    return cause ? describe_exception(cause.get()) : "no exception was set";
}
