"""The points of an inversion: t and the parameters, checked and broadcast."""

import dataclasses

import numpy as np


@dataclasses.dataclass
class Points:
    """t and the parameters broadcast to one shape and flattened, C-contiguous."""

    shape: tuple
    scalar: bool          # every input was a scalar: the caller gets floats back
    t: np.ndarray         # (n,)
    parameters: np.ndarray  # (n, number of parameters)
    names: tuple

    @property
    def count(self):
        return self.t.size

    def shaped(self, flat):
        """A flat per-point array in the caller's shape (a float for scalars)."""
        if self.scalar:
            return flat[0] if flat.dtype == object else float(flat[0])
        return flat.reshape(self.shape)


def as_real_array(values, name):
    """values as a float array, refused with TypeError naming them as `name`.

    NumPy would read None as NaN and a string such as "1.0" as its number, and would
    drop a masked array's mask: each is refused instead, since each result would
    look like an answer to a question the caller did not ask.
    """
    if values is None:
        raise TypeError(f"{name} is None; give a number or an array of numbers")
    if isinstance(values, np.ma.MaskedArray):
        raise TypeError(f"{name} is a masked array, whose mask would be ignored; pass "
                        "its .compressed() values, or .filled() with a value of your choice")
    try:
        array = np.asarray(values)
        if array.dtype.kind == "O" and any(x is None or isinstance(x, (str, bytes))
                                           for x in array.flat):
            raise TypeError
        if array.dtype.kind not in "biufO":  # strings, complex numbers, dates
            raise TypeError
        array = array.astype(float, copy=False)
    except (TypeError, ValueError):
        raise TypeError(f"{name} must be real numbers or arrays of them") from None
    return array


def _index_text(array, flat_index):
    if array.ndim == 0:
        return ""
    index = np.unravel_index(flat_index, array.shape)
    return "[" + ", ".join(str(int(i)) for i in index) + "]"


def check_times(t):
    """t as a float array, refused with ValueError naming the first bad entry."""
    times = as_real_array(t, "t")
    with np.errstate(invalid="ignore"):
        bad = ~((times >= 0) & np.isfinite(times))
    if bad.any():
        first = int(np.flatnonzero(bad.ravel())[0])
        raise ValueError(f"t{_index_text(times, first)} = {float(times.ravel()[first])!r}: "
                         "times must be finite and >= 0")
    return times


def broadcast_shape(times_shape, names, shapes):
    """The shape t and the parameters (of these shapes) broadcast to, or ValueError."""
    try:
        return np.broadcast_shapes(times_shape, *shapes)
    except ValueError:
        listed = ", ".join([f"t {times_shape}"] + [f"{n} {s}" for n, s in zip(names, shapes)])
        raise ValueError(f"t and the parameters do not broadcast together: {listed}") from None


def broadcast_points(t, params):
    """Points from t (checked) and the parameters (names in the caller's order)."""
    times = check_times(t)
    names = tuple(params)
    arrays = [as_real_array(params[name], f"parameter {name!r}") for name in names]
    shape = broadcast_shape(times.shape, names, [a.shape for a in arrays])
    scalar = times.ndim == 0 and all(a.ndim == 0 for a in arrays)
    flat_t = np.ascontiguousarray(np.broadcast_to(times, shape)).reshape(-1)
    columns = [np.broadcast_to(a, shape).reshape(-1) for a in arrays]
    table = (np.ascontiguousarray(np.stack(columns, axis=1)) if columns
             else np.empty((flat_t.size, 0)))
    return Points(shape, scalar, flat_t, table, names)
