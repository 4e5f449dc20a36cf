"""Trust on the broad set of transform pairs (tests/trust_pairs.py), beside mpmath.

    python bench/bench_trust.py [--digits 15 30 ...] [--quick]

For each requested digits, prints per class of pairs: pairs met (every point to the
requested digits, less one), points silently wrong (value off beyond its estimate
with no warning: must be 0), the median and worst overstatement of the estimate
(estimate / true error, over points with a nonzero error), microseconds per point,
and the worst digits reached over each class by invlap's auto, mpmath's talbot and
mpmath's dehoog at the same requested digits. Then lists any pair where an mpmath
method reaches more digits (capped at the requested) than invlap. --quick skips
mpmath.
"""

import math
import statistics
import sys
import time
import warnings
from pathlib import Path

import mpmath

import invlap

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from trust_pairs import PAIRS  # noqa: E402

CLASSES = [
    ("rational", 0, 6), ("branch points", 6, 17), ("oscillation", 17, 21), ("growth", 21, 25),
    ("delays, steps", 25, 30), ("periodic", 30, 35), ("essential", 35, 38), ("Bessel", 38, 41),
    ("faded waves", 41, 45), ("cancellation", 45, 47),
]


def digits_reached(value, exact, cap):
    error = abs(mpmath.mpf(value) - exact)
    scale = abs(exact) if exact != 0 else 1
    if error == 0:
        return cap
    return min(cap, float(-mpmath.log10(error / scale)))


def mpmath_digits(F, f, times, digits, method):
    """Worst digits reached by mpmath.invertlaplace over the times (0 on failure)."""
    worst = digits
    with mpmath.workdps(digits):
        transform = eval("lambda s: " + F, {n: getattr(mpmath, n) for n in (
            "sqrt", "exp", "log", "sin", "cos", "tanh", "atan", "pi", "besselk")})
        for t in times:
            try:
                value = mpmath.invertlaplace(transform, t, method=method)
            except Exception:  # noqa: BLE001 - any failure is no digits
                return 0.0
            with mpmath.workdps(digits + 30):
                worst = min(worst, digits_reached(value, f(mpmath.mpf(t)), digits))
    return worst


def run(digits, quick):
    names = list(PAIRS)
    print(f"\n{digits} digits: auto, beside mpmath (worst digits reached, capped at {digits})")
    print(f"{'class':>14} {'met':>6} {'silent':>7} {'over med':>9} {'over max':>9} "
          f"{'us/pt':>9} {'invlap':>7}" + ("" if quick else f" {'talbot':>7} {'dehoog':>7}"))
    totals = {"met": 0, "silent": 0, "points": 0}
    overs = []
    behind = []
    for label, start, stop in CLASSES:
        met = silent = points = 0
        class_overs = []
        seconds = 0.0
        ours_worst = theirs_t = theirs_d = float(digits)
        for F in names[start:stop]:
            f, times = PAIRS[F]
            began = time.perf_counter()
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", invlap.AccuracyWarning)
                result = invlap.invert(F, times, digits=digits, full_output=True,
                                       output="mpmath" if digits > 15 else "float")
            seconds += time.perf_counter() - began
            pair_worst = float(digits)
            with mpmath.workdps(digits + 30):
                for t, value, error in zip(times, result.value, result.error):
                    exact = f(mpmath.mpf(t))
                    wrong_by = abs(mpmath.mpf(value) - exact)
                    tolerance = 10.0 ** -digits * (abs(float(value)) if value != 0 else 1)
                    if wrong_by > error and error <= tolerance:
                        silent += 1
                    if wrong_by > 0 and math.isfinite(error):
                        class_overs.append(float(error / wrong_by))
                    pair_worst = min(pair_worst, digits_reached(value, exact, digits))
                    points += 1
            met += pair_worst >= digits - 1
            ours_worst = min(ours_worst, pair_worst)
            if not quick:
                talbot = mpmath_digits(F, f, times, digits, "talbot")
                dehoog = mpmath_digits(F, f, times, digits, "dehoog")
                theirs_t, theirs_d = min(theirs_t, talbot), min(theirs_d, dehoog)
                if max(talbot, dehoog) > pair_worst + 0.5:
                    behind.append((F, pair_worst, talbot, dehoog))
        overs += class_overs
        median = statistics.median(class_overs) if class_overs else float("nan")
        worst_over = max(class_overs) if class_overs else float("nan")
        line = (f"{label:>14} {met:>2}/{stop - start:<3} {silent:>7} {median:>9.1f} "
                f"{worst_over:>9.2g} {seconds / points * 1e6:>9.0f} {ours_worst:>7.1f}")
        if not quick:
            line += f" {theirs_t:>7.1f} {theirs_d:>7.1f}"
        print(line)
        totals["met"] += met
        totals["silent"] += silent
        totals["points"] += points
    covered = sum(o >= 1 for o in overs)
    print(f"{'all':>14} {totals['met']:>2}/{len(names):<3} {totals['silent']:>7} "
          f"{statistics.median(overs):>9.1f}   (estimate covers the true error at "
          f"{covered} of {len(overs)} points with an error; goal: 0 silent)")
    for F, ours, talbot, dehoog in behind:
        print(f"  mpmath ahead on {F}: invlap {ours:.1f}, talbot {talbot:.1f}, dehoog {dehoog:.1f}")


def main():
    quick = "--quick" in sys.argv
    levels = [int(a) for a in sys.argv[1:] if a.isdigit()] or [15, 30]
    for digits in levels:
        run(digits, quick)


if __name__ == "__main__":
    main()
