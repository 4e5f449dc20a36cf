#include "bindings/native/function_table.hpp"

#include "bindings/native/entry_points.hpp"

// Each docstring starts with "name(signature)\n--\n\n": the interpreter turns
// that line into __text_signature__, so inspect.signature works.
const std::array<FunctionEntry, 3> function_table{{
    {"gwr_rust", gwr_entry,
     "gwr_rust(fn_obj, times, m=32, prec=None)\n--\n\n"
     "General GWR inverse Laplace transform for Python callables.\n\n"
     "Evaluates the inverse Laplace transform of fn_obj at each time point\n"
     "using the Gaver-Wynn-Rho algorithm with arbitrary-precision arithmetic.\n\n"
     "Parameters:\n"
     "  fn_obj: Python callable F(s) -> float (Laplace-domain function)\n"
     "  times:  list of time values (must be > 0)\n"
     "  m:      number of Gaver functional terms (default 32)\n"
     "  prec:   decimal digits of precision (default: round(2.1 * m))"},
    {"besseli_rust", besseli_entry,
     "besseli_rust(n, x, prec=34)\n--\n\n"
     "Compute modified Bessel function I_n(x) at arbitrary precision.\n"
     "Returns float. n must be 0 or 1."},
    {"besselk_rust", besselk_entry,
     "besselk_rust(n, x, prec=34)\n--\n\n"
     "Compute modified Bessel function K_n(x) at arbitrary precision.\n"
     "Returns float. n must be 0 or 1. x must be > 0."},
}};
