"""The inversion of Python callables: F called with floats, with arrays, or with mpf.

The callable is sampled here, at the points k ln 2 / t of the GWR method, and the
samples are handed to the engine, which does the arithmetic at the working precision.
"""

import functools
import math

import numpy as np

from invlap import _engine
from invlap._callable_values import (
    complex_sample, complex_samples, real_sample, real_samples, refuse_text)
from invlap._double_contours import (
    EPS, EULER_M, HYPERBOLA_WINDOW, ROUNDING_SAFETY, SPREAD_SAFETY, euler, euler_rule,
    check_values, hyperbola, hyperbola_values, stehfest, talbot, wide_ratio)
from invlap._evaluations import Evaluator
from invlap._poles import (
    MISSED_SEARCH, missed_poles, pole_terms, subtraction_rounding, taken_poles)
from invlap._probe import SAME_POLE, probe, probe_count, without_poles
from invlap._progress import paced
from invlap._rules import limit_kind, tolerance_met

# Candidate numbers of Gaver terms for doubles: each is tried and the one whose
# estimated error (truncation plus the doubles' magnified rounding) is least is kept.
# Beyond 12 the rounding of a double F is magnified past anything the truncation gains.
DOUBLE_TERMS = (6, 8, 10, 12)
LN2 = math.log(2.0)
STEHFEST_MAX_TERMS = 30
# f(0+) = lim s F(s) is read off s = 2^16, 2^32, 2^48, 2^64 for doubles.
DOUBLE_LIMIT_EXPONENTS = (16, 32, 48, 64)
# Below this ratio of the first real sample to the second F falls towards
# s = 0 faster than a power (see _unseen_oscillation).
VANISHING_RATIO = 2.0 ** -30
# A contour shifted past a real singularity sigma > 0 crosses at sigma times this.
SHIFT_MARGIN = 1.25
# The line's nodes must reach this many times above the highest singularity
# found, and stop at this many nodes (10^(M/3) magnifies the doubles' rounding).
LINE_REACH = 3.0
MOST_LINE_NODES = 60
# A wide window's point whose rounding alone is this many times the tolerance is
# not done again by decades (see _hyperbola_group).
HOPELESS = 100.0
# The least subnormal double, 2^-1074.
SUBNORMAL = 5e-324


def invert_callable(F, points, options, precision, vectorized, progress, workers=1):
    """(values, errors, texts or None, method names per point, carried log10 or
    None, Evaluations) of a callable F, called from `workers` threads."""
    if precision == "multi":
        if vectorized:
            raise ValueError("vectorized applies to precision='double' only")
        if options.method not in ("auto", "gwr"):
            raise ValueError("precision='multi' works with method 'gwr' (or 'auto')")
        # mpf values are made under mpmath's global precision, which one thread
        # sets for all: F runs on this thread only.
        calls = Evaluator(F, True, 1, None)
        value, error, texts, carried = _invert_multi(calls, points, options, progress)
        return value, error, texts, _names(points, "gwr"), carried, calls.summary()
    check_double_size(options.method, options.M)
    calls = Evaluator(F, vectorized, workers, progress)
    try:
        value, error, methods = _invert_doubles(calls, points, options)
    finally:
        calls.close()
    # Doubles' samples make estimates of at least the doubles' rounding: none
    # falls below the double range, so nothing is carried.
    # An estimate of exactly 0 says every term was 0: where F underflowed at
    # every node (e^(-10 sqrt(s)) / s at t = 1e-6, f = 1e-10860), f is below
    # the least subnormal, not exactly 0, which the estimate must allow.
    error = np.where((value == 0) & (error == 0) & (points.t > 0), SUBNORMAL, error)
    return value, error, None, methods, None, calls.summary()


