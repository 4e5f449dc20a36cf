"""A short tour of invlap: run with `python -m invlap.demo` (or `make demo`).

Each section computes known values and prints them beside the exact ones.
"""

import math
import warnings

import mpmath
import numpy as np

import invlap
from invlap import _native

# (F(s), f(t) in words, f(t) with mpmath): standard pairs (Abramowitz & Stegun 29.3;
# the line source of Carslaw & Jaeger 13.3 for the Bessel one).
PAIRS = [
    ("1/(s+1)", "exp(-t)", lambda t: mpmath.exp(-t)),
    ("1/sqrt(s)", "1/sqrt(pi t)", lambda t: 1 / mpmath.sqrt(mpmath.pi * t)),
    ("exp(-sqrt(s))/s", "erfc(1/(2 sqrt t))", lambda t: mpmath.erfc(1 / (2 * mpmath.sqrt(t)))),
    ("1/(s**2+1)", "sin(t)", mpmath.sin),
    ("besselk(0, sqrt(s))/s", "E1(1/(4t))/2", lambda t: mpmath.expint(1, 1 / (4 * t)) / 2),
]
TIMES = [0.5, 2.0]

# The pressure at a well producing at a constant rate from an infinite reservoir, in
# dimensionless form (van Everdingen & Hurst 1949): the transform of the finite
# wellbore radius solution. Late in time it follows Jacob's line (ln t + 0.80907)/2.
RADIAL = "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))"
# The finite-difference example's grid: a grid error of about 4e-4, and the
# demo's two inversions in a few seconds.
CELLS = 1000


def transform_table(digits):
    print(f"\ninvlap.invert(F, t, digits={digits}): value, exact value, and the error "
          "estimate (absolute)")
    print(f"{'F(s)':>22} {'t':>4}  {'invert':>{digits + 6}}  {'exact':>{digits + 6}}  "
          f"{'|error|':>8} {'estimate':>8}")
    for expression, _, exact in PAIRS:
        result = invlap.invert(expression, TIMES, digits=digits, output="mpmath",
                               full_output=True)
        for t, value, estimate in zip(TIMES, result.value, result.error):
            with mpmath.workdps(digits + 20):
                want = exact(mpmath.mpf(t))
                error = float(abs(value - want))
            print(f"{expression:>22} {t:4.1f}  {mpmath.nstr(value, digits):>{digits + 6}}  "
                  f"{mpmath.nstr(want, digits):>{digits + 6}}  {error:8.1e} {estimate:8.1e}")


def radial_flow():
    print("\nA well test: the dimensionless wellbore pressure of radial flow,")
    print(f"F(s) = {RADIAL}, at 15 digits,")
    print("beside Jacob's late-time line (ln t + 0.80907)/2")
    t = np.geomspace(1e-2, 1e6, 9)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        result = invlap.invert(RADIAL, t, full_output=True)
    print(f"{'t':>10} {'p(t)':>22} {'estimate':>9} {'Jacob':>10}")
    for ti, p, e in zip(t, result.value, result.error):
        print(f"{ti:10.3g} {p:22.15g} {e:9.1e} {(math.log(ti) + 0.80907) / 2:10.5f}")


def expensive_transform():
    """A numerical F: a finite-difference solve per s (invlap.demo_solver), inverted
    on 200 times over six decades, with its cost and a check against the case
    that has a closed form."""
    from invlap.demo_solver import radial_flow_solver

    print("\nAn expensive F: a finite-difference solver of radial flow with a skin zone,")
    print("one sparse solve per value of s (invlap.demo_solver), 200 times from 1e-2 to 1e4")
    t = np.geomspace(1e-2, 1e4, 200)
    for label, F in [("skin (k = 0.2 to r = 2)", radial_flow_solver(cells=CELLS)),
                     ("no skin", radial_flow_solver(skin_permeability=1.0, cells=CELLS))]:
        result = invlap.invert(F, t, digits=8, workers=1, full_output=True)
        counted = result.evaluations
        # The time inside F, as the call measured it: the solves at the very
        # values of s asked for, not a sample of them timed apart.
        print(f"  {label}: {counted.values} solves for 200 times, {counted.seconds:.2f} s, "
              f"{counted.seconds_in_F:.2f} s of it in the solver "
              f"({1e3 * counted.seconds_in_F / counted.values:.1f} ms a solve)")
    exact = invlap.invert(RADIAL, t)
    worst = float(np.max(np.abs(result.value - exact) / exact))
    print(f"  no skin against the closed form {RADIAL}:")
    print(f"  largest relative difference {worst:.1e} (the grid's own error, about h^2; "
          f"the inversion's estimate {float(np.max(result.error / result.value)):.0e})")


def bessel_table():
    """I0, I1, K0 and K1 at a few points beside mpmath's values at 34 digits."""
    mpmath.mp.dps = 34
    print("\nModified Bessel functions at 34 digits (default), rounded to double:")
    print(f"{'':6}{'x':>6}  {'besseli_rust / besselk_rust':>26}  {'mpmath':>26}")
    for name, ours, reference, n in [
        ("I0", _native.besseli_rust, mpmath.besseli, 0),
        ("I1", _native.besseli_rust, mpmath.besseli, 1),
        ("K0", _native.besselk_rust, mpmath.besselk, 0),
        ("K1", _native.besselk_rust, mpmath.besselk, 1),
    ]:
        for x in (0.5, 1.0, 10.0, 24.5, 30.0, 100.0):
            print(f"{name:6}{x:>6}  {ours(n, x):>26.17g}  {float(reference(n, x)):>26.17g}")


def main() -> None:
    print("invlap: inverse Laplace transforms and modified Bessel functions")
    transform_table(15)
    transform_table(30)
    radial_flow()
    expensive_transform()
    bessel_table()


if __name__ == "__main__":
    main()
