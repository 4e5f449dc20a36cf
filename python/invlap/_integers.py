"""Integer options (digits, M, workers, orders) read without narrowing.

A NumPy integer scalar is as much an integer as a Python int; a bool, a float
(even 15.0) or a string is not. Values are compared with their range as the
caller gave them, before the engine converts them to its fixed-size types.
"""

import operator

import numpy as np


def as_integer(value):
    """value as a Python int, or None when it is not an integer."""
    if isinstance(value, (bool, np.bool_)):
        return None
    try:
        return operator.index(value)
    except TypeError:
        return None


def shown(value):
    """value for a message. The decimal text of an integer of more than a few
    thousand digits is refused by the interpreter itself, so huge ones are
    described by their size."""
    number = as_integer(value)
    if number is not None and number.bit_length() > 64:
        return f"an integer of {number.bit_length()} bits"
    return repr(value)


def checked_integer(value, name, lowest, highest, allow_none=False):
    """value as an int from lowest to highest (or None when allowed), else a
    ValueError naming the option and its range in the caller's words."""
    if value is None and allow_none:
        return None
    number = as_integer(value)
    if number is None or not lowest <= number <= highest:
        prefix = "None or " if allow_none else ""
        raise ValueError(f"{name} must be {prefix}an integer from {lowest} to {highest}, "
                         f"not {shown(value)}")
    return number
