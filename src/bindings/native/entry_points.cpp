#include "bindings/native/entry_points.hpp"

#include <optional>

#include "core/bessel/bessel.hpp"
#include "bindings/native/bind_arguments.hpp"
#include "bindings/native/callback_sampler.hpp"
#include "bindings/native/convert.hpp"
#include "bindings/native/results.hpp"
#include "core/failure/call_guard.hpp"
#include "core/gwr/gwr.hpp"
#include "core/precision/precision_rules.hpp"

namespace {

constexpr Signature gwr_signature{"gwr_rust()", {"fn_obj", "times", "m", "prec"}, 4, 2};
constexpr Signature besseli_signature{"besseli_rust()", {"n", "x", "prec"}, 3, 2};
constexpr Signature besselk_signature{"besselk_rust()", {"n", "x", "prec"}, 3, 2};

constexpr std::uint64_t default_gaver_terms = 32;

// An optional argument: nothing when `given` is null (left out), else its
// conversion, a failure reworded to name `name`.
template <class T>
Result<std::optional<T>> optional_argument(PyObject* given, const char* name,
                                           Result<T> (*convert)(PyObject*)) {
    if (given == nullptr) {
        return std::optional<T>();
    }
    Result<T> converted = convert(given);
    if (!converted) {
        return std::unexpected(argument_error(name, std::move(converted.error())));
    }
    return std::optional<T>(*converted);
}

Result<OwnedRef> gwr_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Result<Slots> slots = bind_arguments(gwr_signature, args, nargs, kwnames);
    if (!slots) {
        return std::unexpected(std::move(slots.error()));
    }
    OwnedRef fn_obj = OwnedRef::borrow((*slots)[0]);
    Result<std::vector<double>> times = convert_float_sequence((*slots)[1]);
    if (!times) {
        return std::unexpected(argument_error("times", std::move(times.error())));
    }
    Result<std::optional<std::uint64_t>> m = optional_argument((*slots)[2], "m", convert_u64);
    if (!m) {
        return std::unexpected(std::move(m.error()));
    }
    // For gwr_rust an explicit None means the same as leaving prec out.
    PyObject* prec = (*slots)[3] == Py_None ? nullptr : (*slots)[3];
    Result<std::optional<std::uint32_t>> digits = optional_argument(prec, "prec", convert_u32);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    // For gwr_rust an absent precision means round(2.1 m) digits.
    const std::uint64_t terms = m->value_or(default_gaver_terms);
    const Bits bits = digits_to_bits(digits->value_or(gwr_default_digits(terms)));
    CallbackSampler sampler(fn_obj.get(), bits);
    std::optional<std::vector<double>> values =
        gwr_invert(sampler, *times, terms, bits, double_sample_bits(bits));
    if (!values) {
        return std::unexpected(std::move(sampler).take_failure());
    }
    return list_result(*values);
}

// n, x, prec in parameter order (for the Bessel functions None is no
// integer), then I_n(x) or K_n(x) at prec digits.
Result<OwnedRef> bessel_body(BesselKind kind, const Signature& signature, const char* what,
                             PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Result<Slots> slots = bind_arguments(signature, args, nargs, kwnames);
    if (!slots) {
        return std::unexpected(std::move(slots.error()));
    }
    Result<std::uint32_t> n = convert_u32((*slots)[0]);
    if (!n) {
        return std::unexpected(argument_error("n", std::move(n.error())));
    }
    Result<double> x = convert_float((*slots)[1]);
    if (!x) {
        return std::unexpected(argument_error("x", std::move(x.error())));
    }
    Result<std::optional<std::uint32_t>> digits =
        optional_argument((*slots)[2], "prec", convert_u32);
    if (!digits) {
        return std::unexpected(std::move(digits.error()));
    }
    const Bits bits = digits_to_bits(digits->value_or(bessel_default_digits));
    return float_result(bessel_value(kind, *n, *x, bits, what));
}

}  // namespace

PyObject* gwr_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guard([&] { return gwr_body(args, nargs, kwnames); });
}

PyObject* besseli_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guard([&] {
        return bessel_body(BesselKind::first, besseli_signature, "besseli_rust at this precision",
                           args, nargs, kwnames);
    });
}

PyObject* besselk_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guard([&] {
        return bessel_body(BesselKind::second, besselk_signature,
                           "besselk_rust at this precision", args, nargs, kwnames);
    });
}
