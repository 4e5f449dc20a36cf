"""A short tour of invlap: run with `python -m invlap.demo` (or `make demo`).

Each section computes known values and prints them beside the exact ones.
"""

import math

from invlap import _native

# F(s) below is computed in double arithmetic, so the Gaver functionals see
# its rounding magnified about 4^m times: m = 10 balances that against the
# truncation error of small m (m = 32, the default, suits F accurate to ~70 digits).
GWR_TERMS = 10
GWR_TIMES = [0.1, 0.5, 1.0, 2.0, 5.0]

# (name of F(s), F, name of f(t), f): standard pairs, e.g. Abramowitz & Stegun 29.3.
TRANSFORM_PAIRS = [
    ("1/(s+1)", lambda s: 1.0 / (s + 1.0), "exp(-t)", lambda t: math.exp(-t)),
    ("1/sqrt(s)", lambda s: 1.0 / math.sqrt(s), "1/sqrt(pi t)",
     lambda t: 1.0 / math.sqrt(math.pi * t)),
    ("1/s^2", lambda s: 1.0 / (s * s), "t", lambda t: t),
    ("exp(-sqrt(s))/s", lambda s: math.exp(-math.sqrt(s)) / s, "erfc(1/(2 sqrt t))",
     lambda t: math.erfc(1.0 / (2.0 * math.sqrt(t)))),
    ("1/(s^2+1)", lambda s: 1.0 / (s * s + 1.0), "sin(t)", math.sin),
]


def offered() -> None:
    print("invlap._native offers: " + ", ".join(_native.__all__))


def gwr_section() -> None:
    print(f"\nInverse Laplace transforms, gwr_rust(F, times, m={GWR_TERMS})")
    print(f"{'F(s)':>16} {'f(t)':>19} {'t':>5} {'result':>22} {'exact':>22} {'abs error':>9}")
    for f_name, transform, exact_name, exact in TRANSFORM_PAIRS:
        results = _native.gwr_rust(transform, GWR_TIMES, GWR_TERMS)
        for t, value in zip(GWR_TIMES, results):
            want = exact(t)
            print(f"{f_name:>16} {exact_name:>19} {t:5.1f} {value:22.15g} {want:22.15g}"
                  f" {abs(value - want):9.1e}")
    print("The Gaver functionals are smooth averages of f: an oscillating f such as\n"
          "sin(t) loses accuracy as t grows (here beyond t = 2).")


def main() -> None:
    offered()
    gwr_section()
    bessel_table()


def bessel_table() -> None:
    """I0, I1, K0 and K1 at a few points beside mpmath's values at 34 digits."""
    import mpmath

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


if __name__ == "__main__":
    main()
