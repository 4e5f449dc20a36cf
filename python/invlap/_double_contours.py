"""Contour rules for callables that take complex s and return complex doubles.

Every rule here writes f(t) as a weighted sum of F at complex nodes and returns, with
each value, an estimate of its error: the spread between the rule with N and with
fewer nodes (the truncation; for the hyperbola, between its midpoint and trapezoidal
sums) plus three times the doubles' rounding as the sum magnifies it (eps times the
sum of the terms' magnitudes).

* ``talbot``: the Talbot contour with the parameters of Trefethen, Weideman & Schmelzer
  (2006, "Talbot quadratures and rational approximations", BIT 46), one contour per
  t: about 10^(-0.59 N) from N nodes, with rounding magnified only ~10^(0.074 N), the
  better-conditioned choice for doubles than the fixed Talbot of the multi-precision
  engine (magnification 10^(0.17 N)).
* ``hyperbola``: the hyperbolic contour of Weideman & Trefethen (2007, "Parabolic and
  hyperbolic contours for computing the Bromwich integral", Math. Comp. 76) for a
  window [t0, 10 t0]: one set of nodes serves every t of the window, so a vectorized
  F is called once per window. Its parameters balance, as in that paper, the
  quadrature errors from both sides of the strip of analyticity and the truncation,
  for singularities on the negative real axis (branch cuts of diffusion problems).
  Its value is the mean of the midpoint and the trapezoidal sums on one contour,
  whose first errors cancel: the value is off by their square, and the
  estimate is ten times the sums' difference, which bounds them and F's own
  rounding (see HYPERBOLA_SPREAD_SAFETY).
  Where the probes see nothing off the real axis, windows up to [t0, 10^6 t0]
  serve first (fewer nodes per decade, the calls of F being the whole cost for
  a solver); the points they cannot meet are done again by decades.
  Singularities off that axis (poles at +-i omega: oscillating f) may lie outside
  the contour at late t; the checks against the Bromwich line then show it.
* ``euler``: the Bromwich line with Euler summation (Abate & Whitt 2006), which
  encloses every singularity left of Re s = M ln(10)/(3t); about 10 digits in doubles.
"""

import functools
import math

import numpy as np

from invlap import _engine

EPS = np.finfo(float).eps
ROUNDING_SAFETY = 3.0
# The shared contour's e^(z t) moves by the rounding of the product z t, eps |z t|
# of the term: up to five rounding units at the end of a decade window, on top
# of the three the magnitude allows for F, its weight and the sums (the
# errors of 1/sqrt(s) there reached 4.6 units of the magnitude alone).
PHASE_SAFETY = 1.5
SPREAD_SAFETY = 3.0
GUARDED_SPREAD_SAFETY = 10.0
# The hyperbola's sums differ by F's random rounding, but not by its systematic
# part: a formula that cancels (1/s - 1/(s + 1e-3)) rounds s + 1e-3 alike for
# every s of one binade, which is the inverse of a slightly other F, and every
# node set agrees on it. The two parts are of a size, and the value strayed up
# to six times the sums' difference from f (1/s - 1/(s + 0.1) and + 1e-3).
HYPERBOLA_SPREAD_SAFETY = 10.0
# f below this share of the sum of its terms' magnitudes is tiny against F's scale.
TINY_AGAINST_TERMS = 1e-3