def _invert_doubles(calls, points, options):
    value = np.empty(points.count)
    error = np.empty(points.count)
    methods = _names(points, "gwr")
    positive = np.flatnonzero(points.t > 0)
    initial = np.flatnonzero(points.t == 0)
    calls.expect(len(DOUBLE_LIMIT_EXPONENTS) * initial.size)
    if positive.size:
        method = options.method
        planned = "hyperbola" if method == "auto" else method
        expected = _expected_values(planned, points, positive, options)
        calls.expect(expected + (method == "auto"))
        if method == "auto":
            # The hyperbola's windows share every node among their times: each
            # value of F serves a whole window, for plain callables as well.
            method = "hyperbola" if accepts_complex(calls, points, positive[0]) else "gwr"
            calls.expect(_expected_values(method, points, positive, options) - expected)
        v, e, names = _invert_double(calls, points, positive, method, options)
        value[positive], error[positive], methods[positive] = v, e, names
    for i in initial:
        value[i], error[i] = _double_initial_value(calls, points, i, options.digits)
        methods[i] = "initial value"
    return value, error, methods


def _expected_values(method, points, rows, options):
    """About how many values of s the method will ask F for at the points rows:
    the total a progress bar starts from (the hyperbola may add windows by
    decades where its wide ones miss)."""
    t = points.t[rows]
    if method in ("gwr", "stehfest"):
        return rows.size * 2 * (options.M or (max(DOUBLE_TERMS) if method == "gwr" else 8))
    groups = int(parameter_groups(points.parameters[rows])[1].max()) + 1
    probes = groups * probe_count(float(t.min()), float(t.max()))
    span = float(t.max() / t.min())
    if method == "hyperbola":
        ratio = wide_ratio(t)
        windows = max(1, math.ceil(math.log10(span) / math.log10(ratio) - 1e-9))
        return probes + groups * windows * (hyperbola_values(ratio)
                                            + check_values(min(ratio, span), shared=True))
    if method == "talbot":
        return probes + rows.size * (14 + 11) + groups * check_values(span, shared=False)
    return probes + rows.size * (31 + 27)


def check_double_size(method, M):
    """Refuses an M that the chosen rule for doubles cannot honour, before F is called.

    The contour rules for doubles have fixed node counts: more nodes only magnify
    the doubles' rounding, fewer lose the truncation, so an M there would be
    ignored. Stehfest's weights grow like 10^(1.35 M) (10^40 at M = 30), so past
    about 12 terms the doubles' rounding leaves no digit, which the estimate
    shows; past STEHFEST_MAX_TERMS only the exact weights' cost grows (seconds
    at M = 200, an overflow of the double weights beyond).
    """
    if M is None:
        return
    if method not in ("gwr", "stehfest"):
        raise ValueError(f"M applies to callables returning doubles with method 'gwr' or "
                         f"'stehfest' only; method {method!r} uses fixed sizes tuned for "
                         "doubles (leave M out, or choose 'gwr' or 'stehfest')")
    if method == "stehfest" and M > STEHFEST_MAX_TERMS:
        raise ValueError(f"M = {M}: Stehfest for callables returning doubles takes M up to "
                         f"{STEHFEST_MAX_TERMS} (beyond about 12 the doubles' rounding "
                         "leaves no digit)")


def _names(points, name):
    return np.full(points.count, name, dtype=object)


# Where F is complex-valued, its value at the first of these is real only by
# chance (1/(s^4 - 1) is -1/5 at 1 + 1j); not at both.
COMPLEX_TRIALS = (1 + 1j, 0.6 + 1.7j)


def accepts_complex(calls, points, i):
    """Whether F takes a complex s and gives a complex F(s): found out by calling F
    at s = 1 + 1j with the parameters of point i, and once more where that value
    is real or not finite. Any other exception, or results that are not complex
    numbers off the real axis, say no.

    A pole may stand at the trial point itself: 1/(s^4 + 4) is 1/0 at 1 + 1j
    (infinite in NumPy, ZeroDivisionError in Python), and went to GWR, whose
    real samples near s = 0 at t = 1e5 cannot see its growing wave: 0 claimed
    to 2e-18. The next trial tells."""
    keywords = _keywords(points, [i], calls.vectorized)
    for trial in COMPLEX_TRIALS:
        try:
            s = np.array([[trial]]) if calls.vectorized else trial
            value = complex(np.asarray(calls.vector(s, keywords)).ravel()[0])
        except (ZeroDivisionError, OverflowError):
            continue
        except Exception:
            return False
        if value.imag != 0 and math.isfinite(value.real) and math.isfinite(value.imag):
            return True
    return False


