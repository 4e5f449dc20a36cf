"""The engine's rules as the Python side reads them.

The methods (their names, codes and who may ask for them), the tolerance test,
the f(0+) rule and the digits a value's text carries are decided once, in the
engine, and read here: Python keeps no copy that could drift from the engine's.
"""

import numpy as np

from invlap import _engine

# Each method's name at its code (the index the engine's results carry).
METHOD_NAMES = np.array([name for name, *_ in _engine.METHODS], dtype=object)
EXPRESSION_METHODS = tuple(name for name, _, expressions, _ in _engine.METHODS if expressions)
CALLABLE_METHODS = tuple(name for name, _, _, callables in _engine.METHODS if callables)
# What `method=` accepts, the automatic choice first.
METHODS = ("auto",) + tuple(name for name in dict.fromkeys(EXPRESSION_METHODS + CALLABLE_METHODS)
                            if name != "auto")
# The methods an expression may name that sample F off the real axis.
COMPLEX_EXPRESSION_METHODS = tuple(name for name, samples, expressions, _ in _engine.METHODS
                                   if expressions and samples == "complex" and name != "auto")

# A value's decimal text carries this many digits beyond those asked for.
TEXT_EXTRA_DIGITS = _engine.TEXT_EXTRA_DIGITS


def text_digits(digits):
    """The significant digits of a value's text at `digits` requested digits."""
    return digits + TEXT_EXTRA_DIGITS


def text_rounding_log10(digits):
    """log10 of half a unit in the last place of a text, relative to its value."""
    return np.log10(0.5) - (text_digits(digits) - 1)


def tolerance_met(value, error, digits):
    """Whether one estimate meets the tolerance of `digits` digits (the engine's test)."""
    return _engine.tolerance_met(float(value), float(error), digits)


def tolerance_missed(value, error, digits):
    """How many points miss the tolerance, NaN values included (the engine's test)."""
    value = np.ascontiguousarray(value, dtype=float).ravel()
    error = np.ascontiguousarray(error, dtype=float).ravel()
    return _engine.tolerance_missed(value, error, digits)


def limit_kind(magnitudes, spread, same_sign, digits):
    """The f(0+) rule on |s F(s)| at growing s: 'settled', 'unbounded' or 'unsettled'."""
    return _engine.limit_kind(np.asarray(magnitudes, dtype=float), float(spread),
                              bool(same_sign), digits)
