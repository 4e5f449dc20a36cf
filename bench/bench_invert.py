"""Speed and honesty of invlap.invert, beside mpmath.invertlaplace in the same run.

    python bench/bench_invert.py [--quick] [--section NAME ...]

Prints, against the goals:
  * microseconds per time point of 1/(s+1) at 15 and 30 digits on one worker, and
    mpmath's talbot, dehoog and cohen at the same digits on the same F;
  * a 1000-point log grid t in [1e-2, 1e6] of the radial-flow transform
    K0(sqrt s) / (s sqrt(s) K1(sqrt s)) at 15 digits on two workers and on one, with
    mpmath's time extrapolated from 20 of the points;
  * the error estimate's honesty on the known pairs at 15 and 30 digits: the share of
    points whose true error lies below the estimate, and the median overstatement;
  * every method on the known pairs and the radial-flow transform at 15 digits: the
    worst digits reached and microseconds per point, beside mpmath's methods;
  * "auto" against GWR alone on the smooth pairs (goal: at most 10 % slower);
  * vectorized NumPy callables on a 1000-point grid t in [1e-2, 1e2]: microseconds per
    point all-in and digits (goal: <= 2 us at >= 13 digits);
  * the Theis function K0(sqrt s)/s at early times, where f is tiny against F's
    samples: seconds per point, points met and the worst relative error, beside
    mpmath's talbot and cohen.
Sections: simple, radial, honesty, methods, auto, vectorized, early (all by default).
Each time is the best of several rounds, so that a busy machine's interruptions drop
out; ratios are taken within this one run. --quick skips mpmath.
"""

import statistics
import sys
import warnings
from pathlib import Path

import mpmath
import numpy as np

import invlap

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from transform_pairs import PAIRS, times_for  # noqa: E402

from timing import best_of  # noqa: E402

RADIAL = "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))"
GRID = np.geomspace(1e-2, 1e6, 1000)
SIMPLE_TIMES = np.linspace(0.1, 5.0, 200)


def mpmath_per_point(F, times, digits, method):
    with mpmath.workdps(digits):
        return best_of(2, lambda: [mpmath.invertlaplace(F, t, method=method) for t in times]) / len(times)


def simple_section(quick):
    print("1/(s+1), one worker, microseconds per time point (t in [0.1, 5])")
    print(f"{'digits':>6} {'invlap':>8} {'goal':>6}" + ("" if quick else
          f" {'talbot':>9} {'dehoog':>9} {'cohen':>9}   cohen/invlap"))
    for digits, goal in ((15, 15.0), (30, 60.0)):
        ours = best_of(5, lambda: invlap.invert("1/(s+1)", SIMPLE_TIMES, digits=digits,
                                                workers=1)) / SIMPLE_TIMES.size
        line = f"{digits:>6} {ours * 1e6:>8.1f} {goal:>6.0f}"
        if not quick:
            theirs = {m: mpmath_per_point(lambda s: 1 / (s + 1), SIMPLE_TIMES[::20], digits, m)
                      for m in ("talbot", "dehoog", "cohen")}
            line += "".join(f" {theirs[m] * 1e6:>9.0f}" for m in ("talbot", "dehoog", "cohen"))
            line += f"   {theirs['cohen'] / ours:>8.0f}x"
        print(line)


def radial_section(quick):
    print("\nradial flow K0(sqrt s)/(s sqrt(s) K1(sqrt s)), 1000-point log grid t in "
          "[1e-2, 1e6], 15 digits")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        two = best_of(3, lambda: invlap.invert(RADIAL, GRID, workers=2))
        one = best_of(2, lambda: invlap.invert(RADIAL, GRID, workers=1))
    print(f"  2 workers: {two:7.3f} s (goal <= 1 s)   1 worker: {one:7.3f} s   "
          f"speed-up {one / two:4.2f}x (goal >= 1.7x)")
    if not quick:
        F = lambda s: mpmath.besselk(0, mpmath.sqrt(s)) / (  # noqa: E731
            s * mpmath.sqrt(s) * mpmath.besselk(1, mpmath.sqrt(s)))
        per = mpmath_per_point(F, GRID[::50], 15, "talbot")
        print(f"  mpmath talbot: {per * 1e3:.1f} ms per point, {per * GRID.size:.0f} s for the "
              f"grid (from 20 points), {per * GRID.size / two:.0f}x invlap on 2 workers")


