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
    shifts : tuple of float
        The delays a_k taken out of F by the shift theorem, F(s) = sum_k
        exp(-a_k s) G_k(s) (periodic factors expanded into such sums for the
        times asked): each G_k was inverted at t - a_k. Empty when none were.
    """

    value: object
    error: object
    method: str
    digits: int
    shifts: tuple = ()

    def __repr__(self):
        shifts = f", shifts={self.shifts!r}" if self.shifts else ""
        return (f"InversionResult(value={self.value!r}, error={self.error!r}, "
                f"method={self.method!r}, digits={self.digits}{shifts})")


def beyond_tolerance(value, error, digits):
    """How many points miss the tolerance, NaN values included.

    The tolerance is relative, 10**-digits * |value|, except for a value of exactly 0
    (f(0+) = 0, say), where no relative error exists: there it is 10**-digits.
    """
    value = np.asarray(value, dtype=float)
    error = np.asarray(error, dtype=float)
    scale = np.where(value == 0, 1.0, np.abs(value))
    with np.errstate(invalid="ignore"):
        missed = ~(error <= 10.0 ** -digits * scale)
    missed &= ~np.isinf(value)  # an infinite f(0+) is exact
    return int(np.count_nonzero(missed))
