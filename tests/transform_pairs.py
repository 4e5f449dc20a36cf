"""Known Laplace transform pairs with their inverses in closed form (mpmath), shared
by the inversion tests. Sources: Abramowitz & Stegun 29.3 (entries 29.3.8, .11, .20,
.37, .82, .94) and, for the radial-flow pair, Carslaw & Jaeger 13.3 (the line source:
L^-1[K0(r sqrt(s))/s] = E1(r^2/(4t))/2)."""

import mpmath

# (expression, f(t) as an mpmath function, largest t at which GWR resolves it)
PAIRS = [
    ("1/(s+1)", lambda t: mpmath.exp(-t), 5.0),
    ("1/s**2", lambda t: t, 5.0),
    ("1/sqrt(s)", lambda t: 1 / mpmath.sqrt(mpmath.pi * t), 5.0),
    ("exp(-sqrt(s))/s", lambda t: mpmath.erfc(1 / (2 * mpmath.sqrt(t))), 5.0),
    ("log(s)/s", lambda t: -mpmath.euler - mpmath.log(t), 5.0),
    ("1/(s*(s+1))", lambda t: 1 - mpmath.exp(-t), 5.0),
    # An oscillating f: GWR samples F on the real axis only, so only short times.
    ("1/(s**2+1)", lambda t: mpmath.sin(t), 2.0),
    ("besselk(0, sqrt(s))/s", lambda t: mpmath.expint(1, 1 / (4 * t)) / 2, 5.0),
]
TIMES = [0.1, 0.5, 1.0, 2.0, 5.0]


def times_for(largest):
    return [t for t in TIMES if t <= largest]
