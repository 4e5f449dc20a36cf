"""invlap.invert: the inverse Laplace transform f(t) of a transform F(s)."""

import functools
import inspect
import math
import re
import sys
import warnings
from collections.abc import Callable, Mapping
from typing import Any, Literal, overload

import numpy as np
from numpy.typing import ArrayLike

from invlap import _engine
from invlap._callables import invert_callable
from invlap._dask import holds_dask_array, invert_dask
from invlap._integers import checked_integer
from invlap._points import broadcast_points
from invlap._workers import resolve_workers
from invlap._parameter_delays import invert_by_parameter_sets
from invlap._shift_sum import invert_shifted, shifted_times_exact
from invlap._causal import grows_exponentially
from invlap._shifts import decompose, may_delay
from invlap.expression import CompiledExpression, compile_expression
from invlap._rules import (COMPLEX_EXPRESSION_METHODS, EXPRESSION_METHODS, METHOD_NAMES,
                           METHODS, text_digits, text_rounding_log10,
                           tolerance_missed)
from invlap.result import AccuracyWarning, InversionResult, error_log10

__all__ = ["invert"]

OUTPUTS = ("float", "mpmath")
PRECISIONS = ("double", "multi")
MAX_DIGITS = _engine.MAX_DIGITS
DEFAULT_DIGITS = 15
DOUBLE_CALLABLE_DIGITS = 12
# The shift theorem's interpolation between doubles (_shift_sum.py) holds to
# about 55 digits: beyond, it is taken only where every shifted time is a
# double itself (a whole delay, as a periodic wave's, at times such as 6.5).
MAX_SHIFT_DIGITS = 50
# log10 of half the least subnormal double, 2^-1075.
UNDERFLOW_LOG10 = -1075 * math.log10(2.0)


# invert's own keywords: a parameter of F of one of these names goes in params=.
OPTION_DEFAULTS = {"digits": None, "method": "auto", "M": None, "workers": None,
                   "full_output": False, "output": "float", "precision": "double",
                   "vectorized": False, "progress": None, "params": None}
Progress = Callable[[int], object]


@overload
def invert(F: Any, t: ArrayLike, *, digits: int | None = ..., method: str = ...,
           M: int | None = ..., workers: int | None = ..., full_output: Literal[True],
           output: str = ..., precision: str = ..., vectorized: bool = ...,
           progress: Progress | None = ..., params: Mapping[str, ArrayLike] | None = ...,
           **parameters: ArrayLike) -> InversionResult: ...
# Without full_output: an ndarray, a float for scalar input, mpf values or a
# Dask array, as the inputs and `output` decide.
@overload
def invert(F: Any, t: ArrayLike, *, digits: int | None = ..., method: str = ...,
           M: int | None = ..., workers: int | None = ..., full_output: Literal[False] = ...,
           output: str = ..., precision: str = ..., vectorized: bool = ...,
           progress: Progress | None = ..., params: Mapping[str, ArrayLike] | None = ...,
           **parameters: ArrayLike) -> Any: ...
