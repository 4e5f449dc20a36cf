"""A plain gmpy2 rendering of the Gaver-Wynn-Rho algorithm, for bit-for-bit comparisons.

Written from the published method step by step, with no shortcut: every value is a
fresh gmpy2 mpfr at P bits, every operation rounds to nearest once, in the order
fixed for the extension module. It shares no code with the module.

That order is fixed on purpose and must not be "improved": the module's results
are defined as these roundings in exactly this order, so another order, even a more
accurate one, would give other bits.
"""

import math

import gmpy2

LOG2_10 = 3.321928094887362


def digits_to_bits(digits):
    return math.ceil(digits * LOG2_10) + 10


def default_digits(m):
    # round half away from zero, as in the module's documented default
    return math.floor(m * 2.1 + 0.5)


def working_bits(m, prec):
    return digits_to_bits(default_digits(m) if prec is None else prec)


def _context(bits):
    # gmpy2's default exponent range is MPFR's own default (1 - 2^30 ... 2^30 - 1).
    return gmpy2.context(precision=bits, round=gmpy2.RoundToNearest)


def tables(m, bits):
    with _context(bits):
        f = [gmpy2.mpfr(1)]
        for k in range(1, 2 * m + 1):
            f.append(f[-1] * k)
        coefficients = []
        for n in range(1, m + 1):
            p = f[n - 1] * f[n - 1]
            p = p * n
            coefficients.append(f[2 * n] / p)
        rows = []
        for n in range(1, m + 1):
            row = [gmpy2.mpfr(1)]
            for k in range(1, n + 1):
                row.append((row[-1] * (n + 1 - k)) / k)
            rows.append(row)
        return coefficients, rows


def sample_points(t, m, bits):
    """The doubles handed to F for one time: k * (ln 2 / t) at P bits, then rounded."""
    with _context(bits):
        a = gmpy2.log(gmpy2.mpfr(2)) / gmpy2.mpfr(t, 53)
        return a, [float(a * k) for k in range(1, 2 * m + 1)]


def wynn_rho(g):
    m = len(g)
    estimate = g[m - 1]
    before = [gmpy2.mpfr(0)] * m
    previous = list(g)
    following = [gmpy2.mpfr(0)] * m
    for k in range(m - 1):
        for j in range(m - 2 - k, -1, -1):
            d = previous[j + 1] - previous[j]
            if d == 0:
                return estimate
            q = gmpy2.mpfr(float(k + 1), 53) / d
            following[j] = before[j + 1] + q
            if j == m - 2 - k and k % 2 == 1:
                estimate = following[j]
        for i in range(m - k):
            before[i] = previous[i]
            previous[i] = following[i]
    return estimate


def gwr(fn, times, m, prec=None):
    """The transform at each time, as the module must compute it to the last bit."""
    bits = working_bits(m, prec)
    coefficients, rows = tables(m, bits)
    results = []
    for t in times:
        a, points = sample_points(t, m, bits)
        with _context(bits):
            samples = [gmpy2.mpfr(float(fn(s)), bits) for s in points]
            g = []
            for n in range(1, m + 1):
                acc = gmpy2.mpfr(0)
                for i in range(n + 1):
                    term = rows[n - 1][i] * samples[n + i - 1]
                    acc = acc + term if i % 2 == 0 else acc - term
                g.append((a * coefficients[n - 1]) * acc)
            results.append(float(wynn_rho(g)))
    return results
