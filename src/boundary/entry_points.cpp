#include "boundary/entry_points.hpp"

#include <optional>

#include "bessel/bessel_i.hpp"
#include "bessel/bessel_k.hpp"
#include "boundary/bind_arguments.hpp"
#include "boundary/callback_sampler.hpp"
#include "boundary/convert.hpp"
#include "boundary/results.hpp"
#include "failure/call_guard.hpp"
#include "gwr/gwr.hpp"
#include "precision/precision_rules.hpp"

namespace {

constexpr Signature gwr_signature{"gwr_rust()", {"fn_obj", "times", "m", "prec"}, 4, 2};
constexpr Signature besseli_signature{"besseli_rust()", {"n", "x", "prec"}, 3, 2};
constexpr Signature besselk_signature{"besselk_rust()", {"n", "x", "prec"}, 3, 2};

constexpr std::uint64_t default_gaver_terms = 32;

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
    std::uint64_t m = default_gaver_terms;
    if (PyObject* given = (*slots)[2]) {
        Result<std::uint64_t> converted = convert_u64(given);
        if (!converted) {
            return std::unexpected(argument_error("m", std::move(converted.error())));
        }
        m = *converted;
    }
    // For gwr_rust an explicit None means the same as leaving prec out.
    std::optional<std::uint32_t> digits;
    if (PyObject* given = (*slots)[3]; given != nullptr && given != Py_None) {
        Result<std::uint32_t> converted = convert_u32(given);
        if (!converted) {
            return std::unexpected(argument_error("prec", std::move(converted.error())));
        }
        digits = *converted;
    }
    // For gwr_rust an absent precision means round(2.1 m) digits.
    const Bits bits = digits_to_bits(digits ? *digits : gwr_default_digits(m));
    CallbackSampler sampler(fn_obj.get(), bits);
    std::optional<std::vector<double>> values =
        gwr_invert(sampler, *times, m, bits, double_sample_bits(bits));
    if (!values) {
        return std::unexpected(std::move(sampler).take_failure());
    }
    return list_result(*values);
}

struct BesselArguments {
    std::uint32_t n;
    double x;
    std::uint32_t digits;
};

// n, x, prec in parameter order; for the Bessel functions None is no integer.
Result<BesselArguments> bessel_arguments(const Signature& signature, PyObject* const* args,
                                         Py_ssize_t nargs, PyObject* kwnames) {
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
    std::uint32_t digits = bessel_default_digits;
    if (PyObject* given = (*slots)[2]) {
        Result<std::uint32_t> converted = convert_u32(given);
        if (!converted) {
            return std::unexpected(argument_error("prec", std::move(converted.error())));
        }
        digits = *converted;
    }
    return BesselArguments{*n, *x, digits};
}

}  // namespace

PyObject* gwr_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guard([&] { return gwr_body(args, nargs, kwnames); });
}

PyObject* besseli_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guard([&]() -> Result<OwnedRef> {
        Result<BesselArguments> a = bessel_arguments(besseli_signature, args, nargs, kwnames);
        if (!a) {
            return std::unexpected(std::move(a.error()));
        }
        return float_result(besseli_rust(a->n, a->x, a->digits));
    });
}

PyObject* besselk_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_guard([&]() -> Result<OwnedRef> {
        Result<BesselArguments> a = bessel_arguments(besselk_signature, args, nargs, kwnames);
        if (!a) {
            return std::unexpected(std::move(a.error()));
        }
        return float_result(besselk_rust(a->n, a->x, a->digits));
    });
}
