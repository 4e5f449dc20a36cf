from collections.abc import Callable, Sequence
from typing import SupportsFloat, SupportsIndex

__all__: list[str]

def gwr_rust(
    fn_obj: Callable[[float], SupportsFloat | SupportsIndex],
    times: Sequence[SupportsFloat | SupportsIndex],
    m: SupportsIndex = 32,
    prec: SupportsIndex | None = None,
) -> list[float]: ...
def besseli_rust(n: SupportsIndex, x: SupportsFloat | SupportsIndex, prec: SupportsIndex = 34) -> float: ...
def besselk_rust(n: SupportsIndex, x: SupportsFloat | SupportsIndex, prec: SupportsIndex = 34) -> float: ...
