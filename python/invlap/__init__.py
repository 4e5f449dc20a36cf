"""invlap: inverse Laplace transforms and modified Bessel functions, in multiple precision.

The public API:

* ``invert(F, t, ...)``: f(t) from a transform F(s) given as an expression in ``s``
  (a string or a SymPy expression, compiled and evaluated natively at the working
  precision) or as a Python callable; methods GWR, Talbot, Euler (the Bromwich line),
  Stehfest and, for callables, hyperbolic contours, chosen automatically by default,
  each value with an estimate of its error (``full_output=True`` gives an
  :class:`InversionResult`); NumPy and Dask arrays in, the same out.
* ``besseli(n, x)`` and ``besselk(n, x)``: I_n(x) and K_n(x) of integer order over
  arrays, correctly rounded doubles or any number of digits.
* ``compile_expression(F, params)``: a transform written as an expression, checked
  and compiled into the flat program the engine evaluates (``ExpressionError`` when
  it is not one).
* ``AccuracyWarning``: raised (as a warning) where an estimate misses the requested
  tolerance.
* ``gwr_rust``, ``besseli_rust``, ``besselk_rust``: the original interface of the
  compiled module ``invlap._native``, kept unchanged: GWR for a callable at a list of
  times, and I_0, I_1, K_0, K_1 at one point.

The command ``invlap`` (``python -m invlap``) inverts from the shell; see
``invlap --help``. The modules whose names start with an underscore, and the
compiled modules ``invlap._native`` and ``invlap._engine``, are the implementation.
"""

from invlap._native import besseli_rust, besselk_rust, gwr_rust
from invlap.bessel import besseli, besselk
from invlap.expression import CompiledExpression, ExpressionError, compile_expression
from invlap._inversion import invert
from invlap.result import AccuracyWarning, Evaluations, InversionResult

__all__ = ["invert", "InversionResult", "AccuracyWarning", "Evaluations", "besseli", "besselk",
           "compile_expression", "CompiledExpression", "ExpressionError",
           "gwr_rust", "besseli_rust", "besselk_rust"]