def _keywords(points, rows, vectorized):
    if vectorized:
        return {name: points.parameters[rows, j][:, None] for j, name in enumerate(points.names)}
    return {name: float(points.parameters[rows[0], j]) for j, name in enumerate(points.names)}


def _complex_sampler(calls, points, rows):
    """sample(z, which): F at the complex nodes z, one row of nodes per point, with
    the parameters of points rows[which]."""
    def sample(z, which):
        chosen = rows[np.asarray(which)]
        if calls.vectorized:
            keywords = _keywords(points, chosen, True)
            return np.broadcast_to(complex_samples(calls.F, calls.vector(z, keywords)), z.shape)
        keywords = [_keywords(points, [r], False) for r in chosen.tolist()]
        return calls.each(z, keywords, complex_sample, complex)
    return sample


def _invert_double(calls, points, rows, method, options):
    """(values, errors, method names) at the points `rows` (all t > 0)."""
    return DOUBLE_TWINS[method](calls, points, rows, method, options)


def _real_axis_doubles(calls, points, rows, method, options):
    """GWR and Stehfest on F's doubles at k ln2 / t."""
    t = points.t[rows]
    names = np.full(rows.size, method, dtype=object)
    terms = (options.M,) if options.M else (DOUBLE_TERMS if method == "gwr" else (8,))
    s = _steps(2 * max(terms)) * (LN2 / t)[:, None]
    samples = _double_samples(calls, s, points.parameters[rows], points.names)
    if method == "stehfest":
        v, e = stehfest(samples, t, terms[0])
    else:
        v = np.empty(t.size)
        e = np.empty(t.size)
        _engine.invert_double_samples(np.ascontiguousarray(t), samples, terms, v, e,
                                      workers=options.workers, progress=None)
    e[_unseen_oscillation(calls, samples, points.parameters[rows], points.names)] = np.inf
    return v, e, names


def _unseen_oscillation(calls, samples, parameters, names):
    """Rows whose samples fall towards s = 0 faster than any power: F like
    e^(-a/s), whose f oscillates (e^(-1/s)/s is J0(2 sqrt t)) where real
    samples near ln2/t see only e^(-t/ln2). GWR made 0 of J0(200) with an
    estimate of 1e-322 from them. A power s^n falls by 2^-n from the second
    sample to the first; this by e^(-at/(2 ln2)), to 0 where it underflows.
    A row all of 0 says the same where F is not 0 at s = 1."""
    first = np.abs(samples[:, 0])
    second = np.abs(samples[:, 1])
    nonzero = np.any(samples != 0, axis=1)
    # A first sample of 0 beside later ones that are not: underflow, no zero
    # of F (which a second sample would not share with it).
    vanishing = (first < VANISHING_RATIO * second) | ((first == 0) & nonzero)
    nought = ~nonzero
    if nought.any():
        rows = np.flatnonzero(nought)
        at_one = _double_samples(calls, np.ones((rows.size, 1)), parameters[rows], names)
        vanishing[rows] = at_one[:, 0] != 0
    return vanishing


def _contour_doubles(calls, points, rows, method, options):
    """Talbot, Euler and the hyperbola on F's complex doubles, placed by the probes."""
    t = points.t[rows]
    plain = _complex_sampler(calls, points, rows)
    shift, height, taken, group = _placement(plain, points, rows, t)
    v, e, names, passed = _contour_values(plain, points, rows, method, options, shift, height,
                                          taken, group)
    if passed:
        # A pole pair the probes did not see, seen passed by: found from what
        # the contours missed, proven on circles, taken out, and all done again.
        found = False
        for time, rule, point in passed:
            reduced = without_poles(plain, taken, group) if any(taken) else plain
            def shifted(z, which, reduced=reduced):
                return reduced(z + shift[np.asarray(which)][:, None], which)
            places = [p + shift[point] for p in missed_poles(shifted, [(time, rule, point)])]
            new = taken_poles(lambda z, which, point=point: reduced(z, np.full(len(which), point)),
                              0, np.array(places), search=MISSED_SEARCH)
            known = taken[group[point]]
            new = [q for q in new if all(abs(q[0] - k[0]) > SAME_POLE * abs(q[0]) for k in known)]
            if new:
                taken[group[point]] = known + new
                found = True
        if found:
            v, e, names, _ = _contour_values(plain, points, rows, method, options, shift, height,
                                             taken, group)
    return v, e, names


