// PyInit__engine: the second extension module, for the work that runs over
// arrays without the interpreter lock. Multi-phase initialisation; the module
// refuses sub-interpreters, since the failure machinery it shares with
// _native keeps process-wide state.

#include <Python.h>

#include "engine/gwr/gwr_plan.hpp"
#include "engine/runtime/limits.hpp"
#include "bindings/engine/entry_points.hpp"
#include "bindings/engine/module_state.hpp"
#include "bindings/engine/program_object.hpp"
#include "bindings/engine/supervisor.hpp"

namespace {

PyMethodDef engine_functions[] = {
    {"invert_expression", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(invert_expression_entry)),
     METH_VARARGS | METH_KEYWORDS,
     "invert_expression(program, t, parameters, values, errors, digits=15, m=0, workers=1,\n"
     "                  text=False, progress=None, method='gwr', error_log10=None)\n--\n\n"
     "f(t) of a compiled expression at every point, written into values and errors\n"
     "(float64 buffers, one entry per t). parameters holds one row of the program's\n"
     "parameters per point. error_log10, a float64 buffer when given, receives the\n"
     "log10 of each estimate below the smallest double (NaN elsewhere). Returns the\n"
     "method codes, and the values' decimal texts when text is true."},
    {"invert_double_samples",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(invert_double_samples_entry)),
     METH_VARARGS | METH_KEYWORDS,
     "invert_double_samples(t, samples, terms, values, errors, workers=1, progress=None)\n--\n\n"
     "f(t) from a callable's doubles: samples holds F(k ln2 / t) for k = 1 ... width\n"
     "per point; every m of terms is tried and the one of least estimated error kept."},
    {"invert_value_samples",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(invert_value_samples_entry)),
     METH_VARARGS | METH_KEYWORDS,
     "invert_value_samples(t, samples, m, bits, digits)\n--\n\n"
     "f(t) at one point from 2m exact samples (floats or (hex mantissa, exponent));\n"
     "returns (value, error, decimal text, log10 of the error where it is below the\n"
     "smallest double, else NaN)."},
    {"bessel", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(bessel_entry)),
     METH_VARARGS | METH_KEYWORDS,
     "bessel(kind, n, x, out, digits=0, workers=1, text=False, progress=None, exact=False)\n"
     "--\n\n"
     "I_n(x) (kind 'i') or K_n(x) (kind 'k') for every pair of n and x (float64 buffers of\n"
     "one size) into out: correctly rounded doubles for digits=0, else computed at that\n"
     "many digits. Returns the list of their decimal texts with text, else the number of\n"
     "points that took the exact path (exact: all of them; otherwise the fast pass first)."},
    {"require_value_samples_memory",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(require_value_samples_memory_entry)),
     METH_VARARGS | METH_KEYWORDS,
     "require_value_samples_memory(m, bits)\n--\n\n"
     "Raises MemoryError unless inverting one point from 2m exact samples of `bits`\n"
     "bits fits in memory: a callable's samples are checked before F is called."},
    {"shared_contour_sums",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(shared_contour_sums_entry)),
     METH_VARARGS | METH_KEYWORDS,
     "shared_contour_sums(t, nodes, weights, values, magnitudes, workers=1, turns=None)\n--\n\n"
     "For a contour shared by every t: values[i] = sum_k Im(w_k exp(z_k t[i])) and\n"
     "magnitudes[i] = sum_k |w_k| exp(Re z_k t[i]), with the nodes z_k and weights w_k\n"
     "as (re, im) pairs of doubles; terms that cannot move a value are left out. Given\n"
     "turns, turns[i] = sum_k |w_k| |z_k t[i]| exp(Re z_k t[i]), what the products'\n"
     "rounding moves the exponentials by, in units of it."},
    {"gwr_levels", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(gwr_levels_entry)),
     METH_VARARGS | METH_KEYWORDS,
     "gwr_levels(digits, m=0)\n--\n\n"
     "The (m, bits) levels an inversion to `digits` digits tries, in order."},
    {"tolerance_met", tolerance_met_entry, METH_VARARGS,
     "tolerance_met(value, error, digits, error_log10=nan)\n--\n\n"
     "Whether an estimate meets the tolerance of `digits` digits: error <= 10**-digits\n"
     "* |value| (10**-digits for a value of 0; always for an infinite value; never\n"
     "for NaN)."},
    {"tolerance_missed", tolerance_missed_entry, METH_VARARGS,
     "tolerance_missed(values, errors, digits, error_log10=None)\n--\n\n"
     "How many of the (value, error) pairs (float64 buffers) miss the tolerance."},
    {"limit_kind", limit_kind_entry, METH_VARARGS,
     "limit_kind(magnitudes, spread, same_sign, digits)\n--\n\n"
     "The f(0+) rule on |s F(s)| at growing s: 'settled' (the last value),\n"
     "'unbounded' (+-inf) or 'unsettled' (NaN)."},
    {nullptr, nullptr, 0, nullptr},
};

int engine_exec(PyObject* module) {
    // The ranges of the counts, read by invlap's checks so that both sides
    // refuse the same values.
    if (PyModule_AddIntConstant(module, "MAX_DIGITS", static_cast<long>(max_digits)) < 0 ||
        PyModule_AddIntConstant(module, "MAX_WORKERS", static_cast<long>(max_workers)) < 0 ||
        PyModule_AddIntConstant(module, "MAX_M", static_cast<long>(max_terms())) < 0 ||
        add_rule_constants(module) < 0) {
        return -1;
    }
    PyObject* type = PyType_FromModuleAndSpec(module, &program_type_spec, nullptr);
    if (type == nullptr) {
        return -1;
    }
    module_state(module)->program_type = type;  // the state's reference
    if (PyModule_AddObjectRef(module, "Program", type) < 0) {
        return -1;
    }
    return PyModule_Add(module, "progress_interval_s",
                        PyFloat_FromDouble(static_cast<double>(Supervisor::progress_interval_ns) / 1e9));
}

int engine_traverse(PyObject* module, visitproc visit, void* arg) {
    Py_VISIT(module_state(module)->program_type);
    return 0;
}

int engine_clear(PyObject* module) {
    Py_CLEAR(module_state(module)->program_type);
    return 0;
}

void engine_free(void* module) { engine_clear(static_cast<PyObject*>(module)); }

PyModuleDef_Slot engine_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(engine_exec)},
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {0, nullptr},
};

PyModuleDef engine_definition = {
    PyModuleDef_HEAD_INIT,
    "_engine",
    "The native engine of invlap: compiled expressions and their inversion over arrays.",
    sizeof(ModuleState),
    engine_functions,
    engine_slots,
    engine_traverse,
    engine_clear,
    engine_free,
};

}  // namespace

extern "C" PyMODINIT_FUNC PyInit__engine() { return PyModuleDef_Init(&engine_definition); }
