"""Multiple-precision numerical inverse Laplace transforms and Bessel functions.

The work is done by the compiled module ``invlap._native`` (GNU MPFR):

* ``gwr_rust(fn_obj, times, m=32, prec=None)``: the inverse Laplace transform of a
  Python callable F(s) at each time, by the Gaver-Wynn-Rho method;
* ``besseli_rust(n, x, prec=34)`` and ``besselk_rust(n, x, prec=34)``: the modified
  Bessel functions I_n(x) and K_n(x) for n = 0 and 1.

``compile_expression(F, params)`` turns a transform written as a string (or a SymPy
expression) in ``s`` into the flat program the native engine evaluates; a bad
expression raises ``ExpressionError``.
"""

from invlap._native import besseli_rust, besselk_rust, gwr_rust
from invlap.bessel import besseli, besselk
from invlap.expression import ExpressionError, compile_expression
from invlap.invert import invert
from invlap.result import AccuracyWarning, Evaluations, InversionResult

__all__ = ["gwr_rust", "besseli_rust", "besselk_rust", "ExpressionError", "compile_expression",
           "invert", "AccuracyWarning", "Evaluations", "InversionResult", "besseli", "besselk"]
