"""GWR on the doubles of a callable: each term count's value is the exact GWR of the
samples (however the work is shared between the counts and the nudged runs), the
estimate covers the true error also where F's doubles are off by a unit in their last
place, and the cached tables are told apart by their term count."""

import math
import warnings

import mpmath
import numpy as np
import pytest

import invlap
from invlap import _engine

LN2 = math.log(2.0)


def samples_of(F, t, m):
    """F's doubles at k ln2 / t, k = 1 ... 2m, as the callables' path makes them."""
    s = np.arange(1.0, 2 * m + 1.0) * (LN2 / np.asarray(t, dtype=float))[:, None]
    return np.ascontiguousarray(F(s))


def exact_gwr(t, row, m):
    """The Gaver-Wynn-Rho estimate of f(t) from the doubles `row`, in mpmath at 80
    digits: the published method written out, sharing nothing with the engine."""
    with mpmath.workdps(80):
        a = mpmath.log(2) / mpmath.mpf(t)
        y = [mpmath.mpf(float(v)) for v in row]
        g = [a * mpmath.factorial(2 * n) / (mpmath.factorial(n) * mpmath.factorial(n - 1))
             * sum((-1) ** i * mpmath.binomial(n, i) * y[n + i - 1] for i in range(n + 1))
             for n in range(1, m + 1)]
        # rho_r^(j) = rho_(r-2)^(j+1) + r / (rho_(r-1)^(j+1) - rho_(r-1)^(j)); column r
        # is columns[r + 1], column -1 all zeros.
        columns = [[mpmath.mpf(0)] * (m + 1), g]
        for r in range(1, m):
            previous, before = columns[-1], columns[-2]
            columns.append([before[j + 1] + r / (previous[j + 1] - previous[j])
                            for j in range(m - r)])
        # The latest even column's first entry: rho_(m-2)^(1) for even m, rho_(m-1)^(0) odd.
        even = m - 1 - (m - 1) % 2
        return columns[even + 1][m - 1 - even]


CLOSED_FORMS = [
    (lambda s: 1 / (s + 1), lambda t: mpmath.exp(-t)),
    (lambda s: 1 / np.sqrt(s), lambda t: 1 / mpmath.sqrt(mpmath.pi * t)),
    (lambda s: np.exp(-np.sqrt(s)) / s, lambda t: mpmath.erfc(1 / (2 * mpmath.sqrt(t)))),
    (lambda s: np.log(s) / s, lambda t: -mpmath.euler - mpmath.log(t)),
]
TIMES = np.geomspace(0.05, 20.0, 9)


@pytest.mark.parametrize("m", [2, 5, 6, 8, 10, 12, 16])
@pytest.mark.parametrize("form", range(len(CLOSED_FORMS)))
def test_each_term_count_is_the_exact_gwr_of_the_samples_and_covers_f(form, m):
    F, f = CLOSED_FORMS[form]
    samples = samples_of(F, TIMES, m)
    value, error = np.empty(TIMES.size), np.empty(TIMES.size)
    _engine.invert_double_samples(TIMES, samples, (m,), value, error, workers=1)
    for t, row, v, e in zip(TIMES, samples, value, error):
        reference = exact_gwr(t, row, m)
        # The sums and the rho table run at 100 bits and more: of the exact GWR of
        # these very doubles, only the returned double's rounding is left.
        assert abs(v - reference) <= 1e-13 * abs(reference) + 1e-300
        # Beyond 12 terms the doubles' rounding leaves no digit: the estimate there
        # misses the tolerance by far, which flags the value, but may fall short.
        if m <= 12:
            with mpmath.workdps(30):
                assert abs(v - f(mpmath.mpf(t))) <= e


def test_several_term_counts_each_give_their_own_exact_gwr():
    # One rho table serves every count: the value kept at each point must be the
    # exact GWR of one of the counts, and over the times both must win somewhere
    # (sin t: at late times more terms magnify the doubles' rounding past their gain).
    def F(s):
        return 1 / (s * s + 1)

    t = np.geomspace(0.01, 100.0, 40)
    samples = samples_of(F, t, 12)
    value, error = np.empty(t.size), np.empty(t.size)
    _engine.invert_double_samples(t, samples, (4, 12), value, error, workers=1)
    winners = set()
    for point, row, v in zip(t, samples, value):
        matches = [m for m in (4, 12)
                   if abs(v - exact_gwr(point, row, m)) <= 1e-13 * abs(v)]
        assert matches
        winners.update(matches)
    assert winners == {4, 12}


def test_the_estimate_covers_doubles_off_by_a_unit_in_their_last_place():
    # F's own doubles are rarely correctly rounded: each sample here is moved by one
    # unit up or down (a fixed pseudo-random sign), and the estimate must still cover
    # the true error, at every time of the default term counts.
    rng = np.random.default_rng(2024)
    for F, f in CLOSED_FORMS:
        def inexact(s, F=F):
            exact = F(s)
            return np.where(rng.random(exact.shape) < 0.5, np.nextafter(exact, np.inf),
                            np.nextafter(exact, -np.inf))

        t = np.geomspace(0.05, 20.0, 25)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", invlap.AccuracyWarning)
            result = invlap.invert(inexact, t, method="gwr", vectorized=True, full_output=True)
        with mpmath.workdps(30):
            wrong = [abs(v - float(f(mpmath.mpf(x)))) for x, v in zip(t, result.value)]
        assert np.all(np.array(wrong) <= result.error)


def test_cached_tables_are_told_apart_by_their_term_count():
    # Each count after another: a table cached for one count and handed to another
    # would give another count's GWR (or none at all).
    F, _ = CLOSED_FORMS[0]
    t = np.array([0.5, 3.0])
    for m in (6, 8, 6, 12, 9, 12):
        samples = samples_of(F, t, m)
        value, error = np.empty(t.size), np.empty(t.size)
        _engine.invert_double_samples(t, samples, (m,), value, error, workers=1)
        for point, row, v in zip(t, samples, value):
            assert abs(v - exact_gwr(point, row, m)) <= 1e-13 * abs(v)


def test_a_point_with_a_sample_beyond_the_limbs_takes_the_mpfr_way():
    # A NaN among the samples of the larger counts only: those counts give NaN, the
    # smaller ones their value, as the MPFR way has always done for such points.
    F, f = CLOSED_FORMS[0]
    t = np.array([1.0])
    samples = samples_of(F, t, 12)
    samples[0, 20] = np.nan
    value, error = np.empty(1), np.empty(1)
    _engine.invert_double_samples(t, samples, (6, 8, 12), value, error, workers=1)
    assert math.isfinite(value[0])
    assert abs(value[0] - math.exp(-1.0)) <= error[0]