def _contour_values(plain, points, rows, method, options, shift, height, taken, group):
    """(values, errors, method names, windows seen passing a singularity by) with
    the poles of `taken` out of F."""
    t = points.t[rows]
    names = np.full(rows.size, method, dtype=object)
    if any(taken):
        plain = without_poles(plain, taken, group)
    passed = []
    # F(s + shift): its singularities lie left of the imaginary axis, f of it is
    # f e^(-shift t), smooth enough for the rules; the growth is put back below.
    def sample(z, which):
        return plain(z + shift[np.asarray(which)][:, None], which)
    which = np.arange(rows.size)
    if method == "euler":
        v, e = euler(sample, t, which)
    else:
        if method == "hyperbola":
            v, e, line, line_error = _hyperbola_by_parameters(sample, points, rows, height,
                                                              options, passed)
        else:
            v, e, line, line_error = talbot(sample, t, which, third=bool((height > 0).any()),
                                            group=parameter_groups(points.parameters[rows])[1],
                                            passed=passed)
        if options.method == "auto" and not any(taken):
            # The line's value where it was computed and is the better estimated
            # (not beside poles taken out, whose subtraction's rounding the
            # line magnifies past what its estimate knows).
            better = line_error < e
            v, e = np.where(better, line, v), np.where(better, line_error, e)
            names[better] = "euler"
    v, e = _beyond_reach(sample, t, which, height, v, e, names)
    if any(taken):
        e = e + subtraction_rounding(taken, group, shift, t, which, names == "euler")
    with np.errstate(over="ignore", invalid="ignore"):
        # Past the doubles: an infinite estimate says so.
        growth = np.exp(shift * t)
        v, e = v * growth, e * growth
    if any(taken):
        waves, waves_error = pole_terms(taken, group, t)
        v, e = v + waves, e + waves_error
    # An infinite value counts as exact where it is a limit (f(0+) of
    # 1/sqrt(s)); here, with no estimate, it is no value at all (J0(100 t)
    # came out as -inf at t = 60, without a warning): NaN, which is flagged.
    v = np.where(~np.isfinite(v) & ~(e < np.inf), np.nan, v)
    return v, e, names, passed


# The double-precision twin of each method of the engine's registry that
# callables may name (its callables column), under the same name.
DOUBLE_TWINS = {"gwr": _real_axis_doubles, "stehfest": _real_axis_doubles,
                "talbot": _contour_doubles, "euler": _contour_doubles,
                "hyperbola": _contour_doubles}


def _steps(width):
    """1, 2, ..., width as doubles: s = k ln2 / t. Made once per width where the
    width is of the usual sizes; a large given M's is made per call, not kept."""
    return _usual_steps(width) if width <= 2 * max(DOUBLE_TERMS) else np.arange(1.0, width + 1.0)


@functools.cache
def _usual_steps(width):
    steps = np.arange(1.0, width + 1.0)
    steps.flags.writeable = False
    return steps


def _placement(sample, points, rows, t):
    """(shift, height, taken, group) from probes of F, once per set of parameters:
    the shift puts every singularity found left of the imaginary axis; the height
    is how far up the imaginary direction the singularities found reach, per
    point; taken lists the poles taken out of F by their residues (_poles.py)
    per set of parameters, and group maps the points to the sets."""
    first, group = parameter_groups(points.parameters[rows])
    by_first = lambda z, which: sample(z, first[np.asarray(which)])  # noqa: E731
    sigma, height, taken = probe(by_first, first, float(t.min()), float(t.max()),
                                 take=lambda r, places: taken_poles(by_first, r, places))
    # A margin past the singularity: the rules converge slowly close to it.
    shift = np.where(sigma > 0, sigma * SHIFT_MARGIN, 0.0)[group]
    return shift, height[group], taken, group


