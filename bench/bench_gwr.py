"""Speed of gwr_rust per time point, beside mpmath.invertlaplace.

Plain script: `python bench/bench_gwr.py`. F(s) = 1/(s+1) in double arithmetic,
f(t) = exp(-t). The time of one point (the per-call table build taken out and
shown on its own) is split into the callback (2m calls of F, timed on their own)
and the rest: the module's arithmetic and its calling protocol. mpmath runs its
Talbot, Stehfest and de Hoog methods at 8 digits, where their errors (1e-9 to
1e-12) are comparable with gwr_rust's at m = 8 with a double F (about 1e-8).
Each figure is the best of many short runs, so that a busy machine's
interruptions drop out.
"""

import collections
import math

import mpmath

from invlap import _native
from timing import best_of

TIMES = [0.5 + 4.5 * i / 24 for i in range(25)]
MPMATH_TIMES = TIMES[::3]
REPEATS = 60
GOALS_US = {8: 8.0, 32: 100.0}


def transform(s):
    return 1.0 / (s + 1.0)


def gwr_figures(m):
    tables = best_of(REPEATS, lambda: _native.gwr_rust(transform, [], m))
    whole = best_of(REPEATS, lambda: _native.gwr_rust(transform, TIMES, m))
    total = (whole - tables) / len(TIMES)
    points = [k * math.log(2) / t for t in TIMES for k in range(1, 2 * m + 1)]
    # The callable's own cost, called from C much as the module calls it.
    callback = best_of(REPEATS, lambda: collections.deque(map(transform, points), 0)) / len(TIMES)
    error = max(abs(v - math.exp(-t))
                for v, t in zip(_native.gwr_rust(transform, TIMES, m), TIMES))
    return total, callback, tables, error


def mpmath_figures(method):
    f = lambda s: 1 / (s + 1)  # noqa: E731  (mpmath passes mpf or mpc)
    values = []
    with mpmath.workdps(8):
        elapsed = best_of(2, lambda: values.extend(
            mpmath.invertlaplace(f, t, method=method) for t in MPMATH_TIMES))
    n = len(MPMATH_TIMES)
    error = max(abs(float(v) - math.exp(-t)) for v, t in zip(values[-n:], MPMATH_TIMES))
    return elapsed / n, error


def main():
    print(f"gwr_rust, F(s) = 1/(s+1), microseconds per time point"
          f" (best of {REPEATS} calls of {len(TIMES)} points)")
    print(f"{'m':>3} {'total':>8} {'callback':>9} {'arithmetic':>11} {'tables/call':>12}"
          f" {'max error':>10} {'goal':>6}")
    gwr = {}
    for m in (8, 16, 32):
        total, callback, tables, error = gwr_figures(m)
        gwr[m] = (total, error)
        goal = f"{GOALS_US[m]:.0f}" if m in GOALS_US else "-"
        print(f"{m:3d} {total * 1e6:8.1f} {callback * 1e6:9.1f} {(total - callback) * 1e6:11.1f}"
              f" {tables * 1e6:12.1f} {error:10.1e} {goal:>6}")

    print("\nmpmath.invertlaplace at 8 digits, microseconds per time point")
    print(f"{'method':>9} {'time':>10} {'max error':>10}   time / gwr_rust at m = 8, 16, 32")
    for method in ("talbot", "stehfest", "dehoog"):
        elapsed, error = mpmath_figures(method)
        ratios = "  ".join(f"{elapsed / gwr[m][0]:7.0f}x" for m in (8, 16, 32))
        print(f"{method:>9} {elapsed * 1e6:10.1f} {error:10.1e}   {ratios}")


if __name__ == "__main__":
    main()
