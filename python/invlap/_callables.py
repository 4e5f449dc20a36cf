"""The inversion of Python callables: F called with floats, with arrays, or with mpf.

The callable is sampled here, at the points k ln 2 / t of the GWR method, and the
samples are handed to the engine, which does the arithmetic at the working precision.
"""

import math

import numpy as np

from invlap import _engine

# Candidate numbers of Gaver terms for doubles: each is tried and the one whose
# estimated error (truncation plus the doubles' magnified rounding) is least is kept.
# Beyond 12 the rounding of a double F is magnified past anything the truncation gains.
DOUBLE_TERMS = (6, 8, 10, 12)
LN2 = math.log(2.0)
# f(0+) = lim s F(s) is read off s = 2^16, 2^32, 2^48, 2^64 for doubles.
DOUBLE_LIMIT_EXPONENTS = (16, 32, 48, 64)


def invert_callable(F, points, options, precision, vectorized, progress):
    """(values, errors, texts or None) of a callable F at every point."""
    if precision == "multi":
        if vectorized:
            raise ValueError("vectorized applies to precision='double' only")
        return _invert_multi(F, points, options, progress)
    terms = (options.M,) if options.M else DOUBLE_TERMS
    value = np.empty(points.count)
    error = np.empty(points.count)
    positive = points.t > 0
    if positive.any():
        width = 2 * max(terms)
        t = np.ascontiguousarray(points.t[positive])
        s = np.arange(1, width + 1) * (LN2 / t)[:, None]
        samples = _double_samples(F, s, points.parameters[positive], points.names, vectorized)
        v = np.empty(t.size)
        e = np.empty(t.size)
        _engine.invert_double_samples(t, samples, terms, v, e, workers=options.workers,
                                      progress=progress)
        value[positive], error[positive] = v, e
    for i in np.flatnonzero(~positive):
        value[i], error[i] = _double_initial_value(F, points, i, vectorized, options.digits)
    return value, error, None


def _double_samples(F, s, parameters, names, vectorized):
    """F at every point of s (n, width) as a C-contiguous float64 array."""
    if vectorized:
        keywords = {name: parameters[:, j:j + 1] for j, name in enumerate(names)}
        samples = np.asarray(F(s, **keywords), dtype=float)
        if samples.shape != s.shape:
            samples = np.broadcast_to(samples, s.shape)
        return np.ascontiguousarray(samples)
    samples = np.empty(s.shape)
    for i in range(s.shape[0]):
        keywords = {name: float(parameters[i, j]) for j, name in enumerate(names)}
        row = samples[i]
        for k, point in enumerate(s[i].tolist()):
            row[k] = float(F(point, **keywords))
    return samples


def _double_initial_value(F, points, i, vectorized, digits):
    keywords = {name: float(points.parameters[i, j]) for j, name in enumerate(points.names)}
    s = [2.0 ** e for e in DOUBLE_LIMIT_EXPONENTS]
    if vectorized:
        arrays = {k: np.asarray([v]) for k, v in keywords.items()}
        g = [float(x) * float(np.asarray(F(np.asarray([x]), **arrays), dtype=float).ravel()[0])
             for x in s]
    else:
        g = [x * float(F(x, **keywords)) for x in s]
    return limit_of_scaled(g, digits)


def limit_of_scaled(g, digits):
    """f(0+) and its error from s F(s) at geometrically growing s (g, in order).

    The same rule as the engine's for expressions: the last value when the last two
    agree within 10^(-digits/2) of the values' size; +-inf when |s F(s)| grows by half
    at every step; NaN otherwise.
    """
    magnitudes = [abs(float(x)) for x in g]
    if not all(math.isfinite(m) for m in magnitudes):
        return math.nan, math.nan
    spread = abs(float(g[-1] - g[-2]))
    if spread <= 10.0 ** (-0.5 * digits) * max(magnitudes):
        return float(g[-1]), spread
    growing = all(b >= 1.5 * a for a, b in zip(magnitudes, magnitudes[1:]))
    if growing and (g[-1] > 0) == (g[-2] > 0):
        return math.copysign(math.inf, float(g[-1])), 0.0
    return math.nan, math.nan


def _invert_multi(F, points, options, progress):
    import mpmath

    levels = _engine.gwr_levels(options.digits, options.M or 0)
    value = np.empty(points.count)
    error = np.empty(points.count)
    texts = []
    tolerance = 10.0 ** -options.digits
    for i in range(points.count):
        keywords = {name: float(points.parameters[i, j]) for j, name in enumerate(points.names)}
        t = float(points.t[i])
        if t == 0:
            value[i], error[i] = _multi_initial_value(F, keywords, levels[0][1], options.digits)
            texts.append(repr(float(value[i])))
            continue
        for m, bits in levels:
            with mpmath.workprec(bits):
                a = mpmath.ln2 / mpmath.mpf(t)
                samples = [_exact_sample(F(k * a, **keywords)) for k in range(1, 2 * m + 1)]
            v, e, text = _engine.invert_value_samples(t, samples, m, bits, options.digits)
            if e <= tolerance * abs(v) or math.isnan(v):
                break
        value[i], error[i] = v, e
        texts.append(text)
        if progress is not None:
            progress(i + 1)
    return value, error, texts


def _exact_sample(x):
    """An mpf (or anything mpmath makes a real of) as the engine reads it exactly."""
    import mpmath

    if not isinstance(x, mpmath.mpf):
        x = mpmath.mpf(x)
    sign, mantissa, exponent, _ = x._mpf_
    if not mantissa:
        return float(x)  # zero, infinities and NaN
    return (("-" if sign else "") + format(int(mantissa), "x"), int(exponent))


def _multi_initial_value(F, keywords, bits, digits):
    import mpmath

    with mpmath.workprec(bits):
        s = [mpmath.mpf(2) ** e for e in (bits // 2, bits, 2 * bits, 4 * bits)]
        g = [x * mpmath.mpf(F(x, **keywords)) for x in s]
    return limit_of_scaled(g, digits)
