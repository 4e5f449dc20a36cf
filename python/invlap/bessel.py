"""The modified Bessel functions I_n(x) and K_n(x) of integer order, over arrays."""

from typing import Any, Literal

import numpy as np
from numpy.typing import ArrayLike

from invlap import _engine
from invlap._integers import checked_integer
from invlap._workers import resolve_workers

__all__ = ["besseli", "besselk"]

MAX_ORDER = 10 ** 6
MAX_DIGITS = _engine.MAX_DIGITS


def besseli(n: ArrayLike, x: ArrayLike, digits: int | None = None, *,
            workers: int | None = None, output: Literal["float", "mpmath"] = "float") -> Any:
    """Modified Bessel function of the first kind, I_n(x), for integer n >= 0.

    Parameters
    ----------
    n : array_like of int
        Orders, integers from 0 to 10**6.
    x : array_like of float
        Arguments, broadcast against `n`. I_n(-x) = (-1)^n I_n(x).
    digits : int, optional
        None (default): every value is the correctly rounded double of I_n(x):
        a Taylor expansion in double-word arithmetic with a proven error bound
        settles almost every point, and the rest are computed at rising
        precision until the rounding is certain.
        An integer: computed at that many decimal digits.
    workers : int, optional
        Threads; default one per core.
    output : {"float", "mpmath"}, optional
        ``"mpmath"`` with `digits` gives ``mpmath.mpf`` values carrying every digit.

    Returns
    -------
    numpy.ndarray or float
        float64 values of the broadcast shape (a float for scalar input).

    Examples
    --------
    >>> import invlap
    >>> invlap.besseli(0, 1.0)
    1.2660658777520084
    >>> invlap.besseli([0, 1, 2], 2.5)
    array([3.28983914, 2.51671625, 1.27646615])
    """
    return _bessel("i", n, x, digits, workers, output)


def besselk(n: ArrayLike, x: ArrayLike, digits: int | None = None, *,
            workers: int | None = None, output: Literal["float", "mpmath"] = "float") -> Any:
    """Modified Bessel function of the second kind, K_n(x), for integer n >= 0.

    Parameters
    ----------
    n : array_like of int
        Orders, integers from 0 to 10**6.
    x : array_like of float
        Arguments, broadcast against `n`. K_n(0) = inf; K_n is NaN for x < 0.
    digits : int, optional
        None (default): every value is the correctly rounded double of K_n(x),
        found as for `besseli`.
        An integer: computed at that many decimal digits.
    workers : int, optional
        Threads; default one per core.
    output : {"float", "mpmath"}, optional
        ``"mpmath"`` with `digits` gives ``mpmath.mpf`` values carrying every digit.

    Returns
    -------
    numpy.ndarray or float
        float64 values of the broadcast shape (a float for scalar input).

    Examples
    --------
    >>> import invlap
    >>> invlap.besselk(0, 1.0)
    0.42102443824070834
    >>> invlap.besselk(1, [1.0, 30.0])
    array([6.0190723e-01, 2.1677320e-14])
    """
    return _bessel("k", n, x, digits, workers, output)


def _orders(n):
    orders = np.asarray(n)
    if orders.dtype.kind not in "iuf" or orders.dtype.kind == "f" and not np.all(
            np.isfinite(orders)):
        raise TypeError("n must be integers")
    values = orders.astype(float)
    bad = (values != np.floor(values)) | (values < 0) | (values > MAX_ORDER)
    if bad.any():
        first = int(np.flatnonzero(bad.ravel())[0])
        where = "" if orders.ndim == 0 else "[" + ", ".join(
            str(int(i)) for i in np.unravel_index(first, orders.shape)) + "]"
        raise ValueError(f"n{where} = {orders.ravel()[first].item()!r}: orders must be integers "
                         f"from 0 to {MAX_ORDER}")
    return values


def _bessel(kind, n, x, digits, workers, output):
    digits = checked_integer(digits, "digits", 1, MAX_DIGITS, allow_none=True)
    if output not in ("float", "mpmath"):
        raise ValueError(f"output must be one of float, mpmath, not {output!r}")
    orders = _orders(n)
    try:
        arguments = np.asarray(x, dtype=float)
    except (TypeError, ValueError):
        raise TypeError("x must be real numbers or arrays of them") from None
    shape = np.broadcast_shapes(orders.shape, arguments.shape)
    flat_n = np.ascontiguousarray(np.broadcast_to(orders, shape)).reshape(-1)
    flat_x = np.ascontiguousarray(np.broadcast_to(arguments, shape)).reshape(-1)
    out = np.empty(flat_x.size)
    texts = _engine.bessel(kind, flat_n, flat_x, out, digits=digits or 0,
                           workers=resolve_workers(workers), text=output == "mpmath")
    if output == "mpmath":
        import mpmath
        values = np.empty(out.size, dtype=object)
        with mpmath.workdps((digits or 17) + 13):
            for i, text in enumerate(texts):
                values[i] = mpmath.mpf(text)
        return values[0] if not shape else values.reshape(shape)
    return float(out[0]) if not shape else out.reshape(shape)
