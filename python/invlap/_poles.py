"""Poles of a black-box F, once the probes have placed them, taken out by their
residues: f = L^-1[F - sum r/(s - p) + conj] + sum 2 Re(r e^(p t)).

A damped pole pair high up the imaginary direction, as 1/((s + 0.5)^2 + 100^2)
has, stands above every contour's reach at late t: the Bromwich line would need
hundreds of nodes there, whose rounding in doubles leaves no digit, and the
point could only be flagged. Its contribution is known exactly once p and r
are: they come from F on small circles around the place the probes' secant
steps found (the trapezoidal rule on a circle is exact for a Laurent series up
to its node count). A pole is taken out only where the circles prove it
simple and isolated; anything else stays in F, to be flagged as before.
"""

import numpy as np

from invlap._double_contours import (
    CHECK_LINE_M, EPS, EULER_M, ROUNDING_SAFETY, TALBOT_NODES, euler, euler_rule,
    hyperbola_window_rule, talbot_rule)
from invlap._probe import SAME_POLE, without_poles

# Nodes on each circle, and its radius as a share of |p| (at most a quarter of
# Im p, so that it keeps clear of the conjugate pole): aliasing from another
# singularity at distance D stays below (radius / D)^CIRCLE_NODES.
CIRCLE_NODES = 16
RADIUS_SHARE = 1e-2
# The residues from two radii must agree, and the pole's place from the
# moment of the second circle must not move, within this share.
AGREEMENT = 1e-10
# How many wide circles one candidate may take on its way to the pole.
RECENTRINGS = 3


def taken_poles(sample, row, located, search=RADIUS_SHARE):
    """[(p, r, dr, dp)] for the distinct poles of `located` (places off the real
    axis, upper half) that the circles prove simple and isolated, for F of the
    parameters of `row`; dr and dp bound the residue's and the place's error.
    The first circle, which recentres on the pole, has a radius of `search`
    times |p| (a quarter of Im p at most); the proving ones RADIUS_SHARE."""
    candidates = []
    for z in located:
        if np.isfinite(z) and z.imag > 0 and not any(
                abs(z - c) <= SAME_POLE * abs(z) for c in candidates):
            candidates.append(complex(z))
    if not candidates:
        return []
    centers = np.array(candidates)
    with np.errstate(all="ignore"):
        places, usable = _recentred(sample, row, centers, search)
        radii = np.minimum(RADIUS_SHARE * np.abs(places), places.imag / 4)
        if search != RADIUS_SHARE:
            # A wide first circle places the pole only as well as the other
            # singularities' aliasing on it allows: once more on a small one.
            residue, moment, _ = _circle(sample, row, places, radii)
            closer = places + moment / residue
            usable &= np.isfinite(closer) & (np.abs(closer - places) < 0.8 * radii)
            places = np.where(usable, closer, places)
        (r1, moment1, size1), (r2, _, _) = (
            _circle(sample, row, places, radii), _circle(sample, row, places, radii / 2))
        moved = np.abs(moment1 / r1)
        # The circles' sums round at a few units of the largest term: where
        # the rest of F dwarfs the pole there (a residue of 1e-8 beside
        # 1/sqrt(s)), the two radii agree only to that, which the error keeps.
        rounding = CIRCLE_NODES * EPS * size1
        dr = np.abs(r1 - r2) + rounding
    taken = []
    for i, p in enumerate(places):
        if (usable[i] and np.isfinite(r1[i]) and r1[i] != 0
                and dr[i] <= AGREEMENT * abs(r1[i]) + 4 * rounding[i]
                and moved[i] <= AGREEMENT * abs(p)
                # Candidates apart may settle on one pole: it is taken once.
                and all(abs(p - q[0]) > SAME_POLE * abs(p) for q in taken)):
            taken.append((complex(p), complex(r1[i]), float(dr[i]), float(moved[i])))
    return taken


def _recentred(sample, row, centers, search):
    """(places, usable): each center moved to the pole a circle of `search`
    times |c| (a quarter of Im c at most) around it places by its first moment,
    where it places one inside the circle.

    A simple pole at p seen from the center c gives residue r and first moment
    r (p - c). Where the pole stands near the circle, the Laurent series
    converges too slowly on it to tell; where the moment points just outside
    (Prony's places from a noisy line stood 0.8 to 0.9 radii off a pole of
    residue 8e-6 beside 1/sqrt(s)), the circle moves there and looks again, a
    few times at most: the small circles that follow prove the place or
    reject it."""
    places = centers.copy()
    usable = np.zeros(centers.size, dtype=bool)
    busy = np.ones(centers.size, dtype=bool)
    for _ in range(RECENTRINGS):
        if not busy.any():
            break
        wide = np.minimum(search * np.abs(places[busy]), places[busy].imag / 4)
        residue, moment, _ = _circle(sample, row, places[busy], wide)
        moved = places[busy] + moment / residue
        distance = np.abs(moved - places[busy])
        inside = np.isfinite(moved) & (distance < 0.8 * wide)
        # Out of the circle but not far, and still in the upper half-plane:
        # worth one more look from there.
        again = np.isfinite(moved) & ~inside & (distance < 2 * wide) & (moved.imag > 0)
        index = np.flatnonzero(busy)
        places[index[inside | again]] = moved[inside | again]
        usable[index[inside]] = True
        busy[index[~again]] = False
    places[~usable] = centers[~usable]
    return places, usable