def invert(F: Any, t: ArrayLike, *, digits: int | None = None, method: str = "auto",
           M: int | None = None, workers: int | None = None, full_output: bool = False,
           output: str = "float", precision: str = "double", vectorized: bool = False,
           progress: Progress | None = None, params: Mapping[str, ArrayLike] | None = None,
           **parameters: ArrayLike) -> Any:
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
        (below ``10**-digits`` where f(t) is 0), from 1 to 10000. Points that miss
        it raise an :class:`AccuracyWarning`. By default 15 for expressions and for
        callables with ``precision="multi"``, and 12 for callables returning doubles:
        F's own rounding, magnified by any inversion, leaves doubles about 12 to 14
        digits, and a tolerance they cannot meet would warn at every point. Here and
        in `M` and `workers`, a NumPy integer scalar is as good as an int.
    method : {"auto", "gwr", "talbot", "euler", "stehfest", "hyperbola"}, optional
        ``"gwr"``: Gaver-Wynn-Rho, F sampled on the real axis; excellent for smooth f.
        ``"talbot"``: a Talbot contour, F sampled at complex s; follows oscillating f
        and poles off the real axis. ``"euler"``: the Bromwich line with Euler
        summation (Abate-Whitt), also complex. ``"stehfest"``: Gaver-Stehfest, the
        classic of well-test practice, real samples. ``"hyperbola"`` (callables
        only): one hyperbolic contour per window of times, each value of F shared
        by every time of its window: windows [t0, 10 t0], or, where the probes find
        no singularity off the real axis, one window up to [t0, 10^6 t0] and decades
        for the times it cannot meet. ``"auto"`` (default): for
        expressions, delays and periodic factors first taken out by the shift
        theorem (``InversionResult.shifts``); then GWR where every singularity of F
        lies left of its first sample ln2/t, Talbot where its contour provably
        encloses the singularities that matter, the Bromwich line placed right of
        them, keeping the candidate of least relative error; for callables, a
        contour method if F accepts complex s (found out by calling F once with
        s = 1+1j), placed by probes of F for its singularities, else GWR; the
        contour is the hyperbola, whose nodes serve a whole window of times, so
        that F is asked for few values of s (about 1,150 for 1000 times over six
        decades on 1/sqrt(s), most of them the probes' and the checks'). A method
        that cannot be vouched for at a point gives an infinite estimate there.
    M : int, optional
        The method's size: Gaver terms (GWR, and half the terms of Stehfest) or
        contour nodes (Talbot, Euler's M). By default, for expressions, chosen from
        `digits` and raised (up to three or four times) at points whose error
        estimate is still above the tolerance; GWR and Stehfest then work at 2.4 M
        digits, Talbot at M and Euler at 1.2 M digits. For callables returning
        doubles: GWR tries 6, 8, 10 and 12 terms and keeps the one of least
        estimated error, Stehfest takes 8 (16 terms, at most 30); the contour
        rules (talbot, euler, hyperbola, and auto, which picks one) have fixed
        sizes tuned for doubles and refuse a given M. Otherwise a given M, an
        integer from 2 to ``invlap._engine.MAX_M`` (538714159: the largest whose
        precision MPFR can hold), is used as given.
    workers : int, optional
        Threads to spread the points over; default one per core, but one in the blocks
        of a Dask array and in a task of a ``distributed`` worker, where Dask's threads
        are the parallelism. At most 4096. Results are the same bits whatever the
        number. For a plain callable F (not `vectorized`) returning doubles, a
        `workers` given spreads the values of s F is asked for over the threads,
        each in a copy of the caller's context (NumPy's errstate holds); by
        default F is called from the calling thread only, as an F that is not
        thread-safe (a solver reusing one workspace) needs. That helps
        where F releases the interpreter lock while it works, as NumPy on large
        arrays, SciPy's sparse solvers and compiled code do: a finite-difference
        solve per s then runs on every core. A pure-Python F holds the lock
        throughout, so its calls take turns and one worker is as fast. A
        vectorized F gets each array of s whole, in one call.
    full_output : bool, optional
        Return an :class:`InversionResult` with the values, their estimated
        absolute errors, the method used (per point where it varies) and the
        estimates' logarithms, which hold those below the smallest double.
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
        worker threads meanwhile, so a slow callable delays only itself. For a
        callable F returning doubles it counts the values of s F has given, the
        cost that matters for an expensive F; a `progress` that takes two
        arguments then also gets the estimated total, ``progress(done, total)``,
        made before F is first called (it grows where the work does). Not for Dask
        input, whose progress Dask's own progress bars show.
    params : mapping of str to array_like, optional
        Named parameters of F, as in `**parameters`; the only way to give one
        whose name is also one of this function's keywords (``M``, ``digits``,
        ``method``, ... ``params``): ``invert("1/(s+M)", t, params={"M": 2.0})``.
    **parameters : array_like
        Named parameters of F, broadcast together with `t`; refused like `t` when
        None, text or masked. A keyword that sets an option while F also names a
        parameter so is refused (TypeError): it would set the option.

    Returns
    -------
    numpy.ndarray or float or InversionResult
        f(t) as float64 in the broadcast shape (a float when every input is a
        scalar); mpmath values with ``output="mpmath"``; a Dask array (or a result
        of two) for Dask input. For a callable F, ``InversionResult.evaluations``
        says how many calls of F and values of s the inversion took, and how much
        of the time went to F.

    Raises
    ------
    ExpressionError
        F is a malformed expression, or names a parameter that is not given.
    ValueError
        A time is negative, NaN or infinite; the inputs do not broadcast; an
        option is out of range.
    TypeError
        t or a parameter is None, text or a masked array; a callable F returned
        something other than numbers (None, a string); a parameter is given twice,
        or under an option's name (it belongs in `params`).
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
    >>> invlap.invert("1/(s+M)", [0.5, 2.0], params={"M": 2.0})
    array([0.36787944, 0.01831564])
    """
    given = dict(digits=digits, method=method, M=M, workers=workers, full_output=full_output,
                 output=output, precision=precision, vectorized=vectorized, progress=progress)
    named = _gathered_parameters(F, params, parameters, given)
    options = dict(digits=digits, method=method, M=M, workers=workers, output=output,
                   precision=precision, vectorized=vectorized)
    if holds_dask_array(t, named):
        return invert_dask(F, t, named, full_output, progress, options, _invert_local)
    return _invert_local(F, t, named, full_output=full_output, progress=progress, **options)


def _invert_local(F, t, params, *, digits, method, M, workers, full_output, output, precision,
                  vectorized, progress):
    """invert on arrays in memory, the parameters in one dict: what each block of
    a Dask array runs too."""
    if digits is None:
        digits = DOUBLE_CALLABLE_DIGITS if _takes_doubles(F, precision) else DEFAULT_DIGITS
    options = _Options.check(digits, method, M, workers, output, precision)
    points = broadcast_points(t, params)
    if callable(F) and not isinstance(F, str) and not _is_sympy(F):
        # F is called from threads only when asked: a solver that reuses its own
        # workspace would give wrong values if two threads shared it.
        calling_threads = 1 if workers is None else options.workers
        value, error, texts, methods, carried, evaluations = invert_callable(
            F, points, options, precision, vectorized, progress, calling_threads)
        return _finish(points, value, error, texts, methods, options, full_output, carried,
                       evaluations=evaluations)
    else:
        if precision != "double" or vectorized:
            raise ValueError("precision and vectorized apply to callables only")
        if options.method not in EXPRESSION_METHODS:
            complex_ones = " and ".join(repr(name) for name in COMPLEX_EXPRESSION_METHODS)
            raise ValueError(f"method {options.method!r} applies to callables; expressions "
                             f"have {complex_ones} for complex s")
        shifted = _shifted(F, points, options)
        if shifted is not None:
            value, error, texts, methods = invert_shifted(
                shifted, points, options,
                lambda G, part, o: _invert_expression(G, part, o, None)[:4])
            return _finish(points, value, error, texts, methods, options, full_output, None,
                           shifted.delays)
        by_sets = _by_parameter_sets(F, points, options)
        if by_sets is not None:
            value, error, texts, methods, carried, delays = by_sets
            return _finish(points, value, error, texts, methods, options, full_output, carried,
                           delays)
        value, error, texts, methods, carried = _invert_expression(F, points, options, progress)
    return _finish(points, value, error, texts, methods, options, full_output, carried)


def _gathered_parameters(F, params, keywords, given):
    """params and the keyword parameters in one dict, refusing a name given
    twice, and an option given where F names a parameter so: the caller who
    wrote M=1.0 for F's M would otherwise set the method's size."""
    if params is None:
        params = {}
    elif not isinstance(params, Mapping):
        raise TypeError(f"params must be a mapping of names to values, not "
                        f"{type(params).__name__}")
    twice = sorted(set(params) & set(keywords))
    if twice:
        raise TypeError(f"parameter {twice[0]!r} is given both in params= and as a keyword")
    names = _parameter_names(F)
    for option, value in given.items():
        if value is not OPTION_DEFAULTS[option] and option in names and option not in params:
            raise TypeError(
                f"{option}={value!r} sets invert's option {option!r}, and F also has a "
                f"parameter {option!r}: give the parameter as params={{{option!r}: ...}} "
                f"(params={{{option!r}: {value!r}}} if that value was meant for F)")
    return {**params, **keywords}


def _parameter_names(F):
    """The names F could read as parameters (a superset: a string's every
    identifier), or an empty set where they cannot be told."""
    if isinstance(F, str):
        return set(re.findall(r"[^\W\d]\w*", F))
    if isinstance(F, CompiledExpression):
        return set(F.params)
    if _is_sympy(F):
        return {symbol.name for symbol in F.free_symbols}
    if callable(F):
        try:
            signature = inspect.signature(F)
        except (TypeError, ValueError):  # some builtins have none
            return set()
        # A parameter with a default may be meant to keep it, the keyword
        # then setting the option; one without must come from somewhere.
        return {p.name for p in list(signature.parameters.values())[1:]
                if p.kind in (p.POSITIONAL_OR_KEYWORD, p.KEYWORD_ONLY) and p.default is p.empty}
    return set()


@functools.lru_cache(maxsize=256)
def _native_program(compiled):
    """The engine's Program for a compiled expression, made once per expression."""
    return _engine.Program(compiled.code, compiled.constants, len(compiled.params))