# Trefethen, Weideman & Schmelzer (2006), section 4: the optimized cotangent contour
# z(theta) = N/t (-sigma + mu theta cot(alpha theta) + i nu theta).
TWS_SIGMA, TWS_MU, TWS_ALPHA, TWS_NU = 0.6122, 0.5017, 0.6407, 0.2645
TALBOT_NODES = 28      # about 14 digits of truncation error...
TALBOT_COARSE = 22     # ...checked against 22 nodes
HYPERBOLA_WINDOW = 10.0
# The hyperbola's node count is set for this many digits at the rate of
# convergence its window allows (35 nodes for a decade): the midpoint and the
# trapezoidal sums each err by about that, their mean by its square.
HYPERBOLA_DIGITS = 15.5
# The sums run this much further along the contour than the count's design
# (in its parameter u): cosh u doubles, and the truncation, e^(mu t0 (1 - sin
# alpha cosh u)), the same for both sums and so unseen by their difference,
# falls to its square too.
HYPERBOLA_TAIL = math.log(2.0)
# Windows from WIDE_FROM to WIDEST_WINDOW wide, where nothing stands off the real
# axis: fewer values of F per decade (46 at 10^6 against 89 at 10), and no
# decaying f lost, since points a wide window cannot meet are done again by
# decades.
WIDE_FROM = 100.0
WIDEST_WINDOW = 1e6
EULER_M = 15
EULER_COARSE_M = 13
CHECK_LINE_M = 40
# A usual line whose own error exceeds this fraction of the value cannot judge
# it: the far line checks it too.
UNJUDGED = 1e-3
# A window's contour is compared with the one before it at its first time where
# that stands within this factor past the earlier window's end.
OVERLAP = 1.25
# Contours are checked against the line at times this factor apart, and a
# shared one at five times at least, spread over its window.
CHECK_LADDER = math.sqrt(10.0)


def _estimate(fine, coarse, magnitude):
    return SPREAD_SAFETY * np.abs(fine - coarse) + ROUNDING_SAFETY * EPS * magnitude