def parameter_groups(parameters):
    """(first row of each distinct parameter set, group of each row). Without
    parameters every row is one group: no sort for the common small call."""
    if parameters.shape[1] == 0:
        return np.zeros(1, dtype=np.intp), np.zeros(parameters.shape[0], dtype=np.intp)
    _, first, group = np.unique(parameters, axis=0, return_index=True, return_inverse=True)
    return first, group.ravel()


def _beyond_reach(sample, t, which, height, v, e, names):
    """Where the singularities found stand above the reach of the rules' nodes at
    late t (the line with its usual nodes reaches 2 pi M / t), the line with as many
    nodes as reach above them: in doubles its rounding grows with the nodes, and its
    estimate says so."""
    needed = np.ceil(LINE_REACH * height * t / (2 * np.pi)).astype(int)
    late = np.flatnonzero(needed > EULER_M)
    for i in late:
        m = min(int(needed[i]), MOST_LINE_NODES)
        fine, magnitude = euler_rule(sample, t[i:i + 1], which[i:i + 1], m)
        coarse, _ = euler_rule(sample, t[i:i + 1], which[i:i + 1], m - 2)
        v[i] = fine[0]
        e[i] = SPREAD_SAFETY * abs(fine[0] - coarse[0]) + ROUNDING_SAFETY * EPS * magnitude[0]
        if m < needed[i]:
            e[i] = np.inf  # beyond any reach doubles can afford: no estimate
        names[i] = "euler"
    return v, e


def _hyperbola_by_parameters(sample, points, rows, height, options, passed):
    """The hyperbola's nodes are shared by the points of a window, which must share
    F's parameters: one group of windows per distinct parameter set."""
    t = points.t[rows]
    out = [np.empty(t.size) for _ in range(4)]
    _, group = parameter_groups(points.parameters[rows])
    for g in range(group.max() + 1):
        members = np.flatnonzero(group == g)
        parts = _hyperbola_group(sample, t[members], members, height[members], options.digits,
                                 options.workers, passed)
        for array, part in zip(out, parts):
            array[members] = part
    return out


def _hyperbola_group(sample, t, which, height, digits, workers, passed):
    """(value, error, line value, line error) of one parameter set's times.

    Where the probes found a singularity off the real axis, windows of a decade,
    each checked against the Bromwich line. Where they found none, one wide window
    first (or as few as cover the times), checked against the line too: a pole that
    the probes could not see (one with a small residue, or in the left half-plane)
    may still stand outside it. Then windows of a decade for the points it cannot
    meet, for want of nodes or where the line showed it off, each keeping the better
    estimated value. Where the doubles' rounding alone stands far above the
    tolerance, f is tiny against F's scale there: a decade's nodes magnify the
    rounding about as much, and would only add values of F."""
    if (height > 0).any():
        return hyperbola(sample, t, which, workers=workers, passed=passed)
    ratio = wide_ratio(t)
    rounding = np.empty(t.size)
    value, error, line, line_error = hyperbola(sample, t, which, ratio=ratio,
                                               rounding=rounding, workers=workers, passed=passed)
    if ratio == HYPERBOLA_WINDOW:
        return value, error, line, line_error
    tolerance = 10.0 ** -digits * np.abs(value)
    with np.errstate(invalid="ignore"):
        missed = np.flatnonzero(~(error <= tolerance) & ~(rounding > HOPELESS * tolerance))
    if missed.size:
        again, again_error, again_line, again_line_error = hyperbola(
            sample, t[missed], which[missed], workers=workers, passed=passed)
        better = again_error < error[missed]
        value[missed[better]] = again[better]
        error[missed[better]] = again_error[better]
        line[missed[better]] = again_line[better]
        line_error[missed[better]] = again_line_error[better]
    return value, error, line, line_error