class _Options:
    def __init__(self, digits, method, M, workers, output):
        self.digits, self.method, self.M, self.workers, self.output = (
            digits, method, M, workers, output)

    @classmethod
    def check(cls, digits, method, M, workers, output, precision):
        digits = checked_integer(digits, "digits", 1, MAX_DIGITS)
        if method not in METHODS:
            raise ValueError(f"unknown method {method!r}; methods: {', '.join(METHODS)}")
        M = checked_integer(M, "M", 2, _engine.MAX_M, allow_none=True)
        if output not in OUTPUTS:
            raise ValueError(f"output must be one of {', '.join(OUTPUTS)}, not {output!r}")
        if precision not in PRECISIONS:
            raise ValueError(f"precision must be one of {', '.join(PRECISIONS)}, "
                             f"not {precision!r}")
        return cls(digits, method, M, resolve_workers(workers), output)


def _takes_doubles(F, precision):
    return (callable(F) and not isinstance(F, (str, CompiledExpression)) and not _is_sympy(F)
            and precision == "double")


def _is_sympy(F):
    # Only an object of an already imported SymPy can be a SymPy expression.
    sympy = sys.modules.get("sympy")
    return sympy is not None and isinstance(F, sympy.Basic)


def _shifted(F, points, options):
    """F's decomposition into delayed terms, for the automatic choice only (a
    method asked for by name is used as asked), or None."""
    if options.method != "auto" or options.M is not None:
        return None
    compiled = compile_expression(F, points.names)  # checks F before anything else
    positive = points.t[points.t > 0]
    if positive.size == 0:
        return None
    shifted = decompose(_printed_text(F, compiled), points.names, float(positive.max()),
                        options.digits + 20)
    if shifted is None:
        return None
    if options.digits > MAX_SHIFT_DIGITS and not shifted_times_exact(shifted, positive,
                                                                     options.digits + 20):
        return None
    rows = np.unique(points.parameters, axis=0) if points.names else np.empty((1, 0))
    for text in shifted.factors:
        for row in rows:
            if grows_exponentially(text, dict(zip(points.names, row.tolist()))):
                return None  # not a causal g: the ordinary methods judge F
    return shifted