def honesty_section():
    print("\nerror estimate on the known pairs: share covered (goal >= 0.95), "
          "median estimate / true error (goal <= 100)")
    for digits in (15, 30):
        covered, ratios = [], []
        for expression, exact, largest in PAIRS:
            times = times_for(largest)
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", invlap.AccuracyWarning)
                result = invlap.invert(expression, times, digits=digits, output="mpmath",
                                       full_output=True)
            with mpmath.workdps(2 * digits + 20):
                errors = [float(abs(v - exact(mpmath.mpf(t))))
                          for v, t in zip(result.value, times)]
            covered += [e <= est for e, est in zip(errors, result.error)]
            ratios += [est / e for e, est in zip(errors, result.error) if e > 0]
        print(f"  {digits} digits: {sum(covered)}/{len(covered)} = "
              f"{sum(covered) / len(covered):.3f} covered, median {statistics.median(ratios):.1f}x")


def digits_of(values, exact, times, digits):
    """The fewest correct digits over the points, relative to max(|f|, 1e-30)."""
    worst = float("inf")
    with mpmath.workdps(2 * digits + 20):
        for v, t in zip(values, times):
            x = exact(mpmath.mpf(t))
            err = abs(mpmath.mpf(v) - x)
            worst = min(worst, 99.0 if err == 0 else
                        float(-mpmath.log10(err / max(abs(x), mpmath.mpf(10) ** -30))))
    return worst


def methods_section(quick):
    print("\nevery method at 15 digits: worst digits / microseconds per point, one worker")
    cases = [(e, f, times_for(largest)) for e, f, largest in PAIRS]
    names = ["gwr", "stehfest", "talbot", "euler", "auto"]
    header = f"{'F(s)':>24}" + "".join(f" {n:>14}" for n in names)
    if not quick:
        header += "".join(f" {'mp ' + n:>14}" for n in ("talbot", "dehoog", "cohen"))
    print(header)
    mp_names = {"1/(s+1)": lambda s: 1 / (s + 1), "1/s**2": lambda s: 1 / s ** 2,
                "1/sqrt(s)": lambda s: 1 / mpmath.sqrt(s),
                "exp(-sqrt(s))/s": lambda s: mpmath.exp(-mpmath.sqrt(s)) / s,
                "log(s)/s": lambda s: mpmath.log(s) / s, "1/(s*(s+1))": lambda s: 1 / (s * (s + 1)),
                "1/(s**2+1)": lambda s: 1 / (s ** 2 + 1),
                "besselk(0, sqrt(s))/s": lambda s: mpmath.besselk(0, mpmath.sqrt(s)) / s}
    for expression, exact, times in cases:
        line = f"{expression:>24}"
        for method in names:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", invlap.AccuracyWarning)
                values = invlap.invert(expression, times, method=method, output="mpmath",
                                       workers=1)
                elapsed = best_of(3, lambda: invlap.invert(expression, times, method=method,
                                                           workers=1))
            line += f" {digits_of(values, exact, times, 15):5.1f} /{elapsed / len(times) * 1e6:6.0f}"
        if not quick:
            F = mp_names[expression]
            for method in ("talbot", "dehoog", "cohen"):
                with mpmath.workdps(15):
                    values = [mpmath.invertlaplace(F, t, method=method) for t in times]
                per = mpmath_per_point(F, times, 15, method)
                line += f" {digits_of(values, exact, times, 15):5.1f} /{per * 1e6:6.0f}"
        print(line)


