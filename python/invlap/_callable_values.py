"""What a callable F returned, checked before it becomes a sample.

NumPy and float() would take None as NaN (in an array) and "1.5" as a number: a
transform that forgot its return statement would then give NaNs, or a string would
pass for a value. Each is refused with a TypeError naming F and what it returned.
"""

import numpy as np

__all__ = ["complex_sample", "complex_samples", "real_sample", "real_samples", "refuse_text"]


def _refusal(F, returned, wanted):
    name = getattr(F, "__qualname__", None) or type(F).__name__
    return TypeError(f"F ({name}) returned {type(returned).__name__}, not {wanted}")


def real_sample(F, value):
    """One value of F as a float."""
    if type(value) is float:  # the common case, checked first: it comes per sample
        return value
    refuse_text(F, value)
    try:
        return float(value)
    except TypeError:
        raise _refusal(F, value, "a real number") from None


def refuse_text(F, value, wanted="a real number"):
    """value, unless it is None or text (which mpmath.mpf would read as a number)."""
    if value is None or isinstance(value, (str, bytes)):
        raise _refusal(F, value, wanted)
    return value


def complex_sample(F, value):
    """One value of F as a complex."""
    if type(value) is complex:
        return value
    refuse_text(F, value, "a number")
    try:
        return complex(value)
    except TypeError:
        raise _refusal(F, value, "a number") from None


def _checked_array(F, value, wanted, kinds):
    array = np.asarray(value)
    if array.dtype.kind == "O":
        for x in array.flat:
            if x is None or isinstance(x, (str, bytes)):
                raise _refusal(F, x, wanted)
    elif array.dtype.kind not in kinds:
        raise _refusal(F, value if array.ndim == 0 else array, wanted)
    return array


def real_samples(F, value):
    """An array F returned, as float64. Complex values keep NumPy's conversion (the
    real part, with its warning), as before: on the real axis they are often real
    numbers that took a complex path."""
    array = _checked_array(F, value, "real numbers", "biufc")
    try:
        return array.astype(float, copy=False)
    except TypeError:
        raise _refusal(F, value, "real numbers") from None


def complex_samples(F, value):
    """An array (or one value) F returned, as complex128."""
    array = _checked_array(F, value, "numbers", "biufc")
    try:
        return array.astype(complex, copy=False)
    except TypeError:
        raise _refusal(F, value, "numbers") from None