def _by_parameter_sets(F, points, options):
    """F inverted set by set of parameter values where a delay depends on a
    parameter (see _parameter_delays.py), or None."""
    if options.method != "auto" or options.M is not None or not points.names:
        return None
    text = _printed_text(F, compile_expression(F, points.names))
    if not may_delay(text):
        return None
    return invert_by_parameter_sets(
        text, points, lambda G, part: _shifted(G, part, options),
        lambda shifted, part: invert_shifted(
            shifted, part, options, lambda G, p, o: _invert_expression(G, p, o, None)[:4]),
        lambda G, part: _invert_expression(G, part, options, None))


def _printed_text(F, compiled):
    """The text the compiler read: F itself, or a SymPy expression as printed."""
    if isinstance(F, str):
        return F
    if isinstance(F, CompiledExpression):
        return compiled.source
    from invlap._expression.from_sympy import sympy_printer, sympy_text
    return sympy_printer()(compiled.params, sympy_text(F)).doprint(F)


def _invert_expression(F, points, options, progress):
    compiled = compile_expression(F, points.names)
    program = _native_program(compiled)
    value = np.empty(points.count)
    error = np.empty(points.count)
    carried = np.empty(points.count)
    codes, texts = _engine.invert_expression(
        program, points.t, points.parameters, value, error, digits=options.digits,
        m=options.M or 0, workers=options.workers, text=options.output == "mpmath",
        progress=progress, method=options.method, error_log10=carried)
    return value, error, texts, METHOD_NAMES[np.frombuffer(codes, dtype=np.uint8)], carried


