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
    EPS, EULER_M, ROUNDING_SAFETY, TALBOT_NODES, euler_rule, talbot_rule)
from invlap._probe import SAME_POLE, pole_pairs

# Nodes on each circle, and its radius as a share of |p| (at most a quarter of
# Im p, so that it keeps clear of the conjugate pole): aliasing from another
# singularity at distance D stays below (radius / D)^CIRCLE_NODES.
CIRCLE_NODES = 16
RADIUS_SHARE = 1e-2
# The residues from two radii must agree, and the pole's place from the
# moment of the second circle must not move, within this share.
AGREEMENT = 1e-10


def taken_poles(sample, row, located):
    """[(p, r, dr, dp)] for the distinct poles of `located` (places off the real
    axis, upper half) that the circles prove simple and isolated, for F of the
    parameters of `row`; dr and dp bound the residue's and the place's error."""
    candidates = []
    for z in located:
        if np.isfinite(z) and z.imag > 0 and not any(
                abs(z - c) <= SAME_POLE * abs(z) for c in candidates):
            candidates.append(complex(z))
    if not candidates:
        return []
    centers = np.array(candidates)
    radii = np.minimum(RADIUS_SHARE * np.abs(centers), centers.imag / 4)
    with np.errstate(all="ignore"):
        residue, moment, _ = _circle(sample, row, centers, radii)
        # A simple pole at p seen from the center c: residue r, first moment
        # r (p - c).
        places = centers + moment / residue
        usable = np.isfinite(places) & (np.abs(places - centers) < radii / 2)
        places = np.where(usable, places, centers)
        (r1, moment1, size1), (r2, _, _) = (
            _circle(sample, row, places, radii), _circle(sample, row, places, radii / 2))
        moved = np.abs(moment1 / r1)
        dr = np.abs(r1 - r2) + CIRCLE_NODES * EPS * size1
    taken = []
    for i, p in enumerate(places):
        if (usable[i] and np.isfinite(r1[i]) and r1[i] != 0
                and dr[i] <= AGREEMENT * abs(r1[i]) and moved[i] <= AGREEMENT * abs(p)):
            taken.append((complex(p), complex(r1[i]), float(dr[i]), float(moved[i])))
    return taken


def _circle(sample, row, centers, radii):
    """(residue, first moment, largest |radius F|) from F on circles of `radii`
    around `centers`, all in one call of F."""
    turns = np.exp(2j * np.pi * np.arange(CIRCLE_NODES) / CIRCLE_NODES)
    offsets = radii[:, None] * turns[None, :]
    values = np.asarray(sample((centers[:, None] + offsets).reshape(1, -1), np.array([row])))
    scaled = values.reshape(centers.size, CIRCLE_NODES) * offsets
    return (scaled.mean(axis=1), (scaled * offsets).mean(axis=1),
            np.abs(scaled).max(axis=1))


def without_poles(sample, taken, group):
    """sample(z, which) of F less the taken poles and their conjugates; `taken`
    lists each parameter group's poles, `group` maps the points to groups."""
    def reduced(z, which):
        values = np.array(sample(z, which), dtype=complex)
        groups = group[np.asarray(which)]
        for g, poles in enumerate(taken):
            rows = groups == g
            if not poles or not rows.any():
                continue
            values[rows] -= pole_pairs(poles, np.broadcast_to(z, values.shape)[rows])
        return values
    return reduced


def subtraction_rounding(taken, group, shift, t, which, line):
    """A bound on what the rounding of F - poles adds to f at each t: up to a few
    units of |poles| at every node, magnified as the rule's magnitude says (the
    Bromwich line's where `line` is true, elsewhere Talbot's contour, standing
    for the hyperbola's). The rules' own rounding estimate sees only |F - poles|,
    which is all noise where the poles were all of F."""
    def sizes(z, rows):
        rows = np.asarray(rows)
        out = np.zeros(np.broadcast_shapes(np.shape(z), (rows.size, 1)))
        for g, poles in enumerate(taken):
            chosen = group[rows] == g
            if poles and chosen.any():
                nodes = np.broadcast_to(z, out.shape)[chosen] + shift[rows[chosen]][:, None]
                out[chosen] = 2 * np.abs(pole_pairs(poles, nodes))
        return out
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
            wave = np.exp(p * t[members])
            size = np.abs(wave)
            value[members] += 2 * np.real(r * wave)
            # The residue's error, and the place's, which moves the wave by
            # r t e^(p t) dp; and the sum's rounding.
            error[members] += 2 * (dr + abs(r) * dp * t[members]) * size + 4 * EPS * abs(r) * size
    return value, error
