"""Expensive transforms: what the calls of a callable F cost, beside mpmath.

    python bench/bench_callables.py [--quick]

1. Values of s per time, for every method on a plain callable (one float or
   complex s a call) over 1,000 times from 1e-3 to 1e3, beside mpmath's
   invertlaplace (talbot, cohen, dehoog, stehfest; F's calls counted on a sample
   of the times), on 1/sqrt(s), exp(-sqrt(s))/s and the radial-flow ratio
   K0(sqrt s)/(s sqrt(s) K1(sqrt s)) with SciPy's Bessel functions. For auto:
   the total against the goal of 400, the points that meet 12 digits by their
   estimate, those truly right to 12 digits, and the silent ones (off beyond
   the tolerance with no flag: must be 0).
2. The finite-difference example (invlap.demo_solver) on 200 times over six
   decades: the solves alone (at the very values of s the inversion asks for)
   against the whole inversion (goal: within 1.2), and workers=2 against workers=1
   on a finer grid (goal: 1.7 times faster; SciPy's sparse solver releases the
   interpreter lock while it factors). The machine is shared:
   each figure is the best of several rounds.

--quick leaves out mpmath and takes fewer rounds; --solver runs part 2 alone.
"""

import math
import sys
import time
import warnings
from pathlib import Path

import mpmath
import numpy as np
from scipy.special import kve

import invlap
from invlap.demo_solver import radial_flow_solver

sys.path.insert(0, str(Path(__file__).resolve().parent))
from timing import best_of  # noqa: E402

TIMES = np.geomspace(1e-3, 1e3, 1000)
METHODS = ["auto", "hyperbola", "talbot", "gwr", "euler", "stehfest"]
MPMATH_METHODS = ["talbot", "cohen", "dehoog", "stehfest"]
MPMATH_TIMES = np.geomspace(1e-3, 1e3, 7)
GOAL_VALUES = 400
RADIAL = "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))"
WORKER_CELLS = 10000


def _radial(s):
    # The exponentially scaled K of SciPy: the ratio as K0/K1, without the
    # underflow of kv at large |s| (kv(0, 800) is 0.0, and 0/0 NaN).
    root = np.sqrt(s)
    return kve(0, root) / (s * root * kve(1, root))


# (name, plain F for invlap, F in mpmath, exact f at mpmath's precision or None)
TRANSFORMS = [
    ("1/sqrt(s)", lambda s: 1 / np.sqrt(s), lambda s: 1 / mpmath.sqrt(s),
     lambda t: 1 / mpmath.sqrt(mpmath.pi * t)),
    ("exp(-sqrt(s))/s", lambda s: np.exp(-np.sqrt(s)) / s,
     lambda s: mpmath.exp(-mpmath.sqrt(s)) / s,
     lambda t: mpmath.erfc(1 / (2 * mpmath.sqrt(t)))),
    ("radial flow (kve)", _radial,
     lambda s: mpmath.besselk(0, mpmath.sqrt(s)) / (s * mpmath.sqrt(s)
                                                  * mpmath.besselk(1, mpmath.sqrt(s))),
     None),
]


class Counted:
    def __init__(self, F):
        self.F = F
        self.calls = 0

    def __call__(self, s):
        self.calls += 1
        return self.F(s)


def exact_values(exact):
    if exact is None:  # the engine's own multi-precision inversion, at 20 digits
        return invlap.invert(RADIAL, TIMES, digits=20)
    with mpmath.workdps(30):
        return np.array([float(exact(mpmath.mpf(float(t)))) for t in TIMES])


def invlap_row(F, method, truth):
    counted = Counted(F)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        start = time.perf_counter()
        result = invlap.invert(counted, TIMES, method=method, full_output=True, workers=1)
        seconds = time.perf_counter() - start
    assert counted.calls == result.evaluations.calls
    met = result.error <= 1e-12 * np.abs(result.value)
    right = np.abs(result.value - truth) <= 1e-12 * np.abs(truth)
    silent = met & ~right  # a miss of 12 digits not flagged
    return counted.calls, int(met.sum()), int(right.sum()), int(silent.sum()), seconds


def mpmath_per_time(F, method):
    counted = Counted(F)
    for t in MPMATH_TIMES:
        try:
            mpmath.invertlaplace(counted, float(t), method=method)
        except Exception:  # noqa: BLE001 - a failure still counts its calls
            pass
    return counted.calls / MPMATH_TIMES.size


