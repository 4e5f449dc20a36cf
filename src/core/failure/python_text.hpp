#pragma once
// Texts taken from Python objects, for messages.

#include <Python.h>

#include <string>

// The UTF-8 text of a str; code points that UTF-8 cannot carry (lone
// surrogates) become U+FFFD. Never fails.
std::string lossy_utf8(PyObject* str);

// str(obj) as lossy UTF-8; leaves the str() error pending and returns nothing
// when str() fails.
bool str_of(PyObject* obj, std::string& out);

// The qualified name of obj's type, or "<failed to extract type name>".
std::string type_qualname(PyObject* obj);

// "'<type>' object cannot be converted to '<target>'": the message of a failed
// conversion, always raised as TypeError.
std::string conversion_message(PyObject* obj, const char* target);

// A one-line description of an exception object: "<type>: <value>", followed by
// its formatted traceback when it has one.
std::string describe_exception(PyObject* exc);

// The description of the exception pending, which is taken (cleared), or
// "no exception was set".
std::string describe_pending_exception();
