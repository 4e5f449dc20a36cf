"""invlap.invert at high digits, beside mpmath.invertlaplace in the same run.

    python bench/bench_digits.py [--digits 100,200,500,1000] [--radial-digits 100,200]
                                 [--mpmath-radial]

For each transform and digits, on one worker with default settings (method "auto"):
  * CPU seconds per time point, t in {0.1, 1, 10} (two of them at 1000 digits), the
    best of two rounds (the first call also makes the contour's nodes, which later
    calls share: its time is printed beside);
  * the digits reached, against closed forms (or, for the radial-flow ratio, against
    GWR at 20 more digits, an independent method), which must be >= those asked for;
  * mpmath's talbot and cohen (dehoog up to 200 digits) on the same F and times, at
    mpmath.mp.dps = digits, one round each;
  * the goal: faster than every mpmath method, and a growth exponent of cost against
    digits (first to last level) no larger than mpmath cohen's.
CPU time rather than wall time: the machine is shared, and CPU time is what each side
spends. mpmath on the radial-flow ratio takes minutes per point from 100 digits (its
complex Bessel K), so it runs only with --mpmath-radial, at the first radial digits.
"""

import argparse
import math
import time
import warnings

import mpmath

import invlap

RADIAL = "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))"

# name: (expression, F for mpmath, closed form of f or None)
TRANSFORMS = {
    "1/(s+1)": ("1/(s+1)", lambda s: 1 / (s + 1), lambda t: mpmath.exp(-t)),
    "1/sqrt(s)": ("1/sqrt(s)", lambda s: 1 / mpmath.sqrt(s),
                  lambda t: 1 / mpmath.sqrt(mpmath.pi * t)),
    "exp(-sqrt(s))/s": ("exp(-sqrt(s))/s", lambda s: mpmath.exp(-mpmath.sqrt(s)) / s,
                        lambda t: mpmath.erfc(1 / (2 * mpmath.sqrt(t)))),
    "1/(s**2+1)": ("1/(s**2+1)", lambda s: 1 / (s * s + 1), lambda t: mpmath.sin(t)),
    "radial ratio": (RADIAL, lambda s: mpmath.besselk(0, mpmath.sqrt(s)) / (
        s * mpmath.sqrt(s) * mpmath.besselk(1, mpmath.sqrt(s))), None),
}


def times_for(digits):
    return [0.1, 10.0] if digits >= 1000 else [0.1, 1.0, 10.0]


def cpu(fn):
    start = time.process_time()
    out = fn()
    return time.process_time() - start, out


def invlap_row(expression, closed_form, digits):
    ts = times_for(digits)

    def call():
        return invlap.invert(expression, ts, digits=digits, workers=1, output="mpmath",
                             full_output=True)

    first, result = cpu(call)
    second, result = cpu(call)
    with mpmath.workdps(digits + 40):
        if closed_form is not None:
            reference = [closed_form(mpmath.mpf(t)) for t in ts]
        else:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                reference = invlap.invert(expression, ts, digits=digits + 20, method="gwr",
                                          workers=1, output="mpmath")
        reached = min(-float(mpmath.log10(abs((v - r) / r))) if v != r else math.inf
                      for v, r in zip(result.value, reference))
    method = result.method if isinstance(result.method, str) else "/".join(
        sorted(set(result.method.tolist())))
    return min(first, second) / len(ts), first / len(ts), reached, method


def mpmath_row(F, digits, method):
    ts = times_for(digits)
    with mpmath.workdps(digits):
        seconds, _ = cpu(lambda: [mpmath.invertlaplace(F, t, method=method) for t in ts])
    return seconds / len(ts)


def exponent(costs, digits):
    if len(costs) < 2 or None in (costs[0], costs[-1]):
        return None
    return math.log(costs[-1] / costs[0]) / math.log(digits[-1] / digits[0])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--digits", default="100,200,500,1000")
    parser.add_argument("--radial-digits", default="100,200")
    parser.add_argument("--mpmath-radial", action="store_true")
    args = parser.parse_args()
    levels = [int(d) for d in args.digits.split(",")]
    radial_levels = [int(d) for d in args.radial_digits.split(",")]
    print("invert at high digits, one worker, CPU s/point (best of 2; first call in "
          "brackets); mpmath at dps = digits in the same run")
    print("goal: faster than every mpmath method with >= the digits asked for; growth "
          "exponent <= mpmath cohen's")
    print(f"{'transform':16} {'digits':>6} {'invlap':>9} {'(first)':>9} {'reached':>8} "
          f"{'method':>7} {'talbot':>9} {'cohen':>9} {'dehoog':>9}  goal")
    for name, (expression, F, closed_form) in TRANSFORMS.items():
        radial = closed_form is None
        own, cohen = [], []
        used = radial_levels if radial else levels
        for digits in used:
            best, first, reached, method = invlap_row(expression, closed_form, digits)
            peers = {}
            if not radial or (args.mpmath_radial and digits == used[0]):
                peers["talbot"] = mpmath_row(F, digits, "talbot")
                peers["cohen"] = mpmath_row(F, digits, "cohen")
                if digits <= 200:
                    peers["dehoog"] = mpmath_row(F, digits, "dehoog")
            own.append(best)
            cohen.append(peers.get("cohen"))
            met = reached >= digits and all(best < p for p in peers.values())
            verdict = ("met" if met else "MISSED") if peers else (
                "digits met, mpmath not run" if reached >= digits else "MISSED digits")
            cells = " ".join(f"{peers[k]:9.4f}" if k in peers else f"{'-':>9}"
                             for k in ("talbot", "cohen", "dehoog"))
            print(f"{name:16} {digits:6d} {best:9.4f} {first:9.4f} {reached:8.1f} "
                  f"{method:>7} {cells}  {verdict}", flush=True)
        ours = exponent(own, used)
        theirs = exponent(cohen, used)
        if ours is not None:
            if theirs is None:
                print(f"{name:16} growth exponent {used[0]} -> {used[-1]}: invlap {ours:.2f}"
                      " (mpmath cohen not run)")
            else:
                verdict = "met" if ours <= theirs else "MISSED"
                print(f"{name:16} growth exponent {used[0]} -> {used[-1]}: invlap {ours:.2f}, "
                      f"mpmath cohen {theirs:.2f}  {verdict}")


if __name__ == "__main__":
    main()