def evaluation_table(quick):
    print(f"1. values of s per time, plain callable, {TIMES.size} times in [1e-3, 1e3], "
          "default settings (workers=1)")
    for name, F, mp_F, exact in TRANSFORMS:
        truth = exact_values(exact)
        print(f"\n{name}")
        print(f"  {'method':<18}{'per time':>9}{'total':>8}{'met 12':>8}{'right 12':>9}"
              f"{'silent':>7}{'seconds':>9}")
        for method in METHODS:
            calls, met, right, silent, seconds = invlap_row(F, method, truth)
            goal = f"  (goal <= {GOAL_VALUES}: {'met' if calls <= GOAL_VALUES else 'missed'})" \
                if method == "auto" else ""
            print(f"  {'invlap ' + method:<18}{calls / TIMES.size:>9.3f}{calls:>8}{met:>8}"
                  f"{right:>9}{silent:>7}{seconds:>9.3f}{goal}")
        if not quick:
            for method in MPMATH_METHODS:
                per = mpmath_per_time(mp_F, method)
                print(f"  {'mpmath ' + method:<18}{per:>9.1f}{per * TIMES.size:>8.0f}")


def solver_timings(rounds):
    t = np.geomspace(1e-2, 1e4, 200)
    F = radial_flow_solver()
    asked = []

    def recorded(s):
        asked.append(s)
        return F(s)
    invlap.invert(recorded, t, digits=8, workers=1)
    # The solves alone, at the very values of s the inversion asks for (a real
    # s solves a real system, faster than a complex one), against the whole
    # inversion, in alternate rounds so that the machine's load falls on both.
    solves, runs = [], []
    for _ in range(rounds):
        solves.append(best_of(1, lambda: [F(s) for s in asked]))
        runs.append(best_of(1, lambda: invlap.invert(F, t, digits=8, workers=1)))
    solves, one = min(solves), min(runs)
    # The same from inside one run, free of the rounds' differing loads:
    # invlap's own time is the whole call's less the time spent waiting for F.
    counted = invlap.invert(F, t, digits=8, workers=1, full_output=True).evaluations
    exact = invlap.invert(RADIAL, t)
    homogeneous = invlap.invert(radial_flow_solver(skin_permeability=1.0), t, digits=8)
    worst = float(np.max(np.abs(homogeneous - exact) / exact))
    print("\n2. the finite-difference example (2000 cells, skin zone), 200 times in [1e-2, 1e4]")
    print(f"  {len(asked)} solves, {1e3 * solves / len(asked):.2f} ms each on average, "
          f"{solves:.2f} s alone; the inversion with workers=1 {one:.2f} s = "
          f"{one / solves:.2f} x the solves' own time (goal <= 1.2)")
    print(f"  in one run: {counted.seconds:.2f} s, of which {counted.seconds_in_F:.2f} s in F: "
          f"{counted.seconds / counted.seconds_in_F:.3f} x the time in F")
    print(f"  without skin against the closed form: largest relative difference {worst:.1e} "
          "(the grid's error)")
    # spsolve holds the lock for about a millisecond of checks per call (on
    # this machine) and releases it for the factorization: at WORKER_CELLS
    # the lock's share is a few percent, as it is for a real solver's grid.
    F = radial_flow_solver(cells=WORKER_CELLS)
    runs = {1: [], 2: []}
    for _ in range(rounds):
        for workers in (1, 2):
            runs[workers].append(best_of(1, lambda: invlap.invert(
                F, t, digits=8, workers=workers)))
    one, two = min(runs[1]), min(runs[2])
    print(f"  at {WORKER_CELLS} cells: workers=1 {one:.2f} s, workers=2 {two:.2f} s: "
          f"{one / two:.2f} x faster (goal >= 1.7; {_load()})")


def _load():
    try:
        return f"load average {open('/proc/loadavg').read().split()[0]} on " \
               f"{len(__import__('os').sched_getaffinity(0))} cores"
    except OSError:
        return "load unknown"


def main():
    quick = "--quick" in sys.argv
    if "--solver" not in sys.argv:
        evaluation_table(quick)
    solver_timings(2 if quick else 4)


if __name__ == "__main__":
    main()
