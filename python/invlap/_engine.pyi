# The engine module's functions and constants, as invlap's own modules call
# them (src/bindings/engine/init.cpp registers them). Buffers are writable
# float64 arrays, or anything else with a contiguous float64 buffer.

from collections.abc import Callable, Sequence
from typing import Final, Literal

import numpy as np
import numpy.typing as npt

MAX_DIGITS: Final[int]
MAX_WORKERS: Final[int]
MAX_M: Final[int]
progress_interval_s: Final[float]
# The engine's rules (rule_entry_points.cpp): each method as (name, samples
# "real" or "complex", usable for expressions, usable for callables), at its
# code; each function of the expression language as (name, SymPy's name,
# takes an order); the digits a value's text carries beyond those asked for.
METHODS: Final[tuple[tuple[str, str, bool, bool], ...]]
FUNCTIONS: Final[tuple[tuple[str, str, bool], ...]]
TEXT_EXTRA_DIGITS: Final[int]

_Floats = npt.NDArray[np.float64]
_Progress = Callable[[int], object] | None

class Program:
    """A compiled expression, checked and held for the engine."""

    def __new__(
        cls,
        code: Sequence[tuple[str, int, int]],
        constants: Sequence[tuple[int, int]],
        parameter_count: int,
    ) -> Program: ...

def invert_expression(
    program: Program,
    t: _Floats,
    parameters: _Floats,
    values: _Floats,
    errors: _Floats,
    digits: int = 15,
    m: int = 0,
    workers: int = 1,
    text: bool = False,
    progress: _Progress = None,
    method: Literal["gwr", "talbot", "euler", "stehfest", "auto"] = "gwr",
    error_log10: _Floats | None = None,
) -> tuple[bytes, list[str] | None]: ...
def invert_double_samples(
    t: _Floats,
    samples: _Floats,
    terms: Sequence[int],
    values: _Floats,
    errors: _Floats,
    workers: int = 1,
    progress: _Progress = None,
) -> None: ...
def invert_value_samples(
    t: float,
    samples: Sequence[float | tuple[str, int]],
    m: int,
    bits: int,
    digits: int,
) -> tuple[float, float, str, float]: ...
def bessel(
    kind: Literal["i", "k"],
    n: _Floats,
    x: _Floats,
    out: _Floats,
    digits: int = 0,
    workers: int = 1,
    text: bool = False,
    progress: _Progress = None,
) -> list[str] | None: ...
def require_value_samples_memory(m: int, bits: int) -> None: ...
def shared_contour_sums(
    t: _Floats,
    nodes: _Floats,
    weights: _Floats,
    values: _Floats,
    magnitudes: _Floats,
    workers: int = 1,
    turns: _Floats | None = None,
) -> None: ...
def gwr_levels(digits: int, m: int = 0) -> list[tuple[int, int]]: ...
def tolerance_met(value: float, error: float, digits: int, /) -> bool: ...
def tolerance_missed(values: _Floats, errors: _Floats, digits: int, /) -> int: ...
def limit_kind(
    magnitudes: Sequence[float], spread: float, same_sign: bool, digits: int, /
) -> Literal["settled", "unbounded", "unsettled"]: ...