def _circle(sample, row, centers, radii):
    """(residue, first moment, largest |radius F|) from F on circles of `radii`
    around `centers`, all in one call of F."""
    turns = np.exp(2j * np.pi * np.arange(CIRCLE_NODES) / CIRCLE_NODES)
    offsets = radii[:, None] * turns[None, :]
    values = np.asarray(sample((centers[:, None] + offsets).reshape(1, -1), np.array([row])))
    scaled = values.reshape(centers.size, CIRCLE_NODES) * offsets
    return (scaled.mean(axis=1), (scaled * offsets).mean(axis=1),
            np.abs(scaled).max(axis=1))


# The first circle around a place read from a time series: Prony's method
# places a slow pole of a small residue within about a tenth of |p|.
MISSED_SEARCH = 0.2
# Steps of the time series a missed pole is read from, as shares of the time
# where a check first saw it: the smallest keeps the highest pole the far line
# reaches there (2 pi CHECK_LINE_M / t) below half a turn a step; the larger
# ones resolve a low, slow pole the smallest step cannot tell from a line.
MISS_STEPS = (1.0 / (2.5 * CHECK_LINE_M), 0.05, 0.25, 1.0)


def missed_poles(sample, passed):
    """Places, in the coordinates of `sample`, of the pole pairs that the
    contours of `passed` (time, rule, point) were seen to pass by, rule being
    ("hyperbola", t0, ratio, nodes) or ("talbot",).

    What the contour misses is what the Bromwich line, right of everything,
    does not: 2 Re(r e^(p t)) for a pole pair, read at four times a step apart
    (Prony's method: d(k+2) = 2 Re(z) d(k+1) - |z|^2 d(k), z = e^(p step)). The
    places are candidates only: taken_poles proves them on circles."""
    places = []
    for time, rule, point in passed:
        for share in MISS_STEPS:
            step = share * time
            times = time + step * np.arange(4)
            which = np.full(4, point)
            if rule[0] == "hyperbola":
                _, t0, ratio, nodes = rule
                contour = hyperbola_window_rule(sample, np.concatenate([[t0], times]),
                                                np.full(5, point), nodes, ratio)[0][1:]
            else:
                contour = talbot_rule(sample, times, which, TALBOT_NODES)[0]
            line, _ = euler(sample, times, which)
            d = line - contour
            if not np.isfinite(d).all():
                # F overflowed on a rule's nodes (a delay: e^(-s) far left):
                # the series says nothing of a pole, and LAPACK's least
                # squares would fail on it.
                continue
            with np.errstate(all="ignore"):
                a, b = np.linalg.lstsq(np.array([[d[1], -d[0]], [d[2], -d[1]]]),
                                       d[2:], rcond=None)[0]
                z = (a + np.sqrt(complex(a * a - 4 * b))) / 2
                p = np.log(z) / step
            if np.isfinite(p) and p.imag != 0:
                places.append(complex(p.real, abs(p.imag)))
    return places


def subtraction_rounding(taken, group, shift, t, which, line):
    """A bound on what the rounding of F - poles adds to f at each t: up to a few
    units of |poles| at every node, magnified as the rule's magnitude says (the
    Bromwich line's where `line` is true, elsewhere Talbot's contour, standing
    for the hyperbola's). The rules' own rounding estimate sees only |F - poles|,
    which is all noise where the poles were all of F."""
    poles_only = without_poles(lambda z, rows: np.zeros(np.shape(z)), taken, group)

    def sizes(z, rows):
        rows = np.asarray(rows)
        nodes = np.broadcast_to(z, np.broadcast_shapes(np.shape(z), (rows.size, 1)))
        return 2 * np.abs(poles_only(nodes + shift[rows][:, None], rows))
    magnitude = np.where(line, euler_rule(sizes, t, which, EULER_M)[1],
                         talbot_rule(sizes, t, which, TALBOT_NODES)[1])
    return ROUNDING_SAFETY * EPS * magnitude


def pole_terms(taken, group, t):
    """(sum 2 Re(r e^(p t)), its error bound) at each t, of each point's group."""
    value = np.zeros(t.size)
    error = np.zeros(t.size)
    for g, poles in enumerate(taken):
        members = group == g
        for p, r, dr, dp in poles:
            # A growing wave past the doubles (1/(s^4 + 4) at t = 1e5) is
            # infinite, with an infinite error: flagged, without a warning.
            with np.errstate(over="ignore", invalid="ignore"):
                wave = np.exp(p * t[members])
                size = np.abs(wave)
                value[members] += 2 * np.real(r * wave)
            # The residue's error, and the place's, which moves the wave by
            # r t e^(p t) dp; and the sum's rounding. The place is a double:
            # p t carries its rounding, eps |p t|, into the phase (1/(s^2 +
            # 100) left sin(10 t) / 10 off by 2e-15 at t = 32 with a bound
            # of 1e-15 that counted the residue's error alone).
            dp = dp + EPS * abs(p)
            error[members] += 2 * (dr + abs(r) * dp * t[members]) * size + 4 * EPS * abs(r) * size
    return value, error
