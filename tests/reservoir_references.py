"""Reference values of the wellbore pressure of a well at the centre of a bounded
circular reservoir, from mpmath alone, for test_bounded_reservoir.py.

    python tests/reservoir_references.py > tests/reservoir_references.txt

The dimensionless pressure of a well of radius 1 producing at a constant rate
from a reservoir of outer radius R (van Everdingen & Hurst 1949), with
q = sqrt(s):

  closed outer boundary (no flow):
    F(s) = (K0(q) I1(Rq) + I0(q) K1(Rq)) / (s q (I1(Rq) K1(q) - K1(Rq) I1(q)))
  constant pressure at the outer boundary:
    F(s) = (K0(q) I0(Rq) - I0(q) K0(Rq)) / (s q (I0(Rq) K1(q) + K0(Rq) I1(q)))

Each value is mpmath's Talbot inversion at 45 digits, checked against its de
Hoog inversion (an unrelated algorithm) to 10^-38; where the boundary-dominated
closed forms hold to far more than that (t = 8 R^2 for the closed reservoir,
whose slowest transient decays like exp(-14.68 t / R^2); t = 20 R^2 at
constant pressure, exp(-5.78 t / R^2)), against them as well: the
pseudo-steady state of van Everdingen & Hurst (1949) and the steady state:

    closed:             2 (t + 1/4) / (R^2 - 1) - (3R^4 - 4R^4 ln R - 2R^2 - 1) / (4 (R^2 - 1)^2)
    constant pressure:  ln R

Each line: the model, R, t and f(t) to 40 significant digits. Slow (minutes per
line): the output is kept in the repository.
"""

import mpmath

AGREEMENT = mpmath.mpf(10) ** -38
RADII = [10, 100, 1000, 10000]


def closed(R):
    def F(s):
        q = mpmath.sqrt(s)
        I, K = mpmath.besseli, mpmath.besselk
        return ((K(0, q) * I(1, R * q) + I(0, q) * K(1, R * q))
                / (s * q * (I(1, R * q) * K(1, q) - K(1, R * q) * I(1, q))))
    return F


def constant_pressure(R):
    def F(s):
        q = mpmath.sqrt(s)
        I, K = mpmath.besseli, mpmath.besselk
        return ((K(0, q) * I(0, R * q) - I(0, q) * K(0, R * q))
                / (s * q * (I(0, R * q) * K(1, q) + K(0, R * q) * I(1, q))))
    return F


def closed_late(R, t):
    R2 = mpmath.mpf(R) ** 2
    return (2 * (t + mpmath.mpf(1) / 4) / (R2 - 1)
            - (3 * R2 ** 2 - 4 * R2 ** 2 * mpmath.log(R) - 2 * R2 - 1) / (4 * (R2 - 1) ** 2))


# (model, transform, times for R, the late-time closed form and the time from which it holds)
MODELS = [
    ("closed", closed, lambda R: [0.01, R * R / 4, 8 * R * R], closed_late, 8),
    ("constant_pressure", constant_pressure, lambda R: [0.01, R * R / 4, 20 * R * R],
     lambda R, t: mpmath.log(R), 20),
]


def main():
    mpmath.mp.dps = 45
    for name, model, times, late, late_from in MODELS:
        for R in RADII:
            F = model(mpmath.mpf(R))
            for t in times(R):
                value = mpmath.invertlaplace(F, t, method="talbot")
                other = mpmath.invertlaplace(F, t, method="dehoog")
                assert abs(value - other) <= AGREEMENT * abs(value), (name, R, t, value, other)
                if t >= late_from * R * R:
                    assert abs(value - late(R, t)) <= AGREEMENT * abs(value), (name, R, t)
                print(name, R, repr(float(t)), mpmath.nstr(value, 40), flush=True)


if __name__ == "__main__":
    main()