@functools.lru_cache(maxsize=None)
def talbot_nodes(n):
    """The contour for t = 1: nodes c, derivatives dc (upper half, midpoints)."""
    theta = (np.arange(n // 2) + 0.5) * (2 * np.pi / n)
    c = n * (-TWS_SIGMA + TWS_MU * theta / np.tan(TWS_ALPHA * theta) + 1j * TWS_NU * theta)
    dc = n * (TWS_MU / np.tan(TWS_ALPHA * theta)
              - TWS_MU * TWS_ALPHA * theta / np.sin(TWS_ALPHA * theta) ** 2 + 1j * TWS_NU)
    return c, dc


def talbot_rule(sample, t, which, n):
    """f at each t (1-D) with n nodes; sample(z, which) gives F at the nodes z, one
    row per point `which` (indices of the points whose parameters apply)."""
    c, dc = talbot_nodes(n)
    z = c[None, :] / t[:, None]
    terms = np.exp(c)[None, :] * sample(z, which) * dc[None, :] / t[:, None]
    return (2.0 / n) * np.imag(terms.sum(axis=1)), (2.0 / n) * np.abs(terms).sum(axis=1)


def talbot(sample, t, which, third=False, group=None, passed=None):
    """(value, error, line value, line error) at each t: the contour's result checked
    against the Bromwich line (see enclosure_checked) by `group` of F's parameters;
    with `third`, its spread guarded by a third node count (see _guarded_spread).
    Each group's spreads are enveloped over nearby times (see _near_envelope):
    where F's own rounding dominates them (log((s + 2)/(s + 1)) is 1/s from a
    logarithm of nearly 1 far out), two node counts agree by chance now and
    then, by 8 times less than the value's error at t = 0.016.
    `passed`, a list, receives (time, rule, point) where the contour was first
    seen to pass a singularity by (see hyperbola)."""
    fine, magnitude = talbot_rule(sample, t, which, TALBOT_NODES)
    coarse, _ = talbot_rule(sample, t, which, TALBOT_COARSE)
    spread = SPREAD_SAFETY * np.abs(fine - coarse)
    if third:
        middle, _ = talbot_rule(sample, t, which, (TALBOT_NODES + TALBOT_COARSE) // 2)
        spread = _guarded_spread(fine, coarse, middle)
    rounding = ROUNDING_SAFETY * EPS * magnitude
    value, error, line, line_error, failures = enclosure_checked(
        fine, spread + rounding, sample, t, which, shared=False, scale=magnitude,
        magnitude=magnitude, group=group)
    if passed is not None:
        passed.extend((time, ("talbot",), int(which[i])) for time, i in failures)
    # The envelope after the checks: it stands for F's noise, which says
    # nothing of a singularity near the contour (_converging_slowly reads the
    # truncation from the spread of this very time).
    groups = np.zeros(t.size, dtype=np.intp) if group is None else group
    for g in np.unique(groups):
        members = np.flatnonzero(groups == g)
        spread[members] = _near_envelope(t[members], spread[members], magnitude[members])
    return value, np.maximum(error, spread + rounding), line, line_error


def _guarded_spread(fine, coarse, middle):
    """The larger spread of two, with a wider margin: where singularities stand
    off the real axis the convergence oscillates, and a spread of three can fall
    short of the error by ten."""
    return GUARDED_SPREAD_SAFETY * np.maximum(np.abs(fine - coarse), np.abs(fine - middle))


def _hyperbola_parameters(ratio):
    """(alpha, N h, mu t0 / N) for a window of t1 / t0 = ratio.

    Maximizes the rate A/N at which the three errors fall together (Weideman &
    Trefethen's balance): exp(-2 pi (pi/2 - alpha) / h) from the upper edge of the
    strip, exp(mu t1 (1 - sin(alpha - r)) - 2 pi r / h) from the lower edge, and
    exp(mu t0 (1 - sin(alpha) cosh(N h))) from the truncation. Setting all three to
    exp(-A) leaves two free parameters, alpha and r, searched on a grid.
    """
    best = None
    for alpha in np.linspace(0.80, 1.55, 151):
        r = np.linspace(np.pi / 2 - alpha, alpha, 152)[1:-1]
        q = r / (np.pi / 2 - alpha) - 1
        nh = np.arccosh((1 + ratio * (1 - np.sin(alpha - r)) / q) / np.sin(alpha))
        rate = 2 * np.pi * (np.pi / 2 - alpha) / nh
        i = int(np.argmax(rate))
        if best is None or rate[i] > best[0]:
            best = (rate[i], alpha, nh[i])
    rate, alpha, nh = best
    return alpha, nh, rate / (np.sin(alpha) * np.cosh(nh) - 1)


@functools.lru_cache(maxsize=None)
def hyperbola_shape(ratio, n, offset=0.5):
    """(nodes, derivatives, step) of the contour designed for n nodes for the
    window [1, ratio], at u = (k + offset) h from u = 0 to HYPERBOLA_TAIL past
    the design's end (the node at u = 0 weighs half: the sum is the half of a
    symmetric one); a window [t0, ratio t0] takes them divided by t0. Made once
    per shape: they depend on the window and n, not on F."""
    alpha, nh, mu_t0 = _hyperbola_parameters(ratio)
    h = nh / n
    u = (np.arange(int(math.ceil((nh + HYPERBOLA_TAIL) / h - offset)) + 1) + offset) * h
    mu = mu_t0 * n
    derivatives = 1j * mu * np.cos(1j * u - alpha)
    if offset == 0:
        derivatives[0] /= 2
    return mu * (1 + np.sin(1j * u - alpha)), derivatives, h


@functools.lru_cache(maxsize=None)
def hyperbola_size(ratio):
    """The node count for windows of t1 / t0 = ratio: as many as reach
    HYPERBOLA_DIGITS at the rate of convergence the window allows (35 for a
    decade). The rate falls short of the theory's on transforms with an
    essential singularity at infinity, as exp(-sqrt(s))/s, and on the
    radial-flow ratio of K0 and K1, whose first error at 17 digits stood at
    3e-12 of f at t0; the estimate is that first error, and a count of 12
    digits flagged even 1/(s+1) at 12."""
    alpha, nh, mu_t0 = _hyperbola_parameters(ratio)
    rate = mu_t0 * (np.sin(alpha) * np.cosh(nh) - 1)
    return int(np.ceil(HYPERBOLA_DIGITS * math.log(10) / rate))


def hyperbola_values(ratio):
    """How many values of F a window of t1 / t0 = ratio takes: both sums' nodes."""
    n = hyperbola_size(ratio)
    return sum(hyperbola_shape(ratio, n, offset)[0].size for offset in (0.5, 0.0))


def hyperbola_window_rule(sample, t, which, n, ratio=HYPERBOLA_WINDOW, workers=1, offset=0.5):
    """(f, the sum of the terms' magnitudes, the sum of their magnitudes times
    |z t|) at every t of one window [min t, ratio min t] from the nodes of the
    contour designed for n, at u = (k + offset) h, shared by all.

    sample(z, which[:1]) is called with one row of nodes: every point of the window
    shares F's parameters."""
    return window_sums(t, *window_terms(sample, t.min(), which, n, ratio, offset), workers)


def window_terms(sample, t0, which, n, ratio, offset):
    """(nodes, weighted values of F, step) of the window [t0, ratio t0]: F at
    the nodes, once, whatever the times the sums are then taken at."""
    nodes, derivatives, h = hyperbola_shape(ratio, n, offset)
    z = nodes / t0
    weighted = np.asarray(sample(z[None, :], which[:1])[0] * (derivatives / t0),
                          dtype=complex)
    return z, weighted, h


def window_sums(t, z, weighted, h, workers=1):
    """The sums of window_terms at the times t: the engine's
    (shared_contour_sums), on `workers` threads, a complex exponential per time
    and node, which would otherwise dominate the whole inversion of a cheap F."""
    value = np.empty(t.size)
    magnitude = np.empty(t.size)
    turns = np.empty(t.size)
    _engine.shared_contour_sums(np.ascontiguousarray(t, dtype=float), z.view(float),
                                np.ascontiguousarray(weighted).view(float), value, magnitude,
                                workers=workers, turns=turns)
    return (h / np.pi) * value, (h / np.pi) * magnitude, (h / np.pi) * turns


def wide_ratio(t):
    """The window ratio that covers the times t in one window (a power of ten,
    at most WIDEST_WINDOW), or HYPERBOLA_WINDOW where they span less than
    WIDE_FROM: wider windows need fewer nodes per decade, but more per window."""
    span = float(t.max() / t.min())
    if span < WIDE_FROM:
        return HYPERBOLA_WINDOW
    return float(min(10.0 ** math.ceil(math.log10(span) - 1e-9), WIDEST_WINDOW))


def hyperbola(sample, t, which, ratio=HYPERBOLA_WINDOW, rounding=None, workers=1, passed=None):
    """(value, error, line value, line error) at every t, window by window: windows
    [t0, ratio t0] from the smallest t up, each checked against the Bromwich line
    (see enclosure_checked). Every t shares F's parameters (the
    caller groups the points by them). `rounding`, an array like t, receives the
    part of each error that is the doubles' rounding. The windows' sums run on
    `workers` threads.

    The value is the mean of the midpoint and the trapezoidal sums on one
    contour. Each errs by the sum of the Fourier transform of the integrand at
    the multiples of 2 pi / h, and the odd multiples come with opposite signs:
    half their difference is the first error itself, phase and all, and the
    mean is left with the second, its square. Two rules of different node
    counts can agree by chance where singularities near the contour make the
    error oscillate with t (by 2e-14 where J1's branch points at +-3i left the
    value off by 6e-12; 2 to 14 times inside the error beside poles at 140
    degrees, which the probes, right of the imaginary axis, do not see); the
    first error here is what the value is spared. The estimate is three
    times the sums' difference, or more where a time nearby shows more of it
    (see _near_envelope), plus the rounding.

    The windows' contours are one shape scaled by 1/t0: a singularity a check
    finds passed by at some time is passed by at every later one, where the
    line's nodes, reaching 2 pi M / t, may no longer see it either (the pole
    pair of 1/((s + 0.5)^2 + 100^2) beside 1/sqrt(s), too small against it for
    the probes, left t = 3 and 10 off by 2e-3 with estimates of 1e-15). Every
    point after it has no estimate, and nor has the line's value there.
    `passed`, a list, receives (time, rule, point) for each window whose check
    failed: where its contour, rule = ("hyperbola", t0, ratio, n), was first
    seen to pass a singularity by.
    """
    value = np.empty(t.size)
    error = np.empty(t.size)
    line = np.full(t.size, np.nan)
    line_error = np.full(t.size, np.nan)
    n = hyperbola_size(ratio)
    order = np.argsort(t)
    passed_by = np.inf
    suspect = False
    previous = previous_t0 = None
    start = 0
    while start < t.size:
        t0 = t[order[start]]
        stop = int(np.searchsorted(t[order], ratio * t0, side="right"))
        window = order[start:stop]
        terms = [window_terms(sample, t0, which[window], n, ratio, offset)
                 for offset in (0.5, 0.0)]
        value[window], estimate, window_rounding, scale = _window_mean(t[window], terms,
                                                                       workers)
        if rounding is not None:
            rounding[window] = window_rounding
        value[window], error[window], line[window], line_error[window], failures = (
            enclosure_checked(value[window], estimate, sample, t[window],
                              which[window], shared=True, scale=scale))
        if (previous is not None and t0 <= OVERLAP * ratio * previous_t0
                and _windows_disagree(previous, t0, value[window[0]], estimate[0], workers)):
            # The two windows' contours, one shape at two scales, differ at
            # the time they share by more than both estimates: the smaller,
            # this one, passes a singularity by, at this time and every later
            # one, while what it misses may stand below the line's error (a
            # damped double pair at 100 e^(+-125 i) beside 1/sqrt(s), at t =
            # 0.1 to 0.25: up to 8e-9 off with estimates of 7e-13, where the
            # line's own error was 4e-9). It costs no value of F.
            failures = failures + [(float(t0), 0)]
            suspect = True
        previous, previous_t0 = terms, t0
        for time, i in failures:
            passed_by = min(passed_by, time)
            if passed is not None:
                passed.append((time, ("hyperbola", float(t0), ratio, n),
                               int(which[window][i])))
        # A window whose truncation misses its design by far has a singularity
        # near its contour, which the later windows', each smaller by the
        # ratio, may pass by, while what they miss fades below the line's
        # error (a damped J0 wave beside e^(-sqrt(s))/s, branch points at
        # 10 e^(+-125 i): the window from t = 0.28 erred by up to 4e-2 with
        # estimates of 0.3, the next by 2e-8 with estimates of 7e-15 and a
        # line whose own error was 3e-8). Every later point has no estimate
        # then, though the singularity may as well stand in the wedge about
        # the negative real axis that every window encloses: nothing in
        # doubles tells the two apart at the tolerance (Talbot's contour,
        # which reaches further round, crossed the same branch cut).
        late = window if suspect else window[t[window] > passed_by]
        rungs = np.flatnonzero(np.isfinite(line_error[window]))
        suspect = suspect or bool(_near_singularity(
            value[window][rungs], (estimate - window_rounding)[rungs], estimate[rungs],
            scale[rungs], line_error[window][rungs]).any())
        error[late] = np.inf
        line_error[late] = np.inf
        start = stop
    return value, error, line, line_error


def _window_mean(t, terms, workers):
    """(value, estimate, rounding, magnitude) at the times t from the terms of
    one window's midpoint and trapezoidal sums (see hyperbola)."""
    (midpoint, magnitude, turns), (trapezoid, other_magnitude, other_turns) = (
        window_sums(t, *part, workers) for part in terms)
    # The mean's rounding: half of each sum's.
    rounding = EPS * (ROUNDING_SAFETY * (magnitude + other_magnitude)
                      + PHASE_SAFETY * (turns + other_turns)) / 2
    # The whole difference, not its half: where F's own rounding is what the
    # two sums differ by (sqrt(s^2 + 9) - s cancels to 9/(2 s) far out), the
    # mean's noise is no smaller than the half difference's.
    scale = (magnitude + other_magnitude) / 2
    spread = _near_envelope(t, np.abs(midpoint - trapezoid), scale)
    return ((midpoint + trapezoid) / 2, HYPERBOLA_SPREAD_SAFETY * spread + rounding, rounding,
            scale)


def _windows_disagree(previous, time, value, estimate, workers):
    """Whether the previous window's contour (its terms), taken a little past
    its end at `time`, differs from this window's value there by more than the
    two estimates: its midpoint and trapezoidal sums see how far past its
    design it reaches."""
    other, other_estimate, _, _ = _window_mean(np.array([time]), previous, workers)
    return not abs(other[0] - value) <= other_estimate[0] + estimate


def _near_singularity(value, truncation, error, magnitude, line_error):
    """Whether a shared contour's truncation, worse than the line's error where
    the line checked it, misses its design (some 1e-15) by so much that a
    singularity must stand near it; not where f is tiny against the terms it
    is summed from, or the error exceeds them, where the cancellation slows
    it. (Against a fixed share of the value instead, the windows of 1/(s+1),
    log(s)/s or atan(1/s) stand at 1e-12 to 3e-10 of theirs.)"""
    return ((truncation > line_error) & (error < magnitude)
            & (np.abs(value) >= TINY_AGAINST_TERMS * magnitude))


def _near_envelope(t, spread, magnitude):
    """The largest spread, as a share of the magnitude, of the times within a
    factor of two or so of each t, times its own magnitude: where F's own
    rounding is what two sums differ by, their difference passes through
    nought now and then as t moves, while the error does not."""
    with np.errstate(divide="ignore", invalid="ignore"):
        share = np.where(magnitude > 0, spread / magnitude, spread)
    share = np.where(np.isnan(share), np.inf, share)
    bins = np.floor(2 * np.log2(t / t.min())).astype(int)
    top = np.zeros(bins.max() + 5)
    np.maximum.at(top, bins + 2, share)
    near = np.max([top[bins + k] for k in range(5)], axis=0)
    return np.maximum(spread, near * magnitude)


@functools.lru_cache(maxsize=None)
def _euler_weights(m):
    xi = [0.5] + [1.0] * m + [0.0] * m
    xi[2 * m] = 2.0 ** -m
    for k in range(1, m):
        xi[2 * m - k] = xi[2 * m - k + 1] + 2.0 ** -m * math.comb(m, k)
    return np.array([(-1) ** k * xi[k] for k in range(2 * m + 1)])


def euler_rule(sample, t, which, m):
    eta = _euler_weights(m)
    beta = m * math.log(10) / 3 + 1j * np.pi * np.arange(2 * m + 1)
    values = np.real(sample(beta[None, :] / t[:, None], which))
    scale = 10 ** (m / 3) / t
    return scale * (values @ eta), scale * (np.abs(values) @ np.abs(eta))


def euler_rule_checked(sample, t, which, m):
    """Euler's rule with m nodes and its estimate (from m - 2 nodes)."""
    fine, magnitude = euler_rule(sample, t, which, m)
    coarse, _ = euler_rule(sample, t, which, m - 2)
    return fine, _estimate(fine, coarse, magnitude)


def euler(sample, t, which):
    fine, magnitude = euler_rule(sample, t, which, EULER_M)
    coarse, _ = euler_rule(sample, t, which, EULER_COARSE_M)
    return fine, _estimate(fine, coarse, magnitude)


def stehfest_weights(m):
    """V_k, k = 1 ... 2m, of the Gaver-Stehfest rule (Stehfest 1970), exactly, as floats."""
    from fractions import Fraction
    weights = []
    for k in range(1, 2 * m + 1):
        total = Fraction(0)
        for j in range((k + 1) // 2, min(k, m) + 1):
            total += Fraction(j ** m * math.factorial(2 * j),
                              math.factorial(m - j) * math.factorial(j) * math.factorial(j - 1)
                              * math.factorial(k - j) * math.factorial(2 * j - k))
        weights.append(float((-1) ** (m + k) * total))
    return np.array(weights)


def stehfest(samples, t, m):
    """Gaver-Stehfest from real samples F(k ln2 / t), k = 1 ... >= 2m (rows per t),
    checked against the rules with 2m - 2 and 2m - 4 terms on the same samples: its
    convergence is not monotone, so one spread alone now and then understates it."""
    a = math.log(2.0) / t
    sums = [a * (samples[:, :2 * j] @ stehfest_weights(j)) for j in (m, m - 1, m - 2)]
    magnitude = a * (np.abs(samples[:, :2 * m]) @ np.abs(stehfest_weights(m)))
    spread = np.maximum(np.abs(sums[0] - sums[1]), np.abs(sums[1] - sums[2]))
    return sums[0], SPREAD_SAFETY * spread + ROUNDING_SAFETY * EPS * magnitude


def enclosure_checked(value, error, sample, t, which, shared, scale, magnitude=None,
                      group=None):
    """The estimates of a deformed contour (Talbot, hyperbola), checked against the
    Bromwich line, which encloses every singularity left of it.

    A deformed contour that passes to the right of a pole misses its residue, and
    its two node counts agree on the wrong value. Euler's rule on the line has no
    such blind spot but less accuracy: where the two differ by more than the line's
    own error can explain, the contour is off by about the difference, its
    estimate becomes at least that, and the line's value is kept beside it.

    The check costs two rules' samples per t, so it is made at a few times and
    spread from there. The residue missed at t is r e^(p t): largest at the
    earliest time a contour misses it where the pole is damped (Re p < 0), at the
    latest where it grows, and near nought wherever its oscillation passes a zero.
    A shared contour (hyperbola) misses it for every t of its window or for none:
    it is checked on a ladder of five times or more, and fails as a whole. A per-t
    contour (Talbot) shrinks like 1/t and so misses a pole of its F from some time
    on: the times of each `group` (of F's parameters; one group by default) are
    checked on a ladder CHECK_LADDER apart, all groups' rungs in one batch, and a
    bisection below the first that fails (or, given the sums of the terms'
    `magnitude`, converges slowly: see _converging_slowly) finds where the line
    takes over. A check that neither line can judge, of a value whose own
    estimate claims more and that is no rounding of `scale` (the sums of the
    terms' magnitudes), fails too.
    Returns (value, error, line value, line error, first failures) with the
    line's where computed (NaN elsewhere), and (time, index into t) of the
    earliest point at which the contour was seen to pass a singularity by, one
    for a shared contour, one per group for a per-t one (none where no check
    failed).
    """
    line = np.full(t.size, np.nan)
    line_error = np.full(t.size, np.nan)

    def fails(points, far):
        """Whether the contour fails its check at each of `points` (indices)."""
        line[points], line_error[points] = euler(sample, t[points], which[points])
        # Within the two estimates, the two agree: where f is far below F's
        # scale, the contour's rounding alone can stand far above the line's.
        failed = ~(np.abs(value[points] - line[points])
                   <= 4 * line_error[points] + error[points])
        if magnitude is not None:
            failed |= _converging_slowly(value[points], error[points], magnitude[points],
                                         line_error[points])
        # The usual line reaches 2 pi M / t up the imaginary direction: poles
        # above that, missed by the contour too, leave both agreeing on a
        # wrong value. A line of CHECK_LINE_M nodes reaches higher, at the
        # cost of digits (10^(M/3) magnifies the rounding), enough to see an
        # error of the size of f. It checks the far points, and every point
        # the usual line could not judge: one whose own error passes f's
        # size says nothing (a growing pole pair at 2 +- 20i beside 1/sqrt(s)
        # left it at -5.5 +- 19 at t = 3, where f = -5.8 and the hyperbola,
        # passing the pair by, said 0.33 +- 1e-16).
        usual_judged = line_error[points] <= UNJUDGED * np.abs(value[points])
        unjudged = ~failed & (far | ~usual_judged)
        if unjudged.any():
            rest = points[unjudged]
            reach, reach_error = euler_rule_checked(sample, t[rest], which[rest], CHECK_LINE_M)
            failed[unjudged] = ~(np.abs(value[rest] - reach) <= 4 * reach_error + error[rest])
            # A contour that claims more than either line can judge, where
            # neither can, is vouched for by nothing, and the lines' blindness
            # may come from a singularity near them: a double pole pair of
            # residue 5e-9 at 0.98 + 0.17i beside 1/sqrt(s), no peak on the
            # probes' rays, grows past f from t = 10, where the usual line (at
            # Re s = 1.1) errs by 3e-2 and the far one by its rounding; both
            # agreed with the hyperbola, which passes the pair by, and every
            # later point came out as 1/sqrt(pi t) with an estimate of 1e-15.
            # The lines move left as t grows: past that time none sees it.
            # Not where f is tiny against the terms it is summed from: the
            # lines' rounding is what blinds them there (1/cosh(sqrt(s)) at
            # t = 10, f = 6e-11 of terms about 15).
            blind = (~failed[unjudged] & ~usual_judged[unjudged]
                     & ~(reach_error <= UNJUDGED * np.abs(value[rest]))
                     & (error[rest] <= UNJUDGED * np.abs(value[rest]))
                     & (np.abs(value[rest]) >= TINY_AGAINST_TERMS * scale[rest]))
            failed[np.flatnonzero(unjudged)[blind]] = True
        return failed

    bad = np.zeros(t.size, dtype=bool)
    first_failures = []
    if shared and t.size:
        # The far line where reach matters most, the latest t; the usual one on
        # the ladder below it. Where one fails, the earliest that does is
        # where the contour is known to pass a singularity by.
        order = np.argsort(t)
        rungs = order[_ladder(t[order], max(CHECK_LADDER, (t.max() / t.min()) ** 0.25))]
        failed = np.concatenate([fails(rungs[:-1], False), fails(rungs[-1:], True)])
        if failed.any():
            bad[:] = True
            first = rungs[failed][np.argmin(t[rungs][failed])]
            first_failures.append((float(t[first]), int(first)))
    elif t.size:
        group = np.zeros(t.size, dtype=np.intp) if group is None else group
        members = [np.flatnonzero(group == g) for g in np.unique(group)]
        members = [m[np.argsort(t[m])] for m in members]
        ladders = [np.array(_ladder(t[m], CHECK_LADDER)) for m in members]
        failed = np.split(fails(np.concatenate([m[l] for m, l in zip(members, ladders)]), True),
                          np.cumsum([ladder.size for ladder in ladders])[:-1])
        for ordered, ladder, rung_failed in zip(members, ladders, failed):
            if rung_failed.any():
                first = _first_failure(ordered, ladder, rung_failed, fails)
                bad[ordered[first:]] = True
                first_failures.append((float(t[ordered[first]]), int(ordered[first])))
    bad = np.flatnonzero(bad)
    if bad.size:
        missing = bad[np.isnan(line[bad])]
        if missing.size:
            line[missing], line_error[missing] = euler(sample, t[missing], which[missing])
        difference = np.abs(value[bad] - line[bad])
        error = error.copy()
        error[bad] = np.maximum(error[bad], difference + line_error[bad])
    return value, error, line, line_error, first_failures


def _first_failure(ordered, ladder, rung_failed, fails):
    """The position in `ordered` (one group's points by t) from which its contour
    fails: bisected between the last rung that passed and the first that failed
    (`ladder`: the rungs' positions in `ordered`)."""
    first = int(np.argmax(rung_failed))
    low, high = (0 if first == 0 else int(ladder[first - 1]) + 1), int(ladder[first])
    while low < high:
        middle = (low + high) // 2
        if fails(ordered[middle:middle + 1], True)[0]:
            high = middle
        else:
            low = middle + 1
    return high


def _converging_slowly(value, error, magnitude, line_error):
    """Whether a per-t contour's truncation, estimated worse than the line's, says
    a singularity stands near it, which it will pass by at every later t, where
    it shrinks. Not where f is tiny against the terms it is summed from, or the
    spread exceeds them: there the cancellation slows it, not a singularity."""
    return _near_singularity(value, error - ROUNDING_SAFETY * EPS * magnitude, error,
                             magnitude, line_error)


def check_values(span, shared):
    """About how many values of F the checks of enclosure_checked take over
    times spanning the ratio `span` (for a progress bar's total)."""
    factor = max(CHECK_LADDER, span ** 0.25) if shared else CHECK_LADDER
    rungs = 1 + math.ceil(math.log(max(span, 1.0)) / math.log(factor) - 1e-9)
    line, reach = 2 * (EULER_M + EULER_COARSE_M + 1), 2 * (2 * CHECK_LINE_M - 1)
    return rungs * line + (1 if shared else rungs) * reach


def _ladder(ordered, factor):
    """Indices into sorted times: the earliest, then the first at least `factor`
    times the last chosen, and the latest."""
    chosen = []
    i = 0
    while i < ordered.size:
        chosen.append(i)
        i = max(i + 1, int(np.searchsorted(ordered, factor * ordered[i])))
    if chosen and chosen[-1] != ordered.size - 1:
        chosen.append(ordered.size - 1)
    return chosen
