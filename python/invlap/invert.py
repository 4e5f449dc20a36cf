"""invlap.invert: the inverse Laplace transform f(t) of a transform F(s)."""

import functools
import sys
import warnings

import numpy as np

from invlap import _engine
from invlap._callables import invert_callable
from invlap._dask import holds_dask_array, invert_dask
from invlap._points import broadcast_points
from invlap._workers import resolve_workers
from invlap.expression import compile_expression
from invlap.result import AccuracyWarning, InversionResult, beyond_tolerance

__all__ = ["invert"]

METHODS = ("auto", "gwr", "talbot", "euler", "stehfest", "hyperbola")
# The engine's method codes, in its order (point_solver.hpp).
ENGINE_METHODS = np.array(["gwr", "talbot", "euler", "stehfest", "auto", "initial value"],
                          dtype=object)
OUTPUTS = ("float", "mpmath")
PRECISIONS = ("double", "multi")
MAX_DIGITS = 10000


def invert(F, t, *, digits=15, method="auto", M=None, workers=None, full_output=False,
           output="float", precision="double", vectorized=False, progress=None, **params):
    """Inverse Laplace transform f(t) of F(s).

    Parameters
    ----------
    F : str, sympy.Expr, CompiledExpression or callable
        The transform. A string (or SymPy expression) is an expression in ``s`` and
        the names in `params`, evaluated natively at the working precision; see
        :func:`invlap.compile_expression` for the language. A callable takes s (and
        the parameters as keywords) and returns F(s).
    t : array_like
        Times, finite and >= 0, broadcast against every array in `params`. Masked
        arrays are refused (TypeError), as are None and strings: the mask would be
        ignored, and None or "1.0" read as NaN or as a number. At t = 0
        the result is f(0+), the limit of s F(s) as s grows (the initial-value
        theorem): +-inf where s F(s) grows without bound, NaN where it does not settle.
        When t or a parameter is a ``dask.array.Array``, the result is one too: lazy,
        with the inputs' chunks, each block one call of this function where Dask runs it.
    digits : int, optional
        The requested accuracy: an estimated error below ``10**-digits * |f(t)|``
        (below ``10**-digits`` where f(t) is 0). Points that miss it raise an
        :class:`AccuracyWarning`.
    method : {"auto", "gwr", "talbot", "euler", "stehfest", "hyperbola"}, optional
        ``"gwr"``: Gaver-Wynn-Rho, F sampled on the real axis; excellent for smooth f.
        ``"talbot"``: a Talbot contour, F sampled at complex s; follows oscillating f
        and poles off the real axis. ``"euler"``: the Bromwich line with Euler
        summation (Abate-Whitt), also complex. ``"stehfest"``: Gaver-Stehfest, the
        classic of well-test practice, real samples. ``"hyperbola"`` (callables
        only): one hyperbolic contour per window [t0, 10 t0] of times, so that a
        vectorized F is called once per window. ``"auto"`` (default): for
        expressions GWR, then Talbot where GWR's error estimate misses the
        tolerance, then GWR with more terms, keeping the best estimate; for
        callables, a contour method if F accepts complex s (found out by calling F
        once with s = 1+1j), else GWR.
    M : int, optional
        The method's size: Gaver terms (GWR, and half the terms of Stehfest) or
        contour nodes (Talbot, Euler's M). By default, for expressions, chosen from
        `digits` and raised (up to three or four times) at points whose error
        estimate is still above the tolerance; GWR and Stehfest then work at 2.4 M
        digits, Talbot at M and Euler at 1.2 M digits. For callables returning
        doubles: GWR tries 6, 8, 10 and 12 terms and keeps the one of least
        estimated error, Stehfest takes 16 terms; the contour rules have fixed
        sizes tuned for doubles. A given M is used as given.
    workers : int, optional
        Threads to spread the points over; default one per core, but one in the blocks
        of a Dask array and in a task of a ``distributed`` worker, where Dask's threads
        are the parallelism. Results are the same bits whatever the number.
    full_output : bool, optional
        Return an :class:`InversionResult` with the values, their estimated
        absolute errors and the method used (per point where it varies).
    output : {"float", "mpmath"}, optional
        ``"mpmath"`` returns ``mpmath.mpf`` values carrying every requested digit
        (an object array, or one mpf for scalar input).
    precision : {"double", "multi"}, optional
        For callables: ``"double"`` calls F with floats; ``"multi"`` with
        ``mpmath.mpf`` at the working precision, so that F can deliver every digit.
    vectorized : bool, optional
        For callables returning doubles: F takes one NumPy array of points per call
        (the parameters as arrays that broadcast against it) and returns an array.
    progress : callable, optional
        Called from the calling thread with the number of points done, at most every
        0.2 s counted from when its previous call returned; the work goes on in the
        worker threads meanwhile, so a slow callable delays only itself. Not for Dask
        input, whose progress Dask's own progress bars show.
    **params : array_like
        Named parameters of F, broadcast together with `t`; refused like `t` when
        None, text or masked.

    Returns
    -------
    numpy.ndarray or float or InversionResult
        f(t) as float64 in the broadcast shape (a float when every input is a
        scalar); mpmath values with ``output="mpmath"``; a Dask array (or a result
        of two) for Dask input.

    Raises
    ------
    ExpressionError
        F is a malformed expression, or names a parameter that is not given.
    ValueError
        A time is negative, NaN or infinite; the inputs do not broadcast; an
        option is out of range.
    TypeError
        t or a parameter is None, text or a masked array; a callable F returned
        something other than numbers (None, a string).
    MemoryError
        The work at these digits or M cannot fit in memory (before anything is
        allocated).

    Examples
    --------
    >>> import invlap
    >>> invlap.invert("1/(s+1)", [0.5, 1.0])
    array([0.60653066, 0.36787944])
    >>> invlap.invert("besselk(0, r*sqrt(s))/s", 1.0, r=[0.5, 1.0])
    array([1.12845495, 0.52214132])
    """
    if holds_dask_array(t, params):
        return invert_dask(F, t, params, full_output, progress, dict(
            digits=digits, method=method, M=M, workers=workers, output=output,
            precision=precision, vectorized=vectorized))
    options = _Options.check(digits, method, M, workers, output, precision)
    points = broadcast_points(t, params)
    if callable(F) and not isinstance(F, str) and not _is_sympy(F):
        value, error, texts, methods = invert_callable(F, points, options, precision,
                                                       vectorized, progress)
    else:
        if precision != "double" or vectorized:
            raise ValueError("precision and vectorized apply to callables only")
        if options.method == "hyperbola":
            raise ValueError("method 'hyperbola' applies to callables; expressions have "
                             "'talbot' and 'euler' for complex s")
        value, error, texts, methods = _invert_expression(F, points, options, progress)
    return _finish(points, value, error, texts, methods, options, full_output)