def _finish(points, value, error, texts, methods, options, full_output, carried, shifts=(),
            evaluations=None):
    # The tolerance judges the value as computed; the estimate reported covers
    # the value as returned, its final rounding included (a float64 cannot
    # carry more than about 16 digits, whatever digits asked for).
    missed = tolerance_missed(value, error, options.digits, carried)
    # A value past the double range overflows to +-inf, as a double must, and
    # as returned it is off by everything: its estimate is infinite too (at
    # t = 0, +-inf is f(0+) itself). 1/(s**4-1) at t = 712 came back as inf
    # with the estimate of its 300 right digits, 3e-136.
    overflowed = (options.output != "mpmath") & (points.t > 0) & np.isinf(value)
    if options.output == "mpmath":
        value = _mpmath_values(texts if texts is not None else [repr(float(v)) for v in value],
                               options.digits)
    estimated = error_log10(error, carried)
    rounding = np.where(overflowed, np.inf, _returned_rounding_log10(value, options))
    # A value below the double range underflows to 0, within half the least
    # subnormal: 1/(sqrt(s)*sinh(sqrt(s))) at t = 1e-4 is 2e-1084, returned as
    # 0.0 with the estimate of its own digits, 1e-1086. An exact 0 (before a
    # delay) has an estimate of 0, and keeps it.
    underflowed = ((options.output != "mpmath") & (points.t > 0) & (np.asarray(value) == 0)
                   & (estimated > -np.inf))
    rounding = np.where(underflowed, UNDERFLOW_LOG10, rounding)
    logarithm = _log10_sum(estimated, rounding)
    with np.errstate(over="ignore", under="ignore"):
        error = error + 10.0 ** rounding
    # Where the sum is an ordinary double, its own logarithm (the same bits as
    # log10(error)); below and above the double range, the sum taken in logarithms.
    with np.errstate(divide="ignore", invalid="ignore"):
        logarithm = np.where((error >= np.finfo(float).tiny) & np.isfinite(error),
                             np.log10(error), logarithm)
    if missed:
        warnings.warn(f"the estimated error exceeds the tolerance of {options.digits} digits "
                      f"at {missed} of {points.count} points (full_output=True gives the "
                      "estimates)", AccuracyWarning, stacklevel=4)  # invert's caller
    result = points.shaped(value)
    if not full_output:
        return result
    return InversionResult(result, points.shaped(error), _method_report(points, methods),
                           options.digits, points.shaped(logarithm), shifts, evaluations)


def _returned_rounding_log10(value, options):
    """log10 of the rounding of each value into what `invert` returns: half a unit
    in the last place of a float64, or half a unit of the last of the text's
    digits an mpf is read from (-inf where the value is 0 or not finite)."""
    if options.output == "mpmath":
        import mpmath  # the values are mpf: their size may lie beyond the doubles'
        return np.array([text_rounding_log10(options.digits) + float(mpmath.log10(abs(v)))
                         if mpmath.isfinite(v) and v != 0 else -np.inf for v in value])
    magnitude = np.abs(np.asarray(value, dtype=float))
    with np.errstate(divide="ignore", invalid="ignore"):
        # Halved in logarithms: half the spacing of a subnormal can be no double.
        logarithm = np.log10(np.spacing(magnitude)) - math.log10(2.0)
    return np.where(np.isfinite(magnitude) & (magnitude > 0), logarithm, -np.inf)


def _log10_sum(a, b):
    """log10(10^a + 10^b), elementwise, without leaving the logarithms."""
    high = np.maximum(a, b)
    low = np.minimum(a, b)
    with np.errstate(invalid="ignore", over="ignore"):
        return np.where(np.isinf(low), high, high + np.log10(1 + 10.0 ** (low - high)))


def _method_report(points, methods):
    """One name when every point used the same method, else the names per point."""
    names = set(methods.tolist())
    if len(names) == 1:
        return names.pop()
    return points.shaped(methods) if not points.scalar else methods[0]


def _mpmath_values(texts, digits):
    import mpmath
    out = np.empty(len(texts), dtype=object)
    # Read the texts with a few digits more than they carry, so the conversion adds no rounding.
    with mpmath.workdps(text_digits(digits) + 3):
        for i, text in enumerate(texts):
            out[i] = mpmath.mpf(text)
    return out