def _double_samples(calls, s, parameters, names):
    """F at every point of s (n, width) as a C-contiguous float64 array."""
    if calls.vectorized:
        keywords = {name: parameters[:, j:j + 1] for j, name in enumerate(names)}
        samples = real_samples(calls.F, calls.vector(s, keywords))
        if samples.shape != s.shape:
            samples = np.broadcast_to(samples, s.shape)
        return np.ascontiguousarray(samples)
    keywords = [{name: float(row[j]) for j, name in enumerate(names)}
                for row in parameters.tolist()]
    return calls.each(s, keywords, real_sample, float)


def _double_initial_value(calls, points, i, digits):
    keywords = {name: float(points.parameters[i, j]) for j, name in enumerate(points.names)}
    s = [2.0 ** e for e in DOUBLE_LIMIT_EXPONENTS]
    if calls.vectorized:
        arrays = {k: np.asarray([v]) for k, v in keywords.items()}
        g = [x * float(real_samples(calls.F, calls.vector(np.asarray([x]), arrays)).ravel()[0])
             for x in s]
    else:
        g = [x * real_sample(calls.F, calls.vector(x, keywords)) for x in s]
    return limit_of_scaled(g, digits)


def limit_of_scaled(g, digits):
    """f(0+) and its error from s F(s) at geometrically growing s (g, in order).

    The engine's rule for expressions (limit_kind): the last value when the last two
    agree; +-inf when |s F(s)| grows at every step; NaN otherwise.
    """
    magnitudes = [abs(float(x)) for x in g]
    if not all(math.isfinite(m) for m in magnitudes):
        return math.nan, math.nan
    spread = abs(float(g[-1] - g[-2]))
    kind = limit_kind(magnitudes, spread, (g[-1] > 0) == (g[-2] > 0), digits)
    if kind == "settled":
        return float(g[-1]), spread
    if kind == "unbounded":
        return math.copysign(math.inf, float(g[-1])), 0.0
    return math.nan, math.nan


def _invert_multi(calls, points, options, progress):
    import mpmath

    levels = _engine.gwr_levels(options.digits, options.M or 0)
    value = np.empty(points.count)
    error = np.empty(points.count)
    carried = np.full(points.count, np.nan)
    texts = []
    report = paced(progress)
    for i in range(points.count):
        keywords = {name: float(points.parameters[i, j]) for j, name in enumerate(points.names)}
        t = float(points.t[i])
        if t == 0:
            value[i], error[i] = _multi_initial_value(calls, keywords, levels[0][1],
                                                      options.digits)
            texts.append(repr(float(value[i])))
            continue
        for m, bits in levels:
            # GMP ends the process when an allocation fails, and mpmath's values
            # are GMP's: the level is refused here, before F makes the first one.
            _engine.require_value_samples_memory(m, bits)
            with mpmath.workprec(bits):
                a = mpmath.ln2 / mpmath.mpf(t)
                samples = [_exact_sample(refuse_text(calls.F, calls.vector(k * a, keywords)))
                           for k in range(1, 2 * m + 1)]
            v, e, text, log10 = _engine.invert_value_samples(t, samples, m, bits,
                                                             options.digits)
            if tolerance_met(v, e, options.digits, log10) or math.isnan(v):
                break
        value[i], error[i], carried[i] = v, e, log10
        texts.append(text)
        report(i + 1)
    return value, error, texts, carried


def _exact_sample(x):
    """An mpf (or anything mpmath makes a real of) as the engine reads it exactly."""
    import mpmath

    if not isinstance(x, mpmath.mpf):
        x = mpmath.mpf(x)
    sign, mantissa, exponent, _ = x._mpf_
    if not mantissa:
        return float(x)  # zero, infinities and NaN
    return (("-" if sign else "") + format(int(mantissa), "x"), int(exponent))


def _multi_initial_value(calls, keywords, bits, digits):
    import mpmath

    with mpmath.workprec(bits):
        s = [mpmath.mpf(2) ** e for e in (bits // 2, bits, 2 * bits, 4 * bits)]
        g = [x * mpmath.mpf(refuse_text(calls.F, calls.vector(x, keywords))) for x in s]
    return limit_of_scaled(g, digits)