@functools.lru_cache(maxsize=256)
def native_program(compiled):
    """The engine's Program for a compiled expression, made once per expression."""
    return _engine.Program(compiled.code, compiled.constants, len(compiled.params))


class _Options:
    def __init__(self, digits, method, M, workers, output):
        self.digits, self.method, self.M, self.workers, self.output = (
            digits, method, M, workers, output)

    @classmethod
    def check(cls, digits, method, M, workers, output, precision):
        if isinstance(digits, bool) or not isinstance(digits, int) or not 1 <= digits <= MAX_DIGITS:
            raise ValueError(f"digits must be an integer from 1 to {MAX_DIGITS}, not {digits!r}")
        if method not in METHODS:
            raise ValueError(f"unknown method {method!r}; methods: {', '.join(METHODS)}")
        if M is not None and (isinstance(M, bool) or not isinstance(M, int) or M < 2):
            raise ValueError(f"M must be None or an integer >= 2, not {M!r}")
        if output not in OUTPUTS:
            raise ValueError(f"output must be one of {', '.join(OUTPUTS)}, not {output!r}")
        if precision not in PRECISIONS:
            raise ValueError(f"precision must be one of {', '.join(PRECISIONS)}, "
                             f"not {precision!r}")
        return cls(digits, method, M, resolve_workers(workers), output)


def _is_sympy(F):
    # Only an object of an already imported SymPy can be a SymPy expression.
    sympy = sys.modules.get("sympy")
    return sympy is not None and isinstance(F, sympy.Basic)


def _invert_expression(F, points, options, progress):
    compiled = compile_expression(F, points.names)
    program = native_program(compiled)
    value = np.empty(points.count)
    error = np.empty(points.count)
    codes, texts = _engine.invert_expression(
        program, points.t, points.parameters, value, error, digits=options.digits,
        m=options.M or 0, workers=options.workers, text=options.output == "mpmath",
        progress=progress, method=options.method)
    return value, error, texts, ENGINE_METHODS[np.frombuffer(codes, dtype=np.uint8)]


def _finish(points, value, error, texts, methods, options, full_output):
    missed = beyond_tolerance(value, error, options.digits)
    if missed:
        warnings.warn(f"the estimated error exceeds the tolerance of {options.digits} digits "
                      f"at {missed} of {points.count} points (full_output=True gives the "
                      "estimates)", AccuracyWarning, stacklevel=3)
    if options.output == "mpmath":
        value = _mpmath_values(texts if texts is not None else [repr(float(v)) for v in value],
                               options.digits)
    result = points.shaped(value)
    if not full_output:
        return result
    return InversionResult(result, points.shaped(error), _method_report(points, methods),
                           options.digits)


def _method_report(points, methods):
    """One name when every point used the same method, else the names per point."""
    names = set(methods.tolist())
    if len(names) == 1:
        return names.pop()
    return points.shaped(methods) if not points.scalar else methods[0]


def _mpmath_values(texts, digits):
    import mpmath
    out = np.empty(len(texts), dtype=object)
    # The texts carry digits + 10 digits; read a few more, so the conversion adds no rounding.
    with mpmath.workdps(digits + 13):
        for i, text in enumerate(texts):
            out[i] = mpmath.mpf(text)
    return out

