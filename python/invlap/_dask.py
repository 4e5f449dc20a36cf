"""invert over Dask arrays: a lazy result built blockwise, one local invert call per block.

The graph is built in the caller's process once everything that can be checked without
the values has been: the options, the expression and the shapes, so that a mistake
raises here and not on a worker. What travels to a worker is plain data: the
expression compiled here (or the caller's callable, which Dask sends with cloudpickle)
and the options. Each worker process makes the engine's program from the compiled
expression itself, once: the program holds native memory and does not pickle.
"""

import math
import sys

import numpy as np

from invlap._points import as_real_array, broadcast_shape, check_times
from invlap.expression import compile_expression
from invlap.result import InversionResult

__all__ = ["holds_dask_array", "invert_dask"]


def holds_dask_array(t, params):
    """Whether t or a parameter is a dask.array.Array."""
    # A Dask array exists only once its caller has imported dask.array, so a process
    # that has not is never made to import it here.
    array_module = sys.modules.get("dask.array")
    if array_module is None:
        return False
    return any(isinstance(x, array_module.Array) for x in (t, *params.values()))


def invert_dask(F, t, params, full_output, progress, options, invert_local):
    """invert(F, t, params=params, **options) as a lazy Dask array, or a result of
    two. invert_local(F, t, params, full_output=, progress=, **options) inverts
    arrays in memory: invert hands in its own, so that this module needs none of
    its names (and each block, run where Dask runs it, calls it directly)."""
    import dask.array as da

    if progress is not None:
        raise ValueError("progress does not apply to Dask arrays; use Dask's progress bars")
    names = tuple(params)
    arrays = [_as_dask(t, check_times)] + [
        _as_dask(params[n], lambda x, n=n: as_real_array(x, f"parameter {n!r}")) for n in names]
    shapes = [a.shape for a in arrays]
    if not any(math.isnan(d) for shape in shapes for d in shape):  # else unknown until computed
        broadcast_shape(shapes[0], names, shapes[1:])
    # The same call on no points refuses what the blocks would refuse, in the same
    # words, now rather than on a worker; its result carries the dtypes.
    empty = invert_local(F, np.empty(0), {n: np.empty(0) for n in names}, full_output=True,
                         progress=None, **options)
    dtype = (np.dtype([("value", empty.value.dtype), ("error", empty.error.dtype)])
             if full_output else empty.value.dtype)
    ndim = max(len(shape) for shape in shapes)
    # map_blocks pairs the inputs' blocks by index: rechunk them to common boundaries
    # first (the dimensions aligned from the right, as NumPy broadcasts).
    _, arrays = da.unify_chunks(*[x for a in arrays for x in (a, tuple(range(a.ndim))[::-1])])
    out = da.map_blocks(_invert_block, *arrays, dtype=dtype, meta=np.empty((0,) * ndim, dtype),
                        token="invert", F=_portable(F, names), names=names, options=options,
                        result_dtype=dtype, invert_local=invert_local)
    if full_output:
        return InversionResult(out["value"], out["error"], empty.method, empty.digits)
    return out


def _as_dask(x, check):
    """x as a Dask array: checked now unless it is one already (then in its blocks)."""
    import dask.array as da

    return x if isinstance(x, da.Array) else da.asarray(check(x))


def _portable(F, names):
    """F as it travels: an expression compiled, a callable as it is."""
    sympy = sys.modules.get("sympy")
    if isinstance(F, str) or not callable(F) or (sympy and isinstance(F, sympy.Basic)):
        return compile_expression(F, names)
    return F


def _invert_block(t, *values, F, names, options, result_dtype, invert_local, block_info=None):
    """One block of the result: a local inversion of the blocks of the inputs."""
    if options["workers"] is None:
        # Whatever scheduler runs this task runs one per thread it has: one thread
        # each keeps the cores at the count the scheduler was given.
        options = {**options, "workers": 1}
    try:
        result = invert_local(F, t, dict(zip(names, values)), full_output=True, progress=None,
                              **options)
    except ValueError as exc:
        # A bad time's index counts from the block's corner; say where the block is.
        where = ", ".join(f"{a}:{b}" for a, b in block_info[None]["array-location"])
        exc.add_note(f"in the block [{where}] of the result")
        raise
    if result_dtype.names is None:
        return np.asarray(result.value, result_dtype)
    out = np.empty(np.shape(result.value), result_dtype)
    out["value"], out["error"] = result.value, result.error
    return out
