"""What an inversion returns besides its values, and the warning it gives."""

import dataclasses

import numpy as np

__all__ = ["AccuracyWarning", "InversionResult"]


class AccuracyWarning(UserWarning):
    """The estimated error exceeds the requested tolerance at some points.

    The message says at how many; ``invert(..., full_output=True)`` gives every
    point's estimate.
    """


@dataclasses.dataclass(frozen=True)
class InversionResult:
    """f(t) with a per-point estimate of its absolute error.

    Attributes
    ----------
    value : numpy.ndarray or float
        f(t), as ``invert`` returns it without ``full_output``.
    error : numpy.ndarray or float
        The estimated absolute error of each value (NaN where the value is NaN,
        0 where f(0+) is infinite).
    method : str or numpy.ndarray
        The method that computed the values: one name, or an object array of names
        in the values' shape where the automatic choice varied from point to point
        ("initial value" marks f(0+)).
    digits : int
        The requested digits: the tolerance is ``10**-digits * abs(value)``.
    error_log10 : numpy.ndarray or float or None
        log10 of each estimate, in the values' shape. Beyond about 300 digits an
        estimate can fall below the smallest double (2.2e-308), where `error`
        holds 0 or a subnormal number that lost its digits: there this holds the
        estimate's true size (where a method could not carry it, the log10 of
        the smallest subnormal, 5e-324, which the estimate is below). -inf where
        the estimate is exactly 0; NaN where the value is NaN. None for Dask input.
    shifts : tuple of float
        The delays a_k taken out of F by the shift theorem, F(s) = sum_k
        exp(-a_k s) G_k(s) (periodic factors expanded into such sums for the
        times asked): each G_k was inverted at t - a_k. Empty when none were.
    """

    value: object
    error: object
    method: str
    digits: int
    error_log10: object = None
    shifts: tuple = ()

    def __repr__(self):
        shifts = f", shifts={self.shifts!r}" if self.shifts else ""
        return (f"InversionResult(value={self.value!r}, error={self.error!r}, "
                f"method={self.method!r}, digits={self.digits}, "
                f"error_log10={self.error_log10!r}{shifts})")


def error_log10(error, carried):
    """log10 of the estimates: the engine's `carried` logarithm where the double
    error could not hold the estimate (None or NaN elsewhere), else of the double."""
    with np.errstate(divide="ignore", invalid="ignore"):
        logarithm = np.log10(np.asarray(error, dtype=float))
    if carried is None:
        return logarithm
    return np.where(np.isnan(carried), logarithm, carried)