def auto_section():
    print("\nauto against gwr alone on the smooth pairs, 15 digits (goal: ratio <= 1.10)")
    for expression, _, largest in PAIRS[:6]:
        times = np.linspace(0.1, largest, 60)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", invlap.AccuracyWarning)
            gwr = best_of(5, lambda: invlap.invert(expression, times, method="gwr", workers=1))
            auto = best_of(5, lambda: invlap.invert(expression, times, method="auto", workers=1))
        print(f"  {expression:>16}: gwr {gwr / times.size * 1e6:7.1f} us, auto "
              f"{auto / times.size * 1e6:7.1f} us per point, ratio {auto / gwr:5.2f}")


def vectorized_section():
    from scipy.special import erfc
    print("\nvectorized NumPy callables, 1000-point grid t in [1e-2, 1e2], doubles "
          "(goal: <= 2 us per point at >= 13 digits)")
    t = np.geomspace(1e-2, 1e2, 1000)
    for name, F, f in [
            ("1/(s+1)", lambda s: 1 / (s + 1), lambda t: np.exp(-t)),
            ("1/sqrt(s)", lambda s: 1 / np.sqrt(s), lambda t: 1 / np.sqrt(np.pi * t)),
            ("exp(-sqrt(s))/s", lambda s: np.exp(-np.sqrt(s)) / s,
             lambda t: erfc(1 / (2 * np.sqrt(t)))),
            ("log(s)/s", lambda s: np.log(s) / s, lambda t: -np.euler_gamma - np.log(t))]:
        for method in ("hyperbola", "talbot"):
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", invlap.AccuracyWarning)
                elapsed = best_of(5, lambda: invlap.invert(F, t, method=method, vectorized=True))
                values = invlap.invert(F, t, method=method, vectorized=True)
            error = np.abs(values - f(t)) / np.maximum(np.abs(f(t)), 1)
            print(f"  {name:>16} {method:>9}: {elapsed / t.size * 1e6:6.2f} us per point, "
                  f"{-np.log10(error.max()):5.1f} digits (of max(|f|, 1))")


THEIS = "besselk(0, sqrt(s))/s"
EARLY_TIMES = np.geomspace(1e-3, 1e-2, 8)


def early_section(quick):
    print("\nTheis K0(sqrt s)/s at early times t in [1e-3, 1e-2] (f from 5e-112 to 2.7e-13), "
          "15 digits, one worker")
    with mpmath.workdps(60):
        exact = [mpmath.e1(1 / (4 * mpmath.mpf(t))) / 2 for t in EARLY_TIMES]

    def report(name, seconds, values):
        with mpmath.workdps(60):
            relative = [float(abs(mpmath.mpf(v) - x) / x) for v, x in zip(values, exact)]
        print(f"  {name:>14}: {seconds / EARLY_TIMES.size:8.4f} s per point, "
              f"worst relative error {max(relative):.1e}")

    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        seconds = best_of(2, lambda: invlap.invert(THEIS, EARLY_TIMES, workers=1))
        result = invlap.invert(THEIS, EARLY_TIMES, workers=1, full_output=True, output="mpmath")
    met = sum(e <= 1e-15 * abs(float(v)) for v, e in zip(result.value, result.error))
    report("invlap auto", seconds, result.value)
    print(f"  {'':>14}  {met}/{EARLY_TIMES.size} points met")
    if not quick:
        def F(s):
            return mpmath.besselk(0, mpmath.sqrt(s)) / s
        for method in ("talbot", "cohen"):
            with mpmath.workdps(15):
                values = [mpmath.invertlaplace(F, t, method=method) for t in EARLY_TIMES]
            report("mpmath " + method,
                   mpmath_per_point(F, EARLY_TIMES, 15, method) * EARLY_TIMES.size, values)


SECTIONS = {"simple": simple_section, "radial": radial_section, "honesty": honesty_section,
            "methods": methods_section, "auto": auto_section, "vectorized": vectorized_section,
            "early": early_section}


def main():
    quick = "--quick" in sys.argv
    chosen = [a for a in sys.argv[1:] if a in SECTIONS] or list(SECTIONS)
    for name in chosen:
        section = SECTIONS[name]
        if name in ("simple", "radial", "methods", "early"):
            section(quick)
        else:
            section()


if __name__ == "__main__":
    main()
